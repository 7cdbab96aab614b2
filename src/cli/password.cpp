#include "cli/password.h"

#include <algorithm>
#include <cstring>
#include <termios.h>

#include "core/crypto/wipe.h"
#include "core/io/interrupts.h"
#include "core/io/posix_file.h"

namespace ciphra::cli {

SecretText::~SecretText()
{
    if (data_) {
        SecureWipe(data_.get(), capacity_);
    }
}

void SecretText::Append(const char* bytes, std::size_t n)
{
    if (size_ + n > capacity_) {
        const std::size_t capacity = std::max<std::size_t>(64, 2 * (size_ + n));
        auto grown = std::make_unique<char[]>(capacity);
        if (size_ > 0) {
            std::memcpy(grown.get(), data_.get(), size_);
        }
        if (data_) {
            SecureWipe(data_.get(), capacity_);
        }
        data_ = std::move(grown);
        capacity_ = capacity;
    }
    if (n > 0) {
        std::memcpy(data_.get() + size_, bytes, n);
    }
    size_ += n;
}

namespace {

constexpr const char* TerminalPath = "/dev/tty";

void ReadPasswordFile(const std::string& path, SecretText& password)
{
    if (IsDirectory(path)) {
        throw Exception(path + ": is a folder, not a file");
    }
    char piece[256];
    try {
        File file = File::Open(path, OpenMode::ReadOnly);
        std::size_t n = 0;
        while ((n = file.Read(piece, sizeof piece)) > 0) {
            password.Append(piece, n);
        }
    } catch (const FileError& error) {
        SecureWipeObject(piece);
        throw Exception(path + ": " + error.what());
    }
    SecureWipeObject(piece);
    if (!password.Empty() && password.View().back() == '\n') {
        password.RemoveLast();
    }
}

// Echo goes back on however the prompt ends, a signal included.
class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd)
    {
        if (::tcgetattr(fd_, &saved_) != 0) {
            return;
        }
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        RememberTerminal(fd_, saved_);
        active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    ~EchoOff()
    {
        if (active_) {
            ::tcsetattr(fd_, TCSAFLUSH, &saved_);
        }
        ForgetTerminal();
    }

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

} // namespace

void TerminalPrompt::Ask(SecretText& password)
{
    std::optional<File> terminal = File::TryOpen(TerminalPath, OpenMode::ReadWrite);
    if (!terminal) {
        throw Exception("no terminal to ask for the password on; use --password-file");
    }
    static constexpr char prompt[] = "Password: ";
    {
        // Echo goes off before the prompt shows, so nothing typed is echoed
        // or flushed away.
        EchoOff echoOff(terminal->Descriptor());
        terminal->WriteAll(prompt, sizeof prompt - 1);
        char c = 0;
        while (terminal->Read(&c, 1) == 1 && c != '\n') {
            password.Append(&c, 1);
        }
        c = 0;
    }
    terminal->WriteAll("\n", 1);
}

void ObtainPassword(const std::optional<std::string>& passwordFile, PasswordPrompt& prompt,
                    SecretText& password)
{
    if (passwordFile) {
        ReadPasswordFile(*passwordFile, password);
    } else {
        prompt.Ask(password);
    }
    if (password.Empty()) {
        throw Exception("the password is empty");
    }
}

} // namespace ciphra::cli
