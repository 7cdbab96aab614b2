#include "core/io/terminal.h"

#include <cerrno>
#include <unistd.h>

#include "core/io/interrupts.h"

namespace ciphra {

EchoOff::EchoOff(int fd, bool echoNewline) noexcept
{
    if (::isatty(fd) == 0 || ::tcgetattr(fd, &saved_) != 0) {
        return;
    }
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (echoNewline) {
        quiet.c_lflag |= ECHONL;
    }
    // Remembered first, so that a signal from here on restores the echo.
    RememberTerminal(fd, saved_, quiet);
    if (::tcsetattr(fd, TCSAFLUSH, &quiet) != 0) {
        ForgetTerminal();
        return;
    }
    fd_ = fd;
}

EchoOff::~EchoOff()
{
    if (fd_ < 0) {
        return;
    }
    ::tcsetattr(fd_, TCSAFLUSH, &saved_);
    ForgetTerminal();
}

bool IsTerminal(int fd) noexcept
{
    return ::isatty(fd) != 0;
}

bool ReadSecretLine(int fd, SecretText& line, std::size_t limit)
{
    line.Clear();
    bool fits = true;
    char byte = 0;
    for (;;) {
        const ssize_t got = ::read(fd, &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got != 1 || byte == '\n') {
            break;
        }
        if (line.Size() < limit) {
            line.Append(&byte, 1);
        } else {
            fits = false;
        }
    }
    byte = 0;
    if (fits && !line.Empty() && line.View().back() == '\r') {
        line.RemoveLast();
    }
    return fits;
}

} // namespace ciphra
