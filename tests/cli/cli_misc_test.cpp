// Usage, help, hash, text and the terminal prompt, end to end on the built program.

#include <filesystem>

#include "cli/cli_fixture.h"
#include "core/crypto/base64.h"
#include "core/crypto/sha1.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/key_material.h"
#include "core/jobs/text_cipher.h"

namespace ciphra::test {
namespace {

TEST_F(CliTest, UsageErrorsExitWithTwo)
{
    WriteBytes(In("f"), "x");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"encrypt"},
        {"encrypt", "--bogus", "f"},
        {"decrypt", "--password-file"},
        {"encrypt", "-x", "f"},
        {"hash"},
        {"hash", "f", "f"},
        {"hash", "--raw-key", "f"},
        {"hash", "--algorithm", "md5", "f"},
        {"hash", "f", "--algorithm"},
        {"text"},
        {"text", "scramble"},
        {"text", "encrypt", "extra"},
    };
    const auto before = Snapshot(folder_.Path());
    for (const auto& args : cases) {
        SCOPED_TRACE(args.empty() ? "(nothing)" : args.front());
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_NE(result.Err.find("Usage: ciphra2k-cli"), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
    EXPECT_EQ(Snapshot(folder_.Path()), before);
}

TEST_F(CliTest, HelpForTheToolAndEachCommand)
{
    const struct {
        std::vector<std::string> Args;
        const char* Starts;
    } cases[] = {
        {{"--help"}, "Usage: ciphra2k-cli COMMAND"},
        {{"encrypt", "--help"}, "Usage: ciphra2k-cli encrypt [--in-place]"},
        {{"decrypt", "--help"}, "Usage: ciphra2k-cli decrypt [--in-place]"},
        {{"hash", "--help"}, "Usage: ciphra2k-cli hash [--algorithm sha1|sha256]"},
        {{"text", "--help"}, "Usage: ciphra2k-cli text encrypt|decrypt"},
        {{"encrypt", "f", "--help"}, "Usage: ciphra2k-cli encrypt"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Run(c.Args);
        EXPECT_EQ(result.ExitCode, 0);
        EXPECT_TRUE(result.Out.starts_with(c.Starts)) << result.Out;
        EXPECT_EQ(result.Err, "");
    }
}

TEST_F(CliTest, VersionIsTheProjects)
{
    const ProcessResult result = Run({"--version"});
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out, std::string("ciphra2k-cli ") + CIPHRA_VERSION + "\n");
    EXPECT_EQ(result.Err, "");
}

std::string Digest(const std::string& bytes)
{
    std::uint8_t digest[Sha1DigestSize];
    Sha1OfText(bytes, digest);
    return {reinterpret_cast<const char*>(digest), Sha1DigestSize};
}

TEST_F(CliTest, HashPrintsHexOrCharForm)
{
    // A content whose digest holds a zero byte, to see it left out.
    std::string withZero;
    for (int i = 0; Digest(withZero).find('\0') == std::string::npos; ++i) {
        withZero = "zero " + std::to_string(i);
    }
    std::string withoutZeros = Digest(withZero);
    std::erase(withoutZeros, '\0');
    const std::string twoChunks = PatternBytes(2 * 8192, 3);
    const struct {
        std::string Content;
        bool Base64;
        std::string Expected;
    } cases[] = {
        {"abc", false, "0xA9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"", false, "0xDA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"abc", true, Base64EncodeText(Digest("abc"))},
        {twoChunks, true, Base64EncodeText(Digest(twoChunks))},
        {withZero, true, Base64EncodeText(withoutZeros)},
    };
    for (const auto& c : cases) {
        WriteBytes(In("f"), c.Content);
        std::filesystem::permissions(In("f"), std::filesystem::perms::owner_read);
        const ProcessResult result =
            Run(c.Base64 ? std::vector<std::string>{"hash", "--base64", "f"}
                         : std::vector<std::string>{"hash", "f"});
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, c.Expected + "\n");
        std::filesystem::remove(In("f"));
    }
    EXPECT_EQ(Base64EncodeText(withoutZeros).size(), withoutZeros.size() == 19 ? 28U : 24U);
}

// SHA-256 in both forms, and its report naming it; sha1 is the default.
TEST_F(CliTest, HashWithEitherAlgorithm)
{
    WriteBytes(In("f"), "abc");
    const struct {
        std::vector<std::string> Args;
        const char* Printed;
    } cases[] = {
        {{"hash", "--algorithm", "sha256", "f"},
         "0xBA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {{"hash", "--algorithm=SHA256", "--base64", "f"},
         "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIVrQ=="}, // a zero byte left out
        {{"hash", "--algorithm", "sha1", "f"}, "0xA9993E364706816ABA3E25717850C26C9CD0D89D"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Run(c.Args);
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, std::string(c.Printed) + "\n");
    }
    const ProcessResult report = Run({"hash", "--algorithm", "sha256", "--report", "f.hsh", "f"});
    ASSERT_EQ(report.ExitCode, 0) << report.Err;
    const std::string saved = ReadBytes(In("f.hsh"));
    EXPECT_TRUE(saved.starts_with("--- Ciphra 2K v1.0.2 HASH using SHA-256 ----\r\n")) << saved;
    EXPECT_NE(saved.find("\r\n0xBA7816BF"), std::string::npos) << saved;
}

TEST_F(CliTest, HashOfAMissingFileOrAFolderFails)
{
    std::filesystem::create_directory(In("folder"));
    const struct {
        const char* Name;
        const char* Message;
    } cases[] = {{"missing", "missing: File not found"}, {"folder", "folder: is a folder"}};
    for (const auto& c : cases) {
        const ProcessResult result = Run({"hash", c.Name});
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
}

TEST_F(CliTest, TextRoundTripsAsOneLineOfBase64)
{
    const std::string password = "text password";
    const std::string passwordFile = PasswordFile(password + "\n");
    const std::string texts[] = {"", "a", "Line one\r\nLine two\ttabbed\r\n", PatternBytes(1000, 8),
                                 std::string(5, '\0')};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.size());
        ProcessResult result = Run({"text", "encrypt", "--password-file", passwordFile}, text);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        std::string expected = text;
        EncryptTextWithPassword(password, expected);
        EXPECT_EQ(result.Out, Base64EncodeText(expected) + "\n");
        EXPECT_EQ(result.Out.size(), 4 * ((text.size() + 2) / 3) + 1);

        for (const char* ending : {"", "\n", "\r\n", "\r\n\n"}) {
            const std::string line = result.Out.substr(0, result.Out.size() - 1) + ending;
            const ProcessResult back =
                Run({"text", "decrypt", "--password-file", passwordFile}, line);
            ASSERT_EQ(back.ExitCode, 0) << back.Err;
            EXPECT_EQ(back.Out, text);
        }
    }
}

