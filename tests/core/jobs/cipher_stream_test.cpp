#include "core/jobs/cipher_stream.h"

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/crypto/sha1.h"
#include "core/error.h"
#include "core/jobs/key_material.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::FileSizeLimit;
using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// The encrypted file computed straight from its definition with single block
// encryptions: S = E(0^16); whole blocks CBC from S; of a k-byte tail, byte 0
// as it is and bytes 1..k-1 XOR bytes 1..k-1 of S.
std::string ExpectedCiphertext(std::string_view key, const std::string& plain)
{
    TwofishContext ctx;
    TwofishSetKey(ctx, key.data(), static_cast<std::int32_t>(key.size()), nullptr);
    std::uint8_t s[16] = {};
    TwofishEncryptBlock(ctx, s, s);
    std::string out = plain;
    std::uint8_t previous[16];
    std::memcpy(previous, s, 16);
    const std::size_t whole = plain.size() / 16 * 16;
    for (std::size_t offset = 0; offset < whole; offset += 16) {
        std::uint8_t block[16];
        for (int i = 0; i < 16; ++i) {
            block[i] = static_cast<std::uint8_t>(plain[offset + i]) ^ previous[i];
        }
        TwofishEncryptBlock(ctx, block, previous);
        std::memcpy(&out[offset], previous, 16);
    }
    for (std::size_t j = 1; whole + j < plain.size(); ++j) {
        out[whole + j] = static_cast<char>(out[whole + j] ^ s[j]);
    }
    TwofishWipe(ctx);
    return out;
}

enum class Way { ToSecondFile, InPlace };

// Runs one stream over the content of `path` and returns the result; the
// file itself is transformed when in place. With `sizeLimit` the stream runs
// under that file size limit.
std::string RunStream(const TempFolder& folder, std::string_view key, const std::string& input,
                      bool encrypt, Way way, StreamProgress* progress = nullptr,
                      std::optional<rlim_t> sizeLimit = std::nullopt)
{
    const std::string source = folder / "source";
    const std::string target = folder / "target";
    WriteBytes(source, input);
    TwofishContext ctx;
    PrepareCipherRun(ctx, key.data(), static_cast<std::int32_t>(key.size()));
    File in = File::Open(source, way == Way::InPlace ? OpenMode::ReadWrite : OpenMode::ReadOnly);
    std::optional<File> out;
    if (way == Way::ToSecondFile) {
        out = File::Open(target, OpenMode::CreateTruncate);
    }
    File& output = out ? *out : in;
    std::optional<FileSizeLimit> limit;
    if (sizeLimit) {
        limit.emplace(*sizeLimit);
    }
    if (encrypt) {
        EncryptStream(ctx, in, output, progress);
    } else {
        DecryptStream(ctx, in, output, progress);
    }
    TwofishWipe(ctx);
    in.Close();
    return ReadBytes(way == Way::InPlace ? source : target);
}

std::vector<std::size_t> StreamLengths()
{
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 100; ++n) {
        lengths.push_back(n);
    }
    // Around the old and the present chunk sizes and the second chunk's end:
    // tails of 0, 1, 15 bytes and a chunk short or long by a block.
    for (const std::size_t edge : {std::size_t{8192}, StreamChunkSize, 2 * StreamChunkSize}) {
        for (const std::size_t delta : {17, 16, 15, 1, 0}) {
            lengths.push_back(edge - delta);
            lengths.push_back(edge + delta);
        }
    }
    for (std::size_t k : {100, 511, 1024, 1025, 2048}) {
        lengths.push_back(16 * k - 1);
        lengths.push_back(16 * k);
        lengths.push_back(16 * k + 1);
    }
    lengths.push_back(3 * StreamChunkSize + 5);
    return lengths;
}

TEST(CipherStream, EveryLengthMatchesTheFormatAndRoundTrips)
{
    TempFolder folder;
    const std::string key = "stream key";
    for (const std::size_t length : StreamLengths()) {
        SCOPED_TRACE(length);
        const std::string plain = PatternBytes(length, static_cast<std::uint32_t>(length));
        const std::string expected = ExpectedCiphertext(key, plain);
        for (const Way way : {Way::ToSecondFile, Way::InPlace}) {
            const std::string cipher = RunStream(folder, key, plain, true, way);
            ASSERT_EQ(cipher, expected) << "way " << static_cast<int>(way);
            ASSERT_EQ(RunStream(folder, key, cipher, false, way), plain)
                << "way " << static_cast<int>(way);
        }
    }
}

