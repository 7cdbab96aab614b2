#pragma once
// The loop that the encrypt and decrypt commands share: every selected file,
// in list order, through the cipher stream with one key, in place or into an
// output beside it, each announced by its own box.

#include "gui/commands/file_command_support.h"

namespace ciphra::gui {

enum class CipherDirection { Encrypt, Decrypt };

inline constexpr const char* CannotOpenText = "File cannot be opened...";
inline constexpr const char* CannotOpenReadOnlyText =
    "File cannot be opened. Check if the file is Read Only.";
inline constexpr const char* CannotCreateOutputText = "Unable to create output file...";
inline constexpr const char* EncryptedInPlaceText =
    "All done. File Encrypted with the same name as the original.";
inline constexpr const char* EncryptedInText = "File Encrypted in: ";
inline constexpr const char* DecryptedInPlaceText = "All done. File Decrypted.";
inline constexpr const char* DecryptedInText = "File Decrypted in: ";

// The output beside a file: the full name with ".CPH" appended when
// encrypting, the extension replaced by ".dec" when decrypting.
std::string OutputNameBeside(CipherDirection direction, const std::string& path);

// Runs the selected files through the stream, each with a fresh context
// keyed from the password entry. A file that cannot be opened, or whose
// output cannot be created, shows its box, blanks the password field and
// ends the loop: returns false then (files before it stay done). Key-length
// and stream failures propagate.
bool TransformSelection(const FileCommandWindows& windows, CipherDirection direction, bool inPlace,
                        const PasswordEntry& entry);

} // namespace ciphra::gui
