// No copy of a secret stays behind in memory the tool owns once a command is
// over: every command runs in process, and then the stack below the caller
// and every heap block freed meanwhile are searched byte by byte for the
// password, its SHA-1 digest and the key schedules made from either.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "cli/password.h"
#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"
#include "core/crypto/wipe.h"
#include "core/jobs/age_file.h"
#include "core/jobs/age_keys.h"
#include "support/memory_search.h"
#include "support/test_files.h"

namespace {

using ciphra::test::AddSecretMarker;

constexpr char Password[] = "Zq8 marker password 91";
// The age format's example identity, for the commands that read identity files.
constexpr char Identity[] =
    "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX";
constexpr std::size_t IdentityDataAt = 16; // after "AGE-SECRET-KEY-1"

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
    AddSecretMarker("identity text", Identity + IdentityDataAt, 20);
    ciphra::age::Identity identity;
    ciphra::age::ParseIdentity(Identity, identity);
    AddSecretMarker("identity bytes", identity.Secret, 20);
}

class NoPrompt final : public ciphra::cli::PasswordPrompt {
public:
    void Ask(const char*, ciphra::cli::SecretText&) override { std::abort(); }
};

struct Operation {
    const char* Name;
    // "PW" and "FILE" stand for the scratch files; "AGEFILE" for FILE sealed
    // to the age format with the password beforehand (FILE itself then gone);
    // "KEY" for an identity file of Identity, "KEYFILE" for FILE sealed to it.
    std::vector<std::string> Args;
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
    if (std::find(op.Args.begin(), op.Args.end(), "AGEFILE") != op.Args.end()) {
        // Sealed with a small work factor: only the decrypting is looked at.
        ciphra::age::Keys keys;
        keys.Password = Password;
        keys.WorkFactor = 10;
        {
            ciphra::File in = ciphra::File::Open(file, ciphra::OpenMode::ReadOnly);
            ciphra::File out =
                ciphra::File::Open(file + ".age", ciphra::OpenMode::CreateExclusive, 0600);
            ciphra::age::EncryptStream(in, out, keys, nullptr);
        }
        std::filesystem::remove(file);
        std::replace(args.begin(), args.end(), std::string("AGEFILE"), file + ".age");
    }
    const std::string key = folder / "key.txt";
    ciphra::test::WriteBytes(key, "# a key file\n" + std::string(Identity) + "\n");
    std::replace(args.begin(), args.end(), std::string("KEY"), key);
    if (std::find(args.begin(), args.end(), "KEYFILE") != args.end()) {
        const std::string recipient = // of Identity
            "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73equnujwj";
        ASSERT_EQ(
            ciphra::cli::RunCli({"encrypt", "--format", "age", "--recipient", recipient, file}, io),
            0)
            << err.str();
        std::filesystem::remove(file);
        std::replace(args.begin(), args.end(), std::string("KEYFILE"), file + ".age");
    }

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
        Operation{"Sfx", {"sfx", "--password-file", "PW", "--stub", CIPHRA_STUB_FILE, "FILE"}, ""},
        Operation{
            "AgeEncrypt", {"encrypt", "--format", "age", "--password-file", "PW", "FILE"}, ""},
        Operation{"AgeDecrypt", {"decrypt", "--password-file", "PW", "AGEFILE"}, ""},
        Operation{"AgeDecryptWithIdentity", {"decrypt", "--identity", "KEY", "KEYFILE"}, ""}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
