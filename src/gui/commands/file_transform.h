#pragma once
// The loop that the encrypt and decrypt commands share: every selected file,
// in list order, through the file cipher job with one key, in place or into
// an output beside it (replacing an existing one's name without a question),
// each announced by its own box.

#include <vector>

#include "core/jobs/age_keys.h"
#include "core/jobs/output_names.h"
#include "gui/commands/file_command_support.h"

namespace ciphra::gui {

inline constexpr const char* CannotOpenText = "File cannot be opened...";
inline constexpr const char* CannotOpenReadOnlyText =
    "File cannot be opened. Check if the file is Read Only.";
inline constexpr const char* CannotCreateOutputText = "Unable to create output file...";
inline constexpr const char* EncryptedInPlaceText =
    "All done. File Encrypted with the same name as the original.";
inline constexpr const char* EncryptedInText = "File Encrypted in: ";
inline constexpr const char* DecryptedInPlaceText = "All done. File Decrypted.";
inline constexpr const char* DecryptedInText = "File Decrypted in: ";
inline constexpr const char* AgeWrongPasswordText =
    "Wrong password: nothing was decrypted from this file:\n";
inline constexpr const char* AgeNotDecryptedText = "This file was not decrypted:\n";

// Runs the selected files through the job, each with a fresh context keyed
// from the password entry. A file that cannot be opened (a folder, a FIFO or
// device, a file the user may not write), or whose output cannot be made,
// shows its box, blanks the password field and ends the loop: returns false
// then (files before it stay done). Key-length and stream failures propagate.
bool TransformSelection(const FileCommandWindows& windows, CipherDirection direction, bool inPlace,
                        const PasswordEntry& entry);

// What a run of the loop has to open or seal files with.
struct TransformKeys {
    const PasswordEntry* Password = nullptr; // when one was asked
    std::vector<age::Identity> Identities;   // for age files made for recipients
    // Whether a .CPH file is among them: its key is checked before any file is touched.
    bool CphFiles = true;
};

// The same loop for either format: encrypting writes `format`; decrypting
// takes each file's own. An age file that the keys do not open, or that was
// altered or cut, shows its box, writes nothing and ends the loop (false).
bool TransformSelection(const FileCommandWindows& windows, CipherDirection direction, bool inPlace,
                        CipherFormat format, const TransformKeys& keys);

} // namespace ciphra::gui
