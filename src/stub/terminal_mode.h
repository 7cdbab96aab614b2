#pragma once
// The stub without a display: it asks for the password on the terminal,
// runs the decrypt routine once and prints its message instead of a box.

#include <string>

namespace ciphra::stub {

// Shows "Password: " and reads one line from standard input (echo off while
// it is a terminal; "\n" or "\r\n" ends it, and so does the end of input),
// then decrypts with it. Messages go to standard output ("File decrypted!")
// or standard error. Exit status 0 only when the plain file was written under
// its final name, 1 otherwise.
int RunTerminal(const std::string& ownPath);

} // namespace ciphra::stub
