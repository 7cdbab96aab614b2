#pragma once
// The encrypt and decrypt commands as the marks of the Options menu set them
// up. The main window passes its marks, and a command started from the
// command line the marks the settings keep, so that both take every mark
// the same way.

#include "gui/commands/file_command_support.h"
#include "gui/main/placement.h"

namespace ciphra::gui {

// Encrypts the selected files beside, in place ("Overwrite"), to the age
// format, or as a self-decrypting program for the system marked. Returns
// what RunEncryptCommand returns.
bool EncryptWithOptions(const FileCommandWindows& windows, const StoredOptions& options);

// Decrypts the selected files beside, or in place with "Overwrite". Returns
// what RunDecryptCommand returns.
bool DecryptWithOptions(const FileCommandWindows& windows, const StoredOptions& options);

} // namespace ciphra::gui
