#include "stub/terminal_mode.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unistd.h>

#include "core/io/terminal.h"
#include "stub/decrypt_routine.h"

namespace ciphra::stub {
namespace {

// Longest password line kept: anything longer than a key is refused by the
// key setup anyway.
constexpr std::size_t PasswordLineCapacity = 1024;

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

void AskPassword(int fd, const char* prompt, SecretText& line)
{
    // The echo goes off before the prompt shows, so that nothing typed in
    // answer to it is ever echoed.
    EchoOff echo(fd, true);
    std::fputs(prompt, stdout);
    std::fflush(stdout);
    ReadSecretLine(fd, line, PasswordLineCapacity);
}

} // namespace

int RunTerminal(const std::string& ownPath)
{
    SecretText line;
    AskPassword(STDIN_FILENO, "Password: ", line);
    if (!isatty(STDIN_FILENO)) {
        std::fputc('\n', stdout);
    }
    std::fflush(stdout); // before any message goes to standard error
    TerminalMessages messages;
    return DecryptPayload(ownPath, line.View(), messages) ? 0 : 1;
}

} // namespace ciphra::stub
