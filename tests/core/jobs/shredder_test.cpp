#include "core/jobs/shredder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"
#include "core/io/posix_file.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/fill_ahead.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr const char* FixedClock = "08/12/2026 10:15:42";

// What the cipher overwrite must leave over a file of 0xFF bytes, written out
// from its definition with single-block encryption: the key is the SHA-1 of
// path + clock text, S = E_K(0^16) starts a CBC chain over the whole blocks,
// and of a k-byte tail byte 0 stays while bytes 1..k-1 are XORed with S.
std::string ExpectedCipherOverOnes(const std::string& keyText, std::size_t length)
{
    std::uint8_t key[Sha1DigestSize];
    Sha1OfText(keyText, key);
    TwofishContext ctx;
    TwofishSetKey(ctx, key, static_cast<std::int32_t>(Sha1DigestSize), nullptr);
    std::uint8_t s[16] = {};
    TwofishEncryptBlock(ctx, s, s);
    std::string out(length, '\xFF');
    std::uint8_t chain[16];
    std::memcpy(chain, s, 16);
    std::size_t at = 0;
    for (; at + 16 <= length; at += 16) {
        std::uint8_t block[16];
        for (int i = 0; i < 16; ++i) {
            block[i] = static_cast<std::uint8_t>(0xFF ^ chain[i]);
        }
        TwofishEncryptBlock(ctx, block, chain);
        std::memcpy(out.data() + at, chain, 16);
    }
    for (std::size_t j = 1; at + j < length; ++j) {
        out[at + j] = static_cast<char>(0xFF ^ s[j]);
    }
    return out;
}

// Records what a wipe reports and the file's bytes after every overwrite.
struct Recorder : WipeObserver {
    struct Step {
        int Pass;
        Overwrite Which;
        std::string WorkingPath;
        std::string Bytes;
    };
    std::string StartedName;
    int StartedPasses = 0;
    std::vector<int> Passes;
    std::vector<Step> Steps;
    std::vector<WipeOutcome> Ended;
    std::function<void(const Step&)> AfterStep;

    void WipeStarted(const std::string& fileName, int passes) override
    {
        StartedName = fileName;
        StartedPasses = passes;
    }
    void PassStarted(int pass) override { Passes.push_back(pass); }
    void OverwriteDone(int pass, Overwrite which, const std::string& workingPath) override
    {
        Steps.push_back({pass, which, workingPath, ReadBytes(workingPath)});
        if (AfterStep) {
            AfterStep(Steps.back());
        }
    }
    void WipeEnded(WipeOutcome outcome) override { Ended.push_back(outcome); }
};

ClockText Fixed(std::string text)
{
    return [text] { return text; };
}

