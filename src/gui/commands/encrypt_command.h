#pragma once
// The encrypt command of the main window: the selected files of the list,
// with one password, beside as "<name>.CPH" (or "<name>.age" in the age
// format), in place, or as one self-decrypting program (the first selected
// file only).

#include <string>

#include "gui/commands/file_command_support.h"

namespace ciphra::gui {

struct EncryptOptions {
    bool SelfDecrypting = false; // "Create self-&decrypting files"
    bool Overwrite = false;      // "&Overwrite file on encryption"
    // "Encrypt to the &age format (recommended)": the age format with the
    // password (its digest choice does not apply); not for self-decrypting programs.
    bool AgeFormat = false;
};

inline constexpr const char* OverwriteOnEncryptQuestion =
    "You've selected \"overwrite file on encryption\",\nthis will overwrite the entire file, so "
    "BE\nCAREFUL and remember the password, otherwise\nyou won't be able to read the file again. "
    "Continue?";
inline constexpr const char* DecryptorSpawnedText = "Decryptor spawned to file:: ";
inline constexpr const char* DecryptorNameTakenText =
    "Decryptor not written: a file of its name already exists:\n";

// Runs the command to its end; returns true when every file was encrypted
// (or the program written), false after a "No", a Cancel or a file that
// could not be done. Failures of the stream or of the key setup are not
// caught here: they end the command and reach the error report.
bool RunEncryptCommand(const FileCommandWindows& windows, EncryptOptions options,
                       const std::string& stubPath);

} // namespace ciphra::gui
