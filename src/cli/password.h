#pragma once
// Where a command's password comes from: a file named on the command line or
// the terminal, never the arguments or the environment. Passwords are UTF-8
// bytes, taken as they are; every buffer that held one is wiped.

#include <optional>
#include <string>

#include "core/crypto/secret_text.h"

namespace ciphra::cli {

using ciphra::SecretText;

class PasswordPrompt {
public:
    // Shows `prompt` and reads a password; throws ciphra::Exception when
    // none can be asked for.
    virtual void Ask(const char* prompt, SecretText& password) = 0;

protected:
    ~PasswordPrompt() = default;
};

// Asks on the controlling terminal (/dev/tty) with echo off, so that standard
// input stays free for data.
class TerminalPrompt final : public PasswordPrompt {
public:
    void Ask(const char* prompt, SecretText& password) override;
};

// Whether a typed password is asked a second time and compared. Commands
// that make something only this password opens ask twice: a typo would
// otherwise lock the data away for good.
enum class Confirmation { Once, Twice };

// The password from `passwordFile` (less one trailing line break) when
// given, else from the prompt. Throws ciphra::Exception with a message for
// the user: the password is empty, too long, or typed differently twice.
void ObtainPassword(const std::optional<std::string>& passwordFile, PasswordPrompt& prompt,
                    SecretText& password, Confirmation confirmation = Confirmation::Once);

} // namespace ciphra::cli
