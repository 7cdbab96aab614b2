#pragma once
// The stub without a display: it asks for the password on the terminal,
// runs the decrypt routine once and prints its message instead of a box.

#include <cstddef>
#include <string>

namespace ciphra::stub {

// Longest password line kept; longer lines still count their full length, so
// that the key setup refuses them.
inline constexpr std::size_t PasswordLineCapacity = 1024;

struct PasswordLine {
    char Bytes[PasswordLineCapacity];
    std::size_t Length; // bytes of the line; may exceed the capacity
    ~PasswordLine();    // wipes the bytes
};

// Reads one line from `fd` without its line end ("\n" or "\r\n"), with echo
// off while `fd` is a terminal. End of input ends the line.
void ReadPasswordLine(int fd, PasswordLine& line);

// Prompts with "Password:", reads the line from standard input, decrypts.
// Exit status 0 only when the plain file was written under its final name.
int RunTerminal(const std::string& ownPath);

} // namespace ciphra::stub
