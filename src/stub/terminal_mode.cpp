#include "stub/terminal_mode.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <termios.h>
#include <unistd.h>

#include "core/crypto/wipe.h"
#include "core/io/interrupts.h"
#include "stub/decrypt_routine.h"

namespace ciphra::stub {
namespace {

// Longest password line kept; longer lines still count their full length, so
// that the key setup refuses them.
constexpr std::size_t PasswordLineCapacity = 1024;

struct PasswordLine {
    char Bytes[PasswordLineCapacity];
    std::size_t Length = 0; // bytes of the line; may exceed the capacity
    PasswordLine() = default;
    PasswordLine(const PasswordLine&) = delete;
    PasswordLine& operator=(const PasswordLine&) = delete;
    ~PasswordLine() { SecureWipe(Bytes, sizeof Bytes); }
};

class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd)
    {
        if (!isatty(fd) || tcgetattr(fd, &saved_) != 0) {
            fd_ = -1;
            return;
        }
        struct termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        // An interrupting signal gives the terminal its echo back.
        RememberTerminal(fd_, saved_);
        tcsetattr(fd_, TCSAFLUSH, &quiet);
    }
    ~EchoOff()
    {
        if (fd_ < 0)
            return;
        tcsetattr(fd_, TCSAFLUSH, &saved_);
        ForgetTerminal();
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    struct termios saved_ {};
};

class TerminalMessages final : public MessageSink {
public:
    // The terminal shows the text alone, without the box's title.
    void ShowMessage(const char* /*title*/, const std::string& text) override
    {
        std::string lines = text;
        std::replace(lines.begin(), lines.end(), '\r', '\n');
        std::FILE* stream = text == DecryptedText ? stdout : stderr;
        std::fputs(lines.c_str(), stream);
        std::fputc('\n', stream);
    }
};

void ReadPasswordLine(int fd, const char* prompt, PasswordLine& line)
{
    // The echo goes off before the prompt shows, so that nothing typed in
    // answer to it is ever echoed.
    EchoOff echo(fd);
    std::fputs(prompt, stdout);
    std::fflush(stdout);
    line.Length = 0;
    char byte = 0;
    while (read(fd, &byte, 1) == 1 && byte != '\n') {
        if (line.Length < PasswordLineCapacity)
            line.Bytes[line.Length] = byte;
        ++line.Length;
    }
    if (line.Length > 0 && line.Length <= PasswordLineCapacity &&
        line.Bytes[line.Length - 1] == '\r')
        --line.Length;
    byte = 0;
}

} // namespace

int RunTerminal(const std::string& ownPath)
{
    PasswordLine line;
    ReadPasswordLine(STDIN_FILENO, "Password: ", line);
    if (!isatty(STDIN_FILENO))
        std::fputc('\n', stdout);
    std::fflush(stdout); // before any message goes to standard error
    TerminalMessages messages;
    const std::string_view password(line.Bytes, std::min(line.Length, PasswordLineCapacity));
    return DecryptPayload(ownPath, password, messages) ? 0 : 1;
}

} // namespace ciphra::stub
