#include "core/jobs/file_hash.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

Sha1Digest DigestOfText(const std::string& text)
{
    Sha1Digest digest;
    Sha1OfText(text, digest.data());
    return digest;
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
        const std::optional<Sha1Digest> digest = DigestOfFile(path);
        ASSERT_TRUE(digest.has_value());
        EXPECT_EQ(*digest, DigestOfText(content));
        fs::remove(path);
    }
    WriteBytes(path, "");
    EXPECT_EQ(HexForm(*DigestOfFile(path)), "0xDA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
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
        EXPECT_FALSE(DigestOfFile(folder / c.Name, &error).has_value());
        EXPECT_EQ(error, c.Error);
    }
    WriteBytes(folder / "locked", "x");
    fs::permissions(folder / "locked", fs::perms::none);
    {
        test::AsFolderOwner owner(folder.Path()); // root reads every file
        int error = 0;
        EXPECT_FALSE(DigestOfFile(folder / "locked", &error).has_value());
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