// The cases worked out by hand from the definition, with S = E(0^16).
TEST(CipherStream, ExactBytesOfTheNamedCases)
{
    TempFolder folder;
    const std::string key = "0123456789abcdef0123";
    TwofishContext ctx;
    TwofishSetKey(ctx, key.data(), 20, nullptr);
    std::uint8_t s[16] = {};
    TwofishEncryptBlock(ctx, s, s);

    const std::string one = "Q";
    EXPECT_EQ(RunStream(folder, key, one, true, Way::ToSecondFile), one);
    EXPECT_EQ(RunStream(folder, key, one, false, Way::InPlace), one);

    const std::string five = "hello";
    std::string fiveOut = five;
    for (int j = 1; j < 5; ++j) {
        fiveOut[j] = static_cast<char>(five[j] ^ s[j]);
    }
    EXPECT_EQ(RunStream(folder, key, five, true, Way::ToSecondFile), fiveOut);

    const std::string sixteen = "sixteen bytes!!!";
    std::uint8_t block[16];
    for (int i = 0; i < 16; ++i) {
        block[i] = static_cast<std::uint8_t>(sixteen[i]) ^ s[i];
    }
    TwofishEncryptBlock(ctx, block, block);
    EXPECT_EQ(RunStream(folder, key, sixteen, true, Way::InPlace),
              std::string(reinterpret_cast<char*>(block), 16));

    // 8193 bytes: 512 chained blocks over the chunk boundary, then one plain byte.
    const std::string big = PatternBytes(8193, 7);
    const std::string bigOut = RunStream(folder, key, big, true, Way::ToSecondFile);
    EXPECT_EQ(bigOut.back(), big.back());
    std::uint8_t previous[16];
    std::memcpy(previous, s, 16);
    for (std::size_t offset = 0; offset < 8192; offset += 16) {
        for (int i = 0; i < 16; ++i) {
            block[i] = static_cast<std::uint8_t>(big[offset + i]) ^ previous[i];
        }
        TwofishEncryptBlock(ctx, block, previous);
        ASSERT_EQ(std::memcmp(&bigOut[offset], previous, 16), 0) << offset;
    }
    TwofishWipe(ctx);
}

TEST(CipherStream, EqualTailsGiveEqualEncryptedTails)
{
    TempFolder folder;
    const std::string key = "tails";
    const std::string tail = "ABCDEFGHIJK"; // 11 bytes: k = 11 for both lengths
    const std::string first = PatternBytes(32, 1) + tail;
    const std::string second = PatternBytes(8192 + 48, 2) + tail;
    const std::string a = RunStream(folder, key, first, true, Way::ToSecondFile);
    const std::string b = RunStream(folder, key, second, true, Way::ToSecondFile);
    EXPECT_EQ(a.substr(a.size() - tail.size()), b.substr(b.size() - tail.size()));
    EXPECT_NE(a.substr(a.size() - tail.size()), tail);
}

TEST(CipherStream, OtherKeyMaterialDecryptsToOtherBytesWithoutError)
{
    TempFolder folder;
    const std::string password = "right password";
    const std::string plain = PatternBytes(1000, 3);
    KeyMaterial digest;
    MakeKeyMaterial(password, true, digest);
    const std::string_view digestKey(reinterpret_cast<const char*>(digest.Bytes), 20);
    const std::string cipher = RunStream(folder, digestKey, plain, true, Way::ToSecondFile);

    const std::string_view wrongKeys[] = {"wrong password", password}; // other text; other form
    for (const std::string_view wrong : wrongKeys) {
        SCOPED_TRACE(wrong);
        std::string result;
        ASSERT_NO_THROW(result = RunStream(folder, wrong, cipher, false, Way::ToSecondFile));
        EXPECT_EQ(result.size(), plain.size());
        EXPECT_NE(result, plain);
    }
    EXPECT_EQ(RunStream(folder, digestKey, cipher, false, Way::InPlace), plain);
}

TEST(CipherStream, KeyLengthIsCheckedBeforeAnyFileWork)
{
    const char key[40] = {};
    const struct {
        std::int32_t Length;
        bool Accepted;
    } cases[] = {{-1, false}, {0, false}, {1, true},  {16, true},
                 {17, true},  {32, true}, {33, false}};
    for (const auto& c : cases) {
        TwofishContext ctx;
        if (c.Accepted) {
            EXPECT_NO_THROW(PrepareCipherRun(ctx, key, c.Length)) << c.Length;
            TwofishWipe(ctx);
        } else {
            try {
                PrepareCipherRun(ctx, key, c.Length);
                ADD_FAILURE() << c.Length << " accepted";
            } catch (const Exception& e) {
                EXPECT_STREQ(e.what(), TwofishKeyLengthMessage());
            }
        }
    }
}

