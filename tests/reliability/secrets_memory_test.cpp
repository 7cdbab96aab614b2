// No copy of a secret stays behind in memory the tool owns once a command is
// over: every command runs in process, and then the stack below the caller
// and every heap block freed meanwhile are searched byte by byte for the
// password, its SHA-1 digest and the key schedules made from either.

#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "cli/password.h"
#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"
#include "core/crypto/wipe.h"
#include "support/memory_search.h"
#include "support/test_files.h"

namespace {

using ciphra::test::AddSecretMarker;

constexpr char Password[] = "Zq8 marker password 91";

__attribute__((noinline)) void MakeMarkers()
{
    const std::size_t length = sizeof Password - 1;
    AddSecretMarker("password", Password, length);
    std::uint8_t digest[ciphra::Sha1DigestSize];
    ciphra::Sha1OfText(Password, digest);
    AddSecretMarker("digest of the password", digest, sizeof digest);
    ciphra::TwofishContext ctx;
    ciphra::TwofishSetKey(ctx, digest, sizeof digest, nullptr);
    AddSecretMarker("round keys from the digest", ctx.RoundKeys, 16);
    AddSecretMarker("keyed S-boxes from the digest", ctx.KeyedSBoxes + 100, 16);
    ciphra::TwofishSetKey(ctx, Password, static_cast<std::int32_t>(length), nullptr);
    AddSecretMarker("round keys from the password", ctx.RoundKeys, 16);
    AddSecretMarker("keyed S-boxes from the password", ctx.KeyedSBoxes + 100, 16);
    ciphra::TwofishWipe(ctx);
    ciphra::SecureWipeObject(digest);
}

class NoPrompt final : public ciphra::cli::PasswordPrompt {
public:
    void Ask(const char*, ciphra::cli::SecretText&) override { std::abort(); }
};

struct Operation {
    const char* Name;
    std::vector<std::string> Args; // "PW" and "FILE" stand for the scratch files
    std::string Stdin;
};

class SecretsInMemoryTest : public ::testing::TestWithParam<Operation> {};

TEST_P(SecretsInMemoryTest, NothingOfTheSecretStaysBehind)
{
    const Operation& op = GetParam();
    ciphra::test::TempFolder folder;
    const std::string pw = folder / "pw";
    const std::string file = folder / "file.txt";
    ciphra::test::WriteBytes(pw, std::string(Password) + "\n");
    ciphra::test::WriteBytes(file, ciphra::test::PatternBytes(20000, 4));
    ciphra::cli::Arguments args;
    for (const std::string& arg : op.Args) {
        args.push_back(arg == "PW" ? pw : arg == "FILE" ? file : arg);
    }
    std::istringstream in(op.Stdin);
    std::ostringstream out;
    std::ostringstream err;
    NoPrompt prompt;
    ciphra::cli::CliIo io{in, out, err, prompt};

    if (!ciphra::test::HaveSecretMarkers()) {
        std::thread(MakeMarkers).join(); // its leftovers stay on its own stack
    }
    int code = -1;
    const std::string left =
        ciphra::test::SecretsLeftBehind([&] { code = ciphra::cli::RunCli(args, io); });
    ASSERT_EQ(code, 0) << err.str();
    EXPECT_EQ(left, "");
}

INSTANTIATE_TEST_SUITE_P(
    Cli, SecretsInMemoryTest,
    ::testing::Values(
        Operation{"EncryptWithDigest", {"encrypt", "--password-file", "PW", "FILE"}, ""},
        Operation{"EncryptRawInPlace",
                  {"encrypt", "--in-place", "--raw-key", "--password-file", "PW", "FILE"},
                  ""},
        Operation{"DecryptWithDigest", {"decrypt", "--password-file", "PW", "FILE"}, ""},
        Operation{"TextEncrypt", {"text", "encrypt", "--password-file", "PW"}, "some text"},
        Operation{"TextDecrypt", {"text", "decrypt", "--password-file", "PW"}, "c29tZSB0ZXh0\n"},
        Operation{"Sfx", {"sfx", "--password-file", "PW", "--stub", CIPHRA_STUB_FILE, "FILE"}, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