TEST_F(CliTest, TextFailures)
{
    const std::string password = PasswordFile("pw");
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        std::string Stdin;
        const char* Message;
    } cases[] = {
        {"length not a multiple of 4",
         {"text", "decrypt", "--password-file", password},
         "abcde",
         "Base64: Incorrect string format"},
        {"a line break inside",
         {"text", "decrypt", "--password-file", password},
         "QUJD\nREVG\n",
         "Base64: Incorrect string format"},
        {"empty password", {"text", "encrypt", "--password-file", PasswordFile("")}, "x", "empty"},
        {"no terminal", {"text", "encrypt"}, "x", "no terminal"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ProcessResult result = Run(c.Args, c.Stdin);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
}

TEST_F(CliTest, TextWithAWrongPasswordGivesOtherBytes)
{
    const ProcessResult encrypted =
        Run({"text", "encrypt", "--password-file", PasswordFile("right")}, "the message");
    const ProcessResult decrypted =
        Run({"text", "decrypt", "--password-file", PasswordFile("wrong")}, encrypted.Out);
    EXPECT_EQ(decrypted.ExitCode, 0);
    EXPECT_EQ(decrypted.Out.size(), std::string("the message").size());
    EXPECT_NE(decrypted.Out, "the message");
}

// The password is asked once on the terminal, with echo off, for all files.
TEST_F(CliTest, AsksForThePasswordOnTheTerminal)
{
    WriteBytes(In("one"), "first");
    WriteBytes(In("two"), "second");
    // Encrypting asks twice: a typo would lock the data away for good.
    const TerminalResult result =
        CheckedRun(Cli({"encrypt", "one", "two"}),
                   {WaitFor("Password: "), ReadMode(), Type("typed secret\r"),
                    WaitFor("Repeat password: "), ReadMode(), Type("typed secret\r")});
    ASSERT_EQ(result.ExitCode, 0) << result.Out;
    ASSERT_EQ(result.Modes.size(), 2U);
    EXPECT_FALSE(EchoOn(result.Modes[0])) << "echo is on at the prompt";
    EXPECT_FALSE(EchoOn(result.Modes[1])) << "echo is on at the second prompt";
    EXPECT_EQ(result.Out.find("typed secret"), std::string::npos) << "echoed: " << result.Out;
    std::size_t prompts = 0;
    for (std::size_t at = 0; (at = result.Out.find("assword: ", at)) != std::string::npos; ++at) {
        ++prompts;
    }
    EXPECT_EQ(prompts, 2U);
    const std::string password = PasswordFile("typed secret");
    for (const char* name : {"one", "two"}) {
        std::filesystem::rename(In(name), In(std::string(name) + ".orig"));
        const ProcessResult back =
            Run({"decrypt", "--password-file", password, std::string(name) + ".CPH"});
        ASSERT_EQ(back.ExitCode, 0) << back.Err;
        EXPECT_EQ(ReadBytes(In(std::string(name) + ".dec")),
                  ReadBytes(In(std::string(name) + ".orig")));
    }
}

} // namespace
} // namespace ciphra::test