class RecordingProgress final : public StreamProgress {
public:
    std::vector<std::pair<std::uint64_t, std::uint64_t>> Calls;
    std::size_t FailAfter = SIZE_MAX;

    void BytesDone(std::uint64_t done, std::uint64_t total) override
    {
        Calls.emplace_back(done, total);
        if (Calls.size() == FailAfter) {
            throw std::runtime_error("stopped");
        }
    }
};

TEST(CipherStream, ReportsProgressOncePerChunk)
{
    TempFolder folder;
    const struct {
        std::size_t Length;
        std::vector<std::uint64_t> Done;
    } cases[] = {
        {0, {}},
        {100, {100}},
        {StreamChunkSize, {StreamChunkSize}},
        {2 * StreamChunkSize + 1000,
         {StreamChunkSize, 2 * StreamChunkSize, 2 * StreamChunkSize + 1000}},
    };
    for (const auto& c : cases) {
        RecordingProgress progress;
        RunStream(folder, "k", PatternBytes(c.Length), true, Way::ToSecondFile, &progress);
        ASSERT_EQ(progress.Calls.size(), c.Done.size()) << c.Length;
        for (std::size_t i = 0; i < c.Done.size(); ++i) {
            EXPECT_EQ(progress.Calls[i].first, c.Done[i]);
            EXPECT_EQ(progress.Calls[i].second, c.Length);
        }
    }
}

// A stream that stops part way, while the next chunk is already read and
// ciphered, leaves exactly the chunks before the stop: in place the rest of
// the file is unchanged, beside it the output ends there. A stop is a
// progress report that throws after chunk `Chunks`, or a write that fails at
// the start of chunk `Chunks` (a file size limit) with the file layer's text.
TEST(CipherStream, AStopPartWayLeavesExactlyTheChunksBeforeIt)
{
    enum class Stop { Progress, WriteFails };
    const struct {
        Stop How;
        std::size_t Chunks;
        bool Encrypt;
        Way Where;
    } cases[] = {
        {Stop::Progress, 1, true, Way::InPlace},    {Stop::Progress, 2, true, Way::ToSecondFile},
        {Stop::Progress, 3, false, Way::InPlace},   {Stop::Progress, 1, false, Way::ToSecondFile},
        {Stop::WriteFails, 1, true, Way::InPlace},  {Stop::WriteFails, 3, true, Way::ToSecondFile},
        {Stop::WriteFails, 2, false, Way::InPlace}, {Stop::WriteFails, 1, false, Way::ToSecondFile},
        {Stop::WriteFails, 0, false, Way::InPlace}, {Stop::WriteFails, 4, true, Way::InPlace},
    };
    TempFolder folder;
    const std::string key = "partial";
    const std::string plain = PatternBytes(4 * StreamChunkSize + 7, 9);
    const std::string cipher = ExpectedCiphertext(key, plain);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "stop " << static_cast<int>(c.How) << " after " << c.Chunks << " encrypt "
                     << c.Encrypt << " way " << static_cast<int>(c.Where));
        const std::string& input = c.Encrypt ? plain : cipher;
        const std::string& output = c.Encrypt ? cipher : plain;
        const std::size_t kept = c.Chunks * StreamChunkSize;
        RecordingProgress progress;
        if (c.How == Stop::Progress) {
            progress.FailAfter = c.Chunks;
            EXPECT_THROW(RunStream(folder, key, input, c.Encrypt, c.Where, &progress),
                         std::runtime_error);
        } else {
            try {
                RunStream(folder, key, input, c.Encrypt, c.Where, &progress, kept);
                ADD_FAILURE() << "no error";
            } catch (const FileError& e) {
                EXPECT_STREQ(e.what(), "I/O error 27");
            }
            EXPECT_EQ(progress.Calls.size(), c.Chunks);
        }
        const std::string result =
            ReadBytes(folder / (c.Where == Way::InPlace ? "source" : "target"));
        ASSERT_EQ(result.size(), c.Where == Way::InPlace ? input.size() : kept);
        EXPECT_TRUE(result.substr(0, kept) == output.substr(0, kept));
        EXPECT_TRUE(result.substr(kept) == input.substr(kept).substr(0, result.size() - kept));
    }
}

