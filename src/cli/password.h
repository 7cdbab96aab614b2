#pragma once
// Where a command's password comes from: a file named on the command line or
// the terminal, never the arguments or the environment. Passwords are UTF-8
// bytes, taken as they are; every buffer that held one is wiped.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ciphra::cli {

// A growable byte buffer for secrets: growing wipes the old storage, and the
// destructor wipes the current one.
class SecretText {
public:
    SecretText() = default;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText();

    void Append(const char* bytes, std::size_t n);
    void RemoveLast() noexcept { size_ -= size_ > 0 ? 1 : 0; }
    std::string_view View() const noexcept { return {data_.get(), size_}; }
    bool Empty() const noexcept { return size_ == 0; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

class PasswordPrompt {
public:
    // Asks for a password; throws ciphra::Exception when none can be asked for.
    virtual void Ask(SecretText& password) = 0;

protected:
    ~PasswordPrompt() = default;
};

// Asks on the controlling terminal (/dev/tty) with echo off, so that standard
// input stays free for data.
class TerminalPrompt final : public PasswordPrompt {
public:
    void Ask(SecretText& password) override;
};

// The password from `passwordFile` (less one trailing newline) when given,
// else from the prompt. Throws ciphra::Exception with a message for the user.
void ObtainPassword(const std::optional<std::string>& passwordFile, PasswordPrompt& prompt,
                    SecretText& password);

} // namespace ciphra::cli