// Names only: a snapshot would block reading the FIFO.
std::vector<std::string> Listing(const TempFolder& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path())) {
        names.push_back(entry.path().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TemporaryIn(const TempFolder& folder)
{
    return folder / WipeTemporaryName;
}

TEST(WipeTemporaryName, Is55LettersAFullStopAnd7Letters)
{
    const std::string name = WipeTemporaryName;
    EXPECT_EQ(name, std::string(55, 'a') + "." + std::string(7, 'a'));
}

// Sizes around the block, chunk and segment edges, checked byte by byte while
// the file is still there. The zeros and the ones are reported together once
// both are flushed: within one segment the file then holds the ones; beyond
// it, the cipher overwrite has begun on the first segments (the order of
// the writes is checked in shred_flush_test.cpp). The cipher overwrite over
// more than one segment shows that it read only ones.
TEST(WipeFile, OverwritesZerosOnesThenCipherAndDeletes)
{
    const std::size_t sizes[] = {0,
                                 1,
                                 15,
                                 16,
                                 17,
                                 8192,
                                 16384,
                                 8192 + 5,
                                 3 * 8192 + 33,
                                 StreamChunkSize - 1,
                                 StreamChunkSize,
                                 2 * StreamChunkSize + 33,
                                 2 * FillAhead::SegmentSize + 33};
    for (const int passes : {1, 3}) {
        for (const std::size_t size : sizes) {
            SCOPED_TRACE("size " + std::to_string(size) + ", passes " + std::to_string(passes));
            TempFolder folder;
            const std::string path = folder / "victim.doc";
            WriteBytes(path, PatternBytes(size, static_cast<std::uint32_t>(size)));
            Recorder recorder;

            EXPECT_EQ(WipeFile(path, passes, Fixed(FixedClock), &recorder), WipeOutcome::Succeeded);

            EXPECT_EQ(recorder.StartedName, "victim.doc");
            EXPECT_EQ(recorder.StartedPasses, passes);
            ASSERT_EQ(recorder.Steps.size(), static_cast<std::size_t>(3 * passes));
            const std::string cipher = ExpectedCipherOverOnes(path + FixedClock, size);
            for (std::size_t i = 0; i < recorder.Steps.size(); ++i) {
                const Recorder::Step& step = recorder.Steps[i];
                EXPECT_EQ(step.Pass, static_cast<int>(i / 3) + 1);
                EXPECT_EQ(step.Which, static_cast<Overwrite>(i % 3));
                EXPECT_EQ(step.WorkingPath, TemporaryIn(folder));
                if (step.Which == Overwrite::Cipher) {
                    EXPECT_EQ(step.Bytes, cipher) << "overwrite " << i;
                } else if (size <= FillAhead::SegmentSize) {
                    EXPECT_EQ(step.Bytes, std::string(size, '\xFF')) << "overwrite " << i;
                }
            }
            std::vector<int> expectedPasses;
            for (int p = 1; p <= passes; ++p) {
                expectedPasses.push_back(p);
            }
            EXPECT_EQ(recorder.Passes, expectedPasses);
            EXPECT_EQ(recorder.Ended, std::vector<WipeOutcome>{WipeOutcome::Succeeded});
            EXPECT_TRUE(fs::is_empty(folder.Path())) << "the file and the temporary name are gone";
        }
    }
}

TEST(WipeFile, ShortFileKeepsFirstByteOnesUnderTheCipher)
{
    TempFolder folder;
    const std::string path = folder / "short";
    WriteBytes(path, "secret");
    Recorder recorder;
    ASSERT_EQ(WipeFile(path, 1, Fixed(FixedClock), &recorder), WipeOutcome::Succeeded);
    const std::string& last = recorder.Steps.back().Bytes;
    ASSERT_EQ(last.size(), 6U);
    EXPECT_EQ(static_cast<std::uint8_t>(last[0]), 0xFF);
    EXPECT_NE(last, std::string(6, '\xFF'));
}

// The key comes from the path as given and the clock text of each pass.
TEST(WipeFile, CipherPatternFollowsTheClockText)
{
    TempFolder folder;
    const std::string path = folder / "f";
    const struct {
        std::vector<std::string> Clocks;
        bool SamePattern;
    } cases[] = {
        {{"1/1/2026 9:00:00", "1/1/2026 9:00:00"}, true},
        {{"1/1/2026 9:00:00", "1/1/2026 9:00:01"}, false},
    };
    for (const auto& c : cases) {
        WriteBytes(path, PatternBytes(100));
        std::size_t call = 0;
        Recorder recorder;
        ASSERT_EQ(WipeFile(
                      path, 2, [&] { return c.Clocks[call++]; }, &recorder),
                  WipeOutcome::Succeeded);
        EXPECT_EQ(call, 2U);
        EXPECT_EQ(recorder.Steps[2].Bytes == recorder.Steps[5].Bytes, c.SamePattern);
        EXPECT_EQ(recorder.Steps[5].Bytes, ExpectedCipherOverOnes(path + c.Clocks[1], 100));
    }
}

TEST(WipeFile, TakenTemporaryNameWipesUnderTheOwnNameAndKeepsTheOther)
{
    TempFolder folder;
    const std::string path = folder / "mine.txt";
    WriteBytes(path, PatternBytes(40));
    WriteBytes(TemporaryIn(folder), "someone else's");
    Recorder recorder;

    ASSERT_EQ(WipeFile(path, 3, Fixed(FixedClock), &recorder), WipeOutcome::Succeeded);

    for (const Recorder::Step& step : recorder.Steps) {
        EXPECT_EQ(step.WorkingPath, path);
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ReadBytes(TemporaryIn(folder)), "someone else's");
}

// Entries that are not regular files are refused before anything is renamed;
// a link's target is not wiped through it.
TEST(WipeFile, NonFilesAreRefusedUntouched)
{
    TempFolder folder;
    fs::create_directory(folder / "folder");
    WriteBytes(folder / "folder/inside", "kept");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    fs::create_symlink(folder / "nowhere", folder / "dangling");
    WriteBytes(folder / "target", "kept too");
    fs::create_symlink(folder / "target", folder / "link");
    for (const char* name : {"folder", "fifo", "dangling", "link", "missing"}) {
        SCOPED_TRACE(name);
        const std::vector<std::string> before = Listing(folder);
        Recorder recorder;
        EXPECT_EQ(WipeFile(folder / name, 3, Fixed(FixedClock), &recorder),
                  WipeOutcome::OpenFailed);
        EXPECT_TRUE(recorder.Steps.empty());
        EXPECT_EQ(recorder.Ended, std::vector<WipeOutcome>{WipeOutcome::OpenFailed});
        EXPECT_EQ(Listing(folder), before);
        EXPECT_EQ(ReadBytes(folder / "folder/inside"), "kept");
        EXPECT_EQ(ReadBytes(folder / "target"), "kept too");
    }
}

// A pass that cannot open the file stops the wipe: the file is not deleted
// and gets its own name back.
TEST(WipeFile, OpenFailureLaterKeepsTheFileUnderItsOwnName)
{
    TempFolder folder;
    const std::string path = folder / "f";
    const std::string held = folder / "held";
    WriteBytes(path, PatternBytes(100));
    Recorder recorder;
    // After the first pass the working name is taken by a folder, which no
    // pass can open; the file itself is put aside to see that it survives.
    recorder.AfterStep = [&](const Recorder::Step& step) {
        if (step.Which == Overwrite::Cipher) {
            fs::rename(step.WorkingPath, held);
            fs::create_directory(step.WorkingPath);
        }
    };
    EXPECT_EQ(WipeFile(path, 3, Fixed(FixedClock), &recorder), WipeOutcome::OpenFailed);
    EXPECT_EQ(recorder.Passes, std::vector<int>{1});
    EXPECT_TRUE(fs::is_directory(path)) << "what the working name held is back under the path";
    EXPECT_FALSE(fs::exists(TemporaryIn(folder)));
    EXPECT_EQ(ReadBytes(held).size(), 100U);
}

TEST(WipeFile, UnwritableFileIsNeitherOverwrittenNorDeleted)
{
    TempFolder folder;
    const std::string path = folder / "readonly";
    const std::string content = PatternBytes(50);
    WriteBytes(path, content);
    fs::permissions(path, fs::perms::owner_read);
    Recorder recorder;
    {
        test::AsFolderOwner owner(folder.Path()); // root opens every file for writing
        EXPECT_EQ(WipeFile(path, 3, Fixed(FixedClock), &recorder), WipeOutcome::OpenFailed);
    }
    EXPECT_EQ(ReadBytes(path), content);
    EXPECT_FALSE(fs::exists(TemporaryIn(folder)));
}

TEST(WipeFile, ReadOnlyFileIsWipedOnceOwnerWriteIsAllowed)
{
    TempFolder folder;
    const std::string path = folder / "readonly";
    WriteBytes(path, PatternBytes(50));
    fs::permissions(path, fs::perms::owner_read);
    AllowOwnerWrite(path);
    EXPECT_NE(fs::status(path).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(WipeFile(path, 3, Fixed(FixedClock)), WipeOutcome::Succeeded);
    EXPECT_TRUE(fs::is_empty(folder.Path()));

    fs::create_directory(folder / "dir");
    fs::permissions(folder / "dir", fs::perms::owner_read | fs::perms::owner_exec);
    AllowOwnerWrite(folder / "dir");
    EXPECT_EQ(fs::status(folder / "dir").permissions() & fs::perms::owner_write, fs::perms::none);
    fs::permissions(folder / "dir", fs::perms::owner_all);
}

// A failure in the middle of a wipe leaves the file on disk, partly
// overwritten, under the name it was worked on.
TEST(WipeFile, FailureMidwayNeverDeletes)
{
    TempFolder folder;
    const std::string path = folder / "f";
    WriteBytes(path, PatternBytes(100));
    Recorder recorder;
    recorder.AfterStep = [](const Recorder::Step& step) {
        if (step.Pass == 2 && step.Which == Overwrite::Ones) {
            throw FileError(ENOSPC);
        }
    };
    EXPECT_THROW(WipeFile(path, 3, Fixed(FixedClock), &recorder), FileError);
    EXPECT_EQ(ReadBytes(TemporaryIn(folder)), std::string(100, '\xFF'));
    EXPECT_FALSE(fs::exists(path));
}

TEST(WipeFile, NoPassesIsRefusedBeforeTouchingTheFile)
{
    TempFolder folder;
    const std::string path = folder / "f";
    WriteBytes(path, "data");
    for (const int passes : {0, -1}) {
        EXPECT_THROW(WipeFile(path, passes, Fixed(FixedClock)), Exception);
        EXPECT_EQ(ReadBytes(path), "data");
    }
}

} // namespace
} // namespace ciphra
