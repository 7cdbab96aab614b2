#include "core/jobs/passwords.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/error.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::TempFolder;
using test::WriteBytes;

// One line break, LF or CR LF as other systems end lines, is not part of
// the password; everything else is.
TEST(Passwords, FilesLoseOneTrailingLineBreak)
{
    const struct {
        std::string Content;
        std::string Password;
    } cases[] = {
        {"pw\n", "pw"},
        {"pw\r\n", "pw"},
        {"pw", "pw"},
        {"pw\n\n", "pw\n"},
        {"pw\r\n\r\n", "pw\r\n"},
        {"pw\r", "pw\r"},
        {" pw \n", " pw "},
        {"\r\n", ""},
        {"p\rw\n", "p\rw"},
        {std::string(LongestPassword, 'x') + "\r\n", std::string(LongestPassword, 'x')},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        WriteBytes(folder / "pw", c.Content);
        SecretText password;
        ReadPasswordFile(folder / "pw", password);
        EXPECT_EQ(password.View(), c.Password) << c.Content.size();
    }
}

// Nothing longer than a password is read: an endless source ends with a
// message instead of filling the memory.
TEST(Passwords, RefusesWhatCannotBeAPassword)
{
    TempFolder folder;
    WriteBytes(folder / "long", std::string(LongestPassword + 1, 'x'));
    std::filesystem::create_directory(folder.Path() / "sub");
    const struct {
        std::string Path;
        std::string Message;
    } cases[] = {
        {"/dev/zero", "/dev/zero: the password is longer than 4096 bytes"},
        {folder / "long", "long: the password is longer than 4096 bytes"},
        {folder / "sub", "sub: is a folder, not a file"},
        {folder / "missing", "missing: File not found"},
    };
    for (const auto& c : cases) {
        SecretText password;
        try {
            ReadPasswordFile(c.Path, password);
            ADD_FAILURE() << c.Path << " was read";
        } catch (const Exception& error) {
            EXPECT_NE(std::string(error.what()).find(c.Message), std::string::npos) << error.what();
        }
    }
}

} // namespace
} // namespace ciphra
