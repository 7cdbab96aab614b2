#pragma once
// The decrypt command of the main window: every selected file is run through
// the decrypting stream with one password, in place or into a copy beside it
// named with its extension replaced by ".dec". Nothing in a .CPH file tells
// a wrong password or a file that was never encrypted: such files are
// transformed all the same. Age files are recognised by their first bytes and
// decrypted beside without their ".age"; they need the password, or an
// identity file (asked for with a file dialog) when they were made for
// recipients, and a wrong key or an altered file is reported, writing nothing.

#include "gui/commands/file_command_support.h"

namespace ciphra::gui {

inline constexpr const char* OverwriteOnDecryptQuestion =
    "You've selected \"overwrite file on encryption\",\nthis will overwrite the entire file and "
    "unless\nyou enter the correct password to decrypt. all\ndata will be lost. Continue?";

// Runs the command to its end; `overwrite` is "&Overwrite file on encryption".
// Returns true when every file was decrypted, false after a "No", a Cancel
// or a file that could not be done. Failures of the stream or of the key
// setup end the command and reach the error report.
bool RunDecryptCommand(const FileCommandWindows& windows, bool overwrite);

} // namespace ciphra::gui
