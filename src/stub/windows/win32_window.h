#pragma once
// The Windows stub's window: "Password:", a masked edit and a "Decrypt"
// button, created directly through Win32, with the Linux stub's layout,
// boxes and texts.

#include <windows.h>

namespace ciphra::stub {

// Shows the window and runs its message loop until it is closed; returns
// the program's exit code.
int RunWindow(HINSTANCE instance);

} // namespace ciphra::stub
