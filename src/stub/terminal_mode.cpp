#include "stub/terminal_mode.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <termios.h>
#include <unistd.h>

#include "crypto/wipe.h"
#include "stub/decrypt_routine.h"

namespace ciphra::stub {
namespace {

// The terminal settings to restore, also from a signal that arrives while
// the echo is off.
struct termios SavedTerminal;
volatile std::sig_atomic_t SavedFd = -1;

extern "C" void RestoreEchoAndDie(int signal)
{
    if (SavedFd >= 0)
        tcsetattr(SavedFd, TCSANOW, &SavedTerminal);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

constexpr int EchoSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

class EchoOff {
public:
    explicit EchoOff(int fd)
    {
        if (!isatty(fd) || tcgetattr(fd, &SavedTerminal) != 0)
            return;
        struct termios quiet = SavedTerminal;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        SavedFd = fd;
        for (int signal : EchoSignals)
            std::signal(signal, RestoreEchoAndDie);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    ~EchoOff()
    {
        if (SavedFd < 0)
            return;
        tcsetattr(SavedFd, TCSAFLUSH, &SavedTerminal);
        SavedFd = -1;
        for (int signal : EchoSignals)
            std::signal(signal, SIG_DFL);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
};

class TerminalMessages final : public MessageSink {
public:
    void ShowMessage(const char* title, const std::string& text) override
    {
        std::string lines = text;
        std::replace(lines.begin(), lines.end(), '\r', '\n');
        (void)title; // the terminal shows the text alone
        std::FILE* stream = text == DecryptedText ? stdout : stderr;
        std::fputs(lines.c_str(), stream);
        std::fputc('\n', stream);
    }
};

} // namespace

PasswordLine::~PasswordLine()
{
    SecureWipe(Bytes, sizeof Bytes);
}

void ReadPasswordLine(int fd, PasswordLine& line)
{
    EchoOff echo(fd);
    line.Length = 0;
    char byte = 0;
    while (read(fd, &byte, 1) == 1 && byte != '\n') {
        if (line.Length < PasswordLineCapacity)
            line.Bytes[line.Length] = byte;
        ++line.Length;
    }
    if (line.Length > 0 && line.Length <= PasswordLineCapacity && line.Bytes[line.Length - 1] == '\r')
        --line.Length;
    byte = 0;
}

int RunTerminal(const std::string& ownPath)
{
    std::fputs("Password: ", stdout);
    std::fflush(stdout);
    PasswordLine line;
    ReadPasswordLine(STDIN_FILENO, line);
    if (!isatty(STDIN_FILENO))
        std::fputc('\n', stdout);
    TerminalMessages messages;
    const std::string_view password(line.Bytes, std::min(line.Length, PasswordLineCapacity));
    return DecryptPayload(ownPath, password, messages) ? 0 : 1;
}

} // namespace ciphra::stub
