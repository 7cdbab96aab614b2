#pragma once
// Texts of the Windows stub: Windows speaks UTF-16, the decrypt routine and
// the key speak UTF-8 (a password is keyed by its UTF-8 bytes wherever the
// program runs). Fixed buffers only: the stub allocates nothing.

#include <cstddef>

namespace ciphra::stub {

// The longest path Windows takes, in UTF-16 units with its terminating zero.
inline constexpr std::size_t WidePathCapacity = 32768;

// The UTF-8 form of the first `length` units of `wide` in `out` (`capacity`
// bytes, zero-terminated, cut where a character begins when it does not
// fit). Returns the bytes written, without the zero.
std::size_t ToUtf8(const wchar_t* wide, std::size_t length, char* out, std::size_t capacity);

// The UTF-16 form of the zero-terminated `utf8` in `out` (`capacity` units,
// zero-terminated); each "\r" becomes "\r\n", the line break of a message
// box. Returns false, leaving `out` empty, when it does not fit.
bool ToWide(const char* utf8, wchar_t* out, std::size_t capacity, bool breakLines = false);

// The length of a zero-terminated wide text.
std::size_t WideLength(const wchar_t* text);

// Appends the zero-terminated `tail` to the zero-terminated text in `out`;
// false, leaving `out` as it was, when the whole would not fit.
bool AppendWide(wchar_t* out, std::size_t capacity, const wchar_t* tail);

// The message of a Windows error code, in the words of the Linux stub's file
// layer: "File not found", "File access denied", "Disk full", else
// "I/O error N" with the code.
const char* ErrorText(unsigned long code, char* buffer, std::size_t capacity);

} // namespace ciphra::stub