// Progress of a run longer than the two buffers arrives once per chunk, in
// file order, on the calling thread (windows draw it there).
TEST(CipherStream, ProgressOfALongRunArrivesInOrderOnTheCallingThread)
{
    class ThreadProgress final : public StreamProgress {
    public:
        std::thread::id Caller = std::this_thread::get_id();
        std::vector<std::uint64_t> Done;
        bool OtherThread = false;
        void BytesDone(std::uint64_t done, std::uint64_t) override
        {
            OtherThread = OtherThread || std::this_thread::get_id() != Caller;
            Done.push_back(done);
        }
    };
    TempFolder folder;
    const std::size_t length = 5 * StreamChunkSize + 3;
    for (const bool encrypt : {true, false}) {
        ThreadProgress progress;
        RunStream(folder, "k", PatternBytes(length), encrypt, Way::InPlace, &progress);
        EXPECT_FALSE(progress.OtherThread);
        ASSERT_EQ(progress.Done.size(), 6U);
        for (std::size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(progress.Done[i], (i + 1) * StreamChunkSize);
        }
        EXPECT_EQ(progress.Done.back(), length);
    }
}

// A bad sector part way through the input, while the chunk before it is
// being written: the output holds exactly the chunks before the failing read
// and the error is the file layer's. Runs only with the fault library
// preloaded (a CTest of its own), which fails reads of files named
// "source" from CIPHRA_FAULT_READ_FROM on.
TEST(CipherStreamFault, AReadErrorLeavesExactlyTheChunksBeforeIt)
{
    if (std::getenv("CIPHRA_STREAM_FAULTS") == nullptr) {
        GTEST_SKIP() << "needs the fault library preloaded";
    }
    TempFolder folder;
    const std::string key = "bad sector";
    const std::string plain = PatternBytes(4 * StreamChunkSize + 7, 11);
    const std::string cipher = ExpectedCiphertext(key, plain);
    const std::size_t badFrom[] = {0,
                                   1,
                                   StreamChunkSize - 1,
                                   StreamChunkSize,
                                   StreamChunkSize + 1,
                                   2 * StreamChunkSize + 100,
                                   4 * StreamChunkSize,
                                   4 * StreamChunkSize + 3};
    for (const std::size_t bad : badFrom) {
        ::setenv("CIPHRA_FAULT_READ_FROM", std::to_string(bad).c_str(), 1);
        const std::size_t kept = bad / StreamChunkSize * StreamChunkSize;
        for (const bool encrypt : {true, false}) {
            for (const Way way : {Way::InPlace, Way::ToSecondFile}) {
                SCOPED_TRACE(testing::Message() << "bad from " << bad << " encrypt " << encrypt
                                                << " way " << static_cast<int>(way));
                const std::string& input = encrypt ? plain : cipher;
                const std::string& output = encrypt ? cipher : plain;
                RecordingProgress progress;
                try {
                    RunStream(folder, key, input, encrypt, way, &progress);
                    ADD_FAILURE() << "no error";
                } catch (const FileError& e) {
                    EXPECT_STREQ(e.what(), "I/O error 5");
                }
                EXPECT_EQ(progress.Calls.size(), kept / StreamChunkSize);
                ::unsetenv("CIPHRA_FAULT_READ_FROM"); // the result is read back whole
                const std::string result =
                    ReadBytes(folder / (way == Way::InPlace ? "source" : "target"));
                ::setenv("CIPHRA_FAULT_READ_FROM", std::to_string(bad).c_str(), 1);
                ASSERT_EQ(result.size(), way == Way::InPlace ? input.size() : kept);
                EXPECT_TRUE(result.substr(0, kept) == output.substr(0, kept));
                if (way == Way::InPlace) {
                    EXPECT_TRUE(result.substr(kept) == input.substr(kept));
                }
            }
        }
    }
}

TEST(CipherStream, StartsAtTheInputsPositionAndWritesAtTheSameOffsets)
{
    TempFolder folder;
    const std::string key = "offset";
    const std::string head = "0123456789abcdef";
    const std::string body = PatternBytes(40, 4);
    WriteBytes(folder / "f", head + body);
    TwofishContext ctx;
    PrepareCipherRun(ctx, key.data(), static_cast<std::int32_t>(key.size()));
    File file = File::Open(folder / "f", OpenMode::ReadWrite);
    file.Seek(head.size());
    EncryptStream(ctx, file, file);
    TwofishWipe(ctx);
    file.Close();
    EXPECT_EQ(ReadBytes(folder / "f"), head + ExpectedCiphertext(key, body));
}

TEST(CipherStream, WriteErrorsReachTheCaller)
{
    TempFolder folder;
    WriteBytes(folder / "source", PatternBytes(100));
    std::optional<File> full = File::TryOpen("/dev/full", OpenMode::ReadWrite);
    if (!full) {
        GTEST_SKIP() << "no /dev/full";
    }
    TwofishContext ctx;
    PrepareCipherRun(ctx, "k", 1);
    File in = File::Open(folder / "source", OpenMode::ReadOnly);
    try {
        EncryptStream(ctx, in, *full);
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Disk full");
    }
    TwofishWipe(ctx);
}

} // namespace
} // namespace ciphra
