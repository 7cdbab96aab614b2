#pragma once
// Asking for a secret on a terminal: the echo is off while it is typed, and
// comes back however the prompt ends: normally, by an ending signal, or for
// as long as Ctrl+Z keeps the process stopped.

#include <cstddef>
#include <termios.h>

#include "core/crypto/secret_text.h"

namespace ciphra {

class EchoOff {
public:
    // Turns the echo of terminal `fd` off (nothing happens when it is not a
    // terminal). With `echoNewline` the line break that ends the line still
    // shows, so that what follows starts on a line of its own.
    explicit EchoOff(int fd, bool echoNewline = false) noexcept;
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff();

private:
    int fd_ = -1; // -1 when the echo was left alone
    termios saved_{};
};

// True when `fd` is a terminal.
bool IsTerminal(int fd) noexcept;

// Reads one line from `fd` into `line`: the bytes up to "\n" (not kept) or
// the end of input, less one "\r" before the "\n". At most `limit` bytes are
// kept; a longer line is read to its end and false is returned.
bool ReadSecretLine(int fd, SecretText& line, std::size_t limit);

} // namespace ciphra
