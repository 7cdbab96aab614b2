#pragma once
// The stub's window: "Ciphra Self-Decrypting" with the label "Password:", a
// masked password edit and the "Decrypt" button, drawn with Xlib.

#include <string>

#include "stub/x11_api.h"

namespace ciphra::stub {

// Shows the window on `display` and runs it until the user closes it; each
// press of "Decrypt" runs the decrypt routine for the program at `ownPath`
// and shows its message in a modal box. Closes the display at the end.
void RunWindow(const X11Api& x, Display* display, const std::string& ownPath);

} // namespace ciphra::stub
