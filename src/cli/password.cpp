#include "cli/password.h"

#include "core/io/posix_file.h"
#include "core/io/terminal.h"
#include "core/jobs/passwords.h"

namespace ciphra::cli {

namespace {

constexpr const char* TerminalPath = "/dev/tty";

} // namespace

void TerminalPrompt::Ask(const char* prompt, SecretText& password)
{
    std::optional<File> terminal = File::TryOpen(TerminalPath, OpenMode::ReadWrite);
    if (!terminal) {
        throw Exception("no terminal to ask for the password on; use --password-file");
    }
    {
        // Echo goes off before the prompt shows, so nothing typed is echoed
        // or flushed away.
        EchoOff echoOff(terminal->Descriptor());
        terminal->WriteAll(prompt, std::char_traits<char>::length(prompt));
        ReadPasswordLine(terminal->Descriptor(), password);
    }
    terminal->WriteAll("\n", 1);
}

void ObtainPassword(const std::optional<std::string>& passwordFile, PasswordPrompt& prompt,
                    SecretText& password, Confirmation confirmation)
{
    if (passwordFile) {
        ReadPasswordFile(*passwordFile, password);
    } else {
        prompt.Ask("Password: ", password);
        if (!password.Empty() && confirmation == Confirmation::Twice) {
            SecretText again;
            prompt.Ask("Repeat password: ", again);
            if (again.View() != password.View()) {
                throw Exception("the two passwords typed differ; nothing was done");
            }
        }
    }
    if (password.Empty()) {
        throw Exception("the password is empty");
    }
}

} // namespace ciphra::cli
