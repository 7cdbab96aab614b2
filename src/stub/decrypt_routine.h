#pragma once
// What the stub does when the user asks it to decrypt: restore the payload of
// its own program file beside that file, under the program's name with the
// extension ".dec", and report the outcome through a message. The same
// routine runs in the Linux and the Windows stub, on their own systems
// (stub_system.h).

#include <string_view>

#include "stub/stub_system.h"

namespace ciphra::stub {

// Where the routine's messages go: a modal box in the window, a line on the
// terminal. `text` may hold "\r" as a line break.
class MessageSink {
public:
    virtual void ShowMessage(const char* title, const char* text) = 0;

protected:
    ~MessageSink() = default;
};

inline constexpr const char* PasswordCheckTitle = "Password check";
inline constexpr const char* PasswordRequiredText = "Password is required.";
inline constexpr const char* CrcCheckTitle = "CRC check";
inline constexpr const char* UnableToDecryptText =
    "Unable to decrypt file.\rFile might be corrupt.";
inline constexpr const char* StubTitle = "Ciphra SFD";
inline constexpr const char* DecryptedText = "File decrypted!";

// Runs the routine once with the password's bytes as the key. The key is
// checked before any file is touched; the data goes into one working file,
// which is flushed before it takes its name and removed on any failure; an
// existing file is never replaced: when the name is taken the data goes
// under "NAME (2).dec" and so on. Every outcome, failures included, ends in
// exactly one message. Returns true only when the plain file was written
// under its final name. The caller wipes `password`.
bool DecryptPayload(StubSystem& system, std::string_view password, MessageSink& messages);

} // namespace ciphra::stub
