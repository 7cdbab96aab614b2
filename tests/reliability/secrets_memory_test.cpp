// No copy of a secret stays behind in memory the tool owns once a command is
// over: every command runs in process, and then the stack below the caller
// and every heap block freed meanwhile are searched byte by byte for the
// password, its SHA-1 digest and the key schedules made from either.

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <malloc.h>
#include <new>
#include <sstream>
#include <thread>

#include "cli/cli.h"
#include "cli/password.h"
#include "crypto/base64.h"
#include "crypto/sha1.h"
#include "crypto/twofish.h"
#include "crypto/wipe.h"
#include "fileenc/test_files.h"

namespace {

constexpr char Password[] = "Zq8 marker password 91";
constexpr std::size_t StackSpan = 256 * 1024;

struct Marker {
    const char* Name;
    unsigned char Bytes[20];
    std::size_t Size;
};

// Kept in static storage: neither on the stack nor on the heap searched.
Marker markers[6];
std::size_t markerCount = 0;
std::atomic<bool> searchingFreedBlocks{false};
std::atomic<int> freedBlockHit{-1};

// The first marker found in `area` and where (at *offset), or -1.
__attribute__((no_sanitize("address"))) int FindMarker(const unsigned char* area, std::size_t size,
                                                       std::size_t* offset = nullptr)
{
    for (std::size_t m = 0; m < markerCount; ++m) {
        const Marker& marker = markers[m];
        for (std::size_t i = 0; i + marker.Size <= size; ++i) {
            std::size_t j = 0;
            while (j < marker.Size && area[i + j] == marker.Bytes[j]) {
                ++j;
            }
            if (j == marker.Size) {
                if (offset != nullptr) {
                    *offset = i;
                }
                return static_cast<int>(m);
            }
        }
    }
    return -1;
}

void AddMarker(const char* name, const void* bytes, std::size_t size)
{
    Marker& marker = markers[markerCount++];
    marker.Name = name;
    marker.Size = std::min(size, sizeof marker.Bytes);
    std::memcpy(marker.Bytes, bytes, marker.Size);
}

__attribute__((noinline)) void MakeMarkers()
{
    if (markerCount > 0) {
        return;
    }
    const std::size_t length = sizeof Password - 1;
    AddMarker("password", Password, length);
    std::uint8_t digest[ciphra::Sha1DigestSize];
    ciphra::Sha1OfText(Password, digest);
    AddMarker("digest of the password", digest, sizeof digest);
    ciphra::TTwofishContext ctx;
    ciphra::TwofishSetKey(ctx, digest, sizeof digest, nullptr);
    AddMarker("round keys from the digest", ctx.RoundKeys, 16);
    AddMarker("keyed S-boxes from the digest", ctx.KeyedSBoxes + 100, 16);
    ciphra::TwofishSetKey(ctx, Password, static_cast<std::int32_t>(length), nullptr);
    AddMarker("round keys from the password", ctx.RoundKeys, 16);
    AddMarker("keyed S-boxes from the password", ctx.KeyedSBoxes + 100, 16);
    ciphra::TwofishWipe(ctx);
    ciphra::SecureWipeObject(digest);
}

// Zeroes the stack below the caller, so that what is found there afterwards
// was left by the command.
__attribute__((noinline)) void ClearStackBelow()
{
    unsigned char area[StackSpan];
    ciphra::SecureWipe(area, sizeof area);
}

// Searches the stack below the caller; *depth tells how far down a find is.
__attribute__((noinline, no_sanitize("address"))) int StackHit(std::size_t* depth)
{
    const auto* top = static_cast<const unsigned char*>(__builtin_frame_address(0));
    std::size_t offset = 0;
    const int hit = FindMarker(top - StackSpan, StackSpan, &offset);
    *depth = StackSpan - offset;
    return hit;
}

class NoPrompt final : public ciphra::cli::PasswordPrompt {
public:
    void Ask(ciphra::cli::SecretText&) override { std::abort(); }
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

    std::thread(MakeMarkers).join(); // its leftovers stay on its own stack
    ClearStackBelow();
    searchingFreedBlocks = true;
    const int code = ciphra::cli::RunCli(args, io);
    searchingFreedBlocks = false;
    std::size_t depth = 0;
    const int onStack = StackHit(&depth);

    ASSERT_EQ(code, 0) << err.str();
    EXPECT_EQ(onStack, -1) << "on the stack, " << depth
                           << " bytes down: " << markers[onStack < 0 ? 0 : onStack].Name;
    const int freed = freedBlockHit.exchange(-1);
    EXPECT_EQ(freed, -1) << "in a freed block: " << markers[freed < 0 ? 0 : freed].Name;
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

// Every block freed while a command runs is searched before it goes back.
// (Out of line, so that the compiler does not pair malloc with delete.)
__attribute__((noinline)) void* AcquireBlock(std::size_t size)
{
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

__attribute__((noinline)) void ReleaseBlock(void* block) noexcept
{
    if (block != nullptr && searchingFreedBlocks) {
        const int hit =
            FindMarker(static_cast<const unsigned char*>(block), malloc_usable_size(block));
        if (hit >= 0) {
            freedBlockHit = hit;
        }
    }
    std::free(block);
}

} // namespace

void* operator new(std::size_t size)
{
    return AcquireBlock(size);
}

void* operator new[](std::size_t size)
{
    return AcquireBlock(size);
}

void operator delete(void* block) noexcept
{
    ReleaseBlock(block);
}

void operator delete[](void* block) noexcept
{
    ReleaseBlock(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    ReleaseBlock(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    ReleaseBlock(block);
}
