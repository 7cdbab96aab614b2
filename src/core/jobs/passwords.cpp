#include "core/jobs/passwords.h"

#include <algorithm>

#include "core/crypto/wipe.h"
#include "core/io/posix_file.h"
#include "core/io/terminal.h"

namespace ciphra {
namespace {

std::string TooLong(const std::string& what)
{
    return what + " is longer than " + std::to_string(LongestPassword) +
           " bytes, more than a password can be";
}

} // namespace

void TakeOffLineBreak(SecretText& text) noexcept
{
    if (!text.Empty() && text.View().back() == '\n') {
        text.RemoveLast();
        if (!text.Empty() && text.View().back() == '\r') {
            text.RemoveLast();
        }
    }
}

void ReadPasswordFile(const std::string& path, SecretText& password)
{
    if (IsDirectory(path)) {
        throw Exception(path + ": is a folder, not a file");
    }
    // One byte more than a password with its line break may have tells a
    // file that is too long without reading all of it.
    constexpr std::size_t Enough = LongestPassword + 3;
    char piece[256];
    try {
        File file = File::Open(path, OpenMode::ReadOnly);
        std::size_t n = 0;
        while (password.Size() < Enough &&
               (n = file.Read(piece, std::min(sizeof piece, Enough - password.Size()))) > 0) {
            password.Append(piece, n);
        }
    } catch (const FileError& error) {
        SecureWipeObject(piece);
        throw Exception(path + ": " + error.what());
    }
    SecureWipeObject(piece);
    TakeOffLineBreak(password);
    if (password.Size() > LongestPassword) {
        throw Exception(TooLong(path + ": the password"));
    }
}

void ReadPasswordLine(int fd, SecretText& password)
{
    if (!ReadSecretLine(fd, password, LongestPassword)) {
        throw Exception(TooLong("the password typed"));
    }
}

} // namespace ciphra
