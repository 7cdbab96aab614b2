#include "core/jobs/file_hash.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "core/crypto/sha1.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

Digest DigestOfText(const std::string& text)
{
    Digest digest(Sha1DigestSize);
    Sha1OfText(text, digest.data());
    return digest;
}

std::string LowerHex(const Digest& digest)
{
    std::string hex = HexForm(digest).substr(2);
    for (char& c : hex) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return hex;
}

// The published SHA-256 examples, whole and fed in pieces; SHA-1 through the
// same interface gives the program's own SHA-1.
TEST(Hasher, GivesThePublishedDigests)
{
    const struct {
        HashAlgorithm Algorithm;
        std::string Message;
        const char* Hex;
    } cases[] = {
        {HashAlgorithm::Sha256, "",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {HashAlgorithm::Sha256, "abc",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {HashAlgorithm::Sha256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {HashAlgorithm::Sha256, std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {HashAlgorithm::Sha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message.substr(0, 8));
        for (const std::size_t piece : {c.Message.size() + 1, std::size_t(1), std::size_t(63)}) {
            Hasher hasher(c.Algorithm);
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.Message.data());
            for (std::size_t at = 0; at < c.Message.size(); at += piece) {
                hasher.Add(bytes + at, std::min(piece, c.Message.size() - at));
            }
            const Digest digest = hasher.Finish();
            EXPECT_EQ(digest.size(), DigestSize(c.Algorithm));
            EXPECT_EQ(LowerHex(digest), c.Hex);
        }
    }
}

TEST(HashAlgorithm, NamesReadBackInEitherSpelling)
{
    const struct {
        const char* Text;
        std::optional<HashAlgorithm> Algorithm;
    } cases[] = {
        {"sha1", HashAlgorithm::Sha1},
        {"SHA-1", HashAlgorithm::Sha1},
        {"Sha256", HashAlgorithm::Sha256},
        {"sha-256", HashAlgorithm::Sha256},
        {"sha", std::nullopt},
        {"sha2", std::nullopt},
        {"", std::nullopt},
        {"sha1 ", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AlgorithmFromText(c.Text), c.Algorithm) << c.Text;
    }
    EXPECT_EQ(AlgorithmOfSize(20), HashAlgorithm::Sha1);
    EXPECT_EQ(AlgorithmOfSize(32), HashAlgorithm::Sha256);
    EXPECT_EQ(AlgorithmOfSize(16), std::nullopt);
}

// Chunk edges must not change the digest; read-only files are hashed.
TEST(DigestOfFile, EqualsTheDigestOfTheBytes)
{
    const std::string contents[] = {"",
                                    "abc",
                                    PatternBytes(8191),
                                    PatternBytes(8192),
                                    PatternBytes(8193),
                                    PatternBytes(2 * 8192),
                                    std::string(3, '\0')};
    TempFolder folder;
    const std::string path = folder / "f";
    for (const std::string& content : contents) {
        SCOPED_TRACE(content.size());
        WriteBytes(path, content);
        fs::permissions(path, fs::perms::owner_read);
        const std::optional<Digest> digest = DigestOfFile(path);
        ASSERT_TRUE(digest.has_value());
        EXPECT_EQ(*digest, DigestOfText(content));
        Hasher whole(HashAlgorithm::Sha256);
        whole.Add(reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
        EXPECT_EQ(DigestOfFile(path, HashAlgorithm::Sha256), whole.Finish());
        fs::remove(path);
    }
    WriteBytes(path, "");
    EXPECT_EQ(HexForm(*DigestOfFile(path)), "0xDA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    EXPECT_EQ(HexForm(*DigestOfFile(path, HashAlgorithm::Sha256)),
              "0xE3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
}

// The SHA-1 report is the one the program always wrote; a SHA-256 report
// says so in its first line, which is as wide.
TEST(HashReport, FirstLineNamesTheAlgorithm)
{
    const std::string tail = "--- HASH of file%\r\nname\r\n--- date/time: now\r\n\r\n"
                             "- Begin block\r\n\r\n0x12\r\n\r\n- End block\r\n";
    EXPECT_EQ(HashReport(HashAlgorithm::Sha1, "name", "now", "0x12"),
              "--- Ciphra 2K v1.0.2 HASH using SHA-1 ------\r\n" + tail);
    EXPECT_EQ(HashReport(HashAlgorithm::Sha256, "name", "now", "0x12"),
              "--- Ciphra 2K v1.0.2 HASH using SHA-256 ----\r\n" + tail);
    EXPECT_EQ(ReportHeading(HashAlgorithm::Sha1).size(),
              ReportHeading(HashAlgorithm::Sha256).size());
}

TEST(DigestOfFile, WhatCannotBeOpenedGivesNothing)
{
    TempFolder folder;
    fs::create_directory(folder / "folder");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const struct {
        const char* Name;
        int Error;
    } cases[] = {{"missing", ENOENT}, {"folder", 0}, {"fifo", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        int error = -1;
        EXPECT_FALSE(DigestOfFile(folder / c.Name, HashAlgorithm::Sha256, &error).has_value());
        EXPECT_EQ(error, c.Error);
    }
    WriteBytes(folder / "locked", "x");
    fs::permissions(folder / "locked", fs::perms::none);
    {
        test::AsFolderOwner owner(folder.Path()); // root reads every file
        int error = 0;
        EXPECT_FALSE(DigestOfFile(folder / "locked", HashAlgorithm::Sha1, &error).has_value());
        EXPECT_EQ(error, EACCES);
    }
}

TEST(SaveHashReport, NeverReplacesAndTellsWhyItCouldNotCreate)
{
    TempFolder folder;
    WriteBytes(folder / "taken.hsh", "old");
    fs::create_directory(folder / "folder.hsh");
    fs::create_symlink(folder / "nowhere", folder / "dangling.hsh");
    const struct {
        std::string Name;
        ReportSave Outcome;
    } cases[] = {
        {"new.hsh", ReportSave::Saved},
        {"taken.hsh", ReportSave::Exists},
        {"folder.hsh", ReportSave::Exists},
        {"dangling.hsh", ReportSave::Exists},
        {"no/such/folder.hsh", ReportSave::CannotCreate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(SaveHashReport(folder / c.Name, "line\r\n"), c.Outcome);
    }
    EXPECT_EQ(ReadBytes(folder / "new.hsh"), "line\r\n");
    EXPECT_EQ(ReadBytes(folder / "taken.hsh"), "old");
    EXPECT_FALSE(fs::exists(folder / "nowhere"));
}

} // namespace
} // namespace ciphra
