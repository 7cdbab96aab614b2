#pragma once
// Reading a password from a file or a terminal, the same way in every front
// end: one trailing line break (LF, or CR LF as files from other systems end
// their lines) is not part of it, and nothing longer than a password can be
// is read, so that an endless source (/dev/zero) ends with a clear message.

#include <cstddef>
#include <string>

#include "core/crypto/secret_text.h"

namespace ciphra {

// The most bytes a password may have when read from a file or a terminal.
inline constexpr std::size_t LongestPassword = 4096;

// Takes one trailing "\n" or "\r\n" off `text`.
void TakeOffLineBreak(SecretText& text) noexcept;

// Reads the password in `path` (a file, or a pipe). Throws ciphra::Exception
// with "<path>: <reason>" when it cannot be read or is longer than
// LongestPassword bytes.
void ReadPasswordFile(const std::string& path, SecretText& password);

// Reads one line typed on the terminal `fd` (echo is the caller's business).
// Throws ciphra::Exception when the line is longer than LongestPassword bytes.
void ReadPasswordLine(int fd, SecretText& password);

} // namespace ciphra
