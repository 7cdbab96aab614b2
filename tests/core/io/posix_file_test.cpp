#include "core/io/posix_file.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "core/io/path_names.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

TEST(IoErrorText, GivesTheGeneralErrorReportTexts)
{
    const struct {
        int Errnum;
        const char* Text;
    } cases[] = {
        {ENOENT, "File not found"}, {EACCES, "File access denied"}, {EPERM, "File access denied"},
        {ENOSPC, "Disk full"},      {EIO, "I/O error 5"},           {EISDIR, "I/O error 21"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IoErrorText(c.Errnum), c.Text) << c.Errnum;
        EXPECT_STREQ(FileError(c.Errnum).what(), c.Text);
        EXPECT_EQ(FileError(c.Errnum).ErrorNumber(), c.Errnum);
    }
}

TEST(FileOpen, FailuresCarryTheirErrorText)
{
    TempFolder folder;
    WriteBytes(folder / "present", "x");
    std::filesystem::create_directory(folder.Path() / "sub");
    const struct {
        std::string Path;
        OpenMode Mode;
        int Errnum;
    } cases[] = {
        {folder / "missing", OpenMode::ReadOnly, ENOENT},
        {folder / "missing", OpenMode::ReadWrite, ENOENT},
        {folder / "missing", OpenMode::Append, ENOENT},
        {folder / "nofolder/new", OpenMode::CreateTruncate, ENOENT},
        {folder / "present", OpenMode::CreateExclusive, EEXIST},
        // A folder is never a file, although Linux opens one read-only.
        {folder / "sub", OpenMode::ReadOnly, EISDIR},
        {folder / "sub", OpenMode::ReadWrite, EISDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        int error = 0;
        EXPECT_FALSE(File::TryOpen(c.Path, c.Mode, 0666, &error).has_value());
        EXPECT_EQ(error, c.Errnum);
        try {
            File::Open(c.Path, c.Mode);
            ADD_FAILURE() << "opened";
        } catch (const FileError& e) {
            EXPECT_EQ(e.ErrorNumber(), c.Errnum);
            EXPECT_EQ(e.what(), IoErrorText(c.Errnum));
        }
    }
}

TEST(FileOpen, UnreadableFileIsAccessDenied)
{
    TempFolder folder;
    WriteBytes(folder / "locked", "x");
    std::filesystem::permissions(folder.Path() / "locked", std::filesystem::perms::none);
    test::AsFolderOwner owner(folder.Path()); // root would read it all the same
    EXPECT_THROW(
        {
            try {
                File::Open(folder / "locked", OpenMode::ReadOnly);
            } catch (const FileError& e) {
                EXPECT_STREQ(e.what(), "File access denied");
                throw;
            }
        },
        FileError);
}

TEST(FileOpen, ModesPositionAndSizeAsDocumented)
{
    TempFolder folder;
    const std::string path = folder / "f";
    WriteBytes(path, "0123456789");

    File::Open(path, OpenMode::Append).WriteAll("AB", 2);
    EXPECT_EQ(ReadBytes(path), "0123456789AB");

    {
        File file = File::Open(path, OpenMode::ReadWrite);
        EXPECT_EQ(file.Position(), 0U);
        EXPECT_EQ(file.Size(), 12U);
        file.WriteAllAt("xy", 2, 4);
        char piece[3] = {};
        EXPECT_EQ(file.ReadAt(piece, 3, 3), 3U);
        EXPECT_EQ(std::string(piece, 3), "3xy");
        EXPECT_EQ(file.Position(), 0U) << "positioned forms leave the position alone";
        file.Seek(10);
        EXPECT_EQ(file.Read(piece, 3), 2U) << "fewer bytes only at the end";
        EXPECT_EQ(file.ReadAt(piece, 3, 20), 0U);
        file.Truncate(5);
        EXPECT_EQ(file.Size(), 5U);
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ(ReadBytes(path), "0123x");

    File::Open(path, OpenMode::CreateTruncate).Close();
    EXPECT_EQ(ReadBytes(path), "");
}

// Only regular files are opened for data: anything else is refused at once,
// without blocking on a FIFO or streaming a device forever.
TEST(OpenRegular, RefusesAnythingButARegularFile)
{
    TempFolder folder;
    WriteBytes(folder / "plain", "x");
    std::filesystem::create_symlink(folder / "plain", folder / "link");
    std::filesystem::create_symlink(folder / "nowhere", folder / "dangling");
    std::filesystem::create_directory(folder.Path() / "sub");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    const struct {
        std::string Path;
        int Errnum; // 0: opens
    } cases[] = {
        {folder / "plain", 0},
        {folder / "link", 0},
        {folder / "dangling", ENOENT},
        {folder / "sub", EISDIR},
        {folder / "fifo", NotRegularFile},
        {"/dev/zero", NotRegularFile},
        {"/dev/null", NotRegularFile},
        {folder / "missing", ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        for (const OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
            int error = 0;
            const std::optional<File> file = File::TryOpenRegular(c.Path, mode, &error);
            EXPECT_EQ(file.has_value(), c.Errnum == 0);
            EXPECT_EQ(error, c.Errnum);
        }
    }
    try {
        File::OpenRegular(folder / "fifo", OpenMode::ReadOnly);
        ADD_FAILURE() << "a FIFO was opened";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "not a regular file");
    }
    // Opened, it reads as usual (the non-blocking open is undone).
    File file = File::OpenRegular(folder / "plain", OpenMode::ReadOnly);
    char byte = 0;
    EXPECT_EQ(file.Read(&byte, 1), 1U);
}

// Two names are one file when device and inode match; one entry only when
// they name the same folder entry.
TEST(FileNames, IdentityEntriesAndKinds)
{
    TempFolder folder;
    WriteBytes(folder / "a", "x");
    std::filesystem::create_hard_link(folder / "a", folder / "hard");
    std::filesystem::create_symlink(folder / "a", folder / "soft");
    std::filesystem::create_directory(folder.Path() / "sub");
    std::filesystem::create_symlink(folder.Path(), folder / "sub/up");
    EXPECT_EQ(IdentityOf(folder / "a"), IdentityOf(folder / "hard"));
    EXPECT_EQ(IdentityOf(folder / "a"), IdentityOf(folder / "soft"));
    EXPECT_FALSE(IdentityOf(folder / "missing").has_value());
    EXPECT_TRUE(SameEntry(folder / "a", folder / "sub/up/a")); // the same folder, another path
    EXPECT_TRUE(SameEntry(folder / "a", folder / "sub/../a"));
    EXPECT_FALSE(SameEntry(folder / "a", folder / "hard"));
    EXPECT_FALSE(SameEntry(folder / "a", folder / "sub/a"));
    EXPECT_EQ(KindOfEntry(folder / "a"), EntryKind::Other);
    EXPECT_EQ(KindOfEntry(folder / "soft"), EntryKind::Other); // the link itself
    EXPECT_EQ(KindOfEntry(folder / "sub"), EntryKind::Folder);
    int error = -1;
    EXPECT_EQ(KindOfEntry(folder / "missing", &error), EntryKind::Missing);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(KindOfEntry(folder / "a/below", &error), EntryKind::Missing);
    EXPECT_EQ(error, ENOTDIR);
}

TEST(FileRead, ReadExactRefusesAShortFile)
{
    TempFolder folder;
    WriteBytes(folder / "short", "abc");
    File file = File::Open(folder / "short", OpenMode::ReadOnly);
    char buffer[4];
    try {
        file.ReadExact(buffer, 4);
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
}

// Pipes hand over what has arrived; Read must keep reading until it has the
// bytes asked for, or the writer has gone.
TEST(FileRead, RetriesShortReads)
{
    TempFolder folder;
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        std::ofstream out(fifo, std::ios::binary);
        for (int i = 0; i < 40; ++i) {
            out.write("abc", 3);
            out.flush();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    File file = File::Open(fifo, OpenMode::ReadOnly);
    char buffer[200];
    EXPECT_EQ(file.Read(buffer, 100), 100U);
    EXPECT_EQ(file.Read(buffer, 100), 20U);
    EXPECT_EQ(std::string(buffer, 3), "bca");
    writer.join();
}

// A format is told from the first bytes of a stream: Peek shows them, and
// the reads that follow still get every byte, from a pipe as from a file.
TEST(FilePeek, ShowsWhatTheNextReadsReturn)
{
    const std::string data = "age-encryption.org/v1\nand what follows";
    TempFolder folder;
    const std::string path = folder / "file";
    WriteBytes(path, data);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(ends[1]);
    File piped = File::Duplicate(ends[0]);
    ::close(ends[0]);
    File regular = File::Open(path, OpenMode::ReadOnly);
    regular.Seek(4);
    const struct {
        File* Source;
        std::size_t Start;
        bool Seekable;
    } cases[] = {{&piped, 0, false}, {&regular, 4, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Seekable ? "file" : "pipe");
        File& file = *c.Source;
        EXPECT_EQ(file.Seekable(), c.Seekable);
        EXPECT_EQ(file.Position(), c.Start) << "a pipe stands at 0";
        char buffer[100] = {};
        ASSERT_EQ(file.Peek(buffer, 3), 3U);
        EXPECT_EQ(std::string(buffer, 3), data.substr(c.Start, 3));
        ASSERT_EQ(file.Peek(buffer, 8), 8U) << "a longer peek reads on";
        EXPECT_EQ(std::string(buffer, 8), data.substr(c.Start, 8));
        ASSERT_EQ(file.Read(buffer, 2), 2U) << "a read shorter than the peek";
        EXPECT_EQ(std::string(buffer, 2), data.substr(c.Start, 2));
        const std::size_t rest = data.size() - c.Start - 2;
        EXPECT_EQ(file.Peek(buffer, sizeof buffer), rest) << "a peek past the end";
        ASSERT_EQ(file.Read(buffer, sizeof buffer), rest);
        EXPECT_EQ(std::string(buffer, rest), data.substr(c.Start + 2));
        EXPECT_EQ(file.Peek(buffer, 1), 0U);
    }
}

// A duplicate is a File of its own: closing it leaves the descriptor open.
TEST(FileDuplicate, LeavesTheOriginalOpen)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    File::Duplicate(ends[1]).Close();
    ASSERT_EQ(::write(ends[1], "x", 1), 1);
    ::close(ends[1]);
    File reader = File::Duplicate(ends[0]);
    ::close(ends[0]);
    char byte = 0;
    EXPECT_EQ(reader.Read(&byte, 1), 1U);
    EXPECT_EQ(byte, 'x');
    EXPECT_THROW(File::Duplicate(-1), FileError);
}

TEST(FileWrite, FullDeviceGivesDiskFull)
{
    std::optional<File> full = File::TryOpen("/dev/full", OpenMode::ReadWrite);
    if (!full) {
        GTEST_SKIP() << "no /dev/full";
    }
    const char bytes[16] = {};
    for (int positioned = 0; positioned < 2; ++positioned) {
        try {
            if (positioned != 0) {
                full->WriteAllAt(bytes, sizeof bytes, 0);
            } else {
                full->WriteAll(bytes, sizeof bytes);
            }
            ADD_FAILURE() << "no error";
        } catch (const FileError& e) {
            EXPECT_STREQ(e.what(), "Disk full");
        }
    }
}

TEST(RenameNoReplace, NeverReplacesAnExistingName)
{
    TempFolder folder;
    const std::string from = folder / "from";
    const std::string to = folder / "to";
    const struct {
        const char* Name;
        bool TargetExists;
        bool TargetIsDanglingLink;
        bool SourceExists;
        bool Renamed;
        int Errnum;
    } cases[] = {
        {"free name", false, false, true, true, 0},
        {"taken name", true, false, true, false, EEXIST},
        {"dangling link", false, true, true, false, EEXIST},
        {"missing source", false, false, false, false, ENOENT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove(from);
        std::filesystem::remove(to);
        if (c.SourceExists) {
            WriteBytes(from, "new");
        }
        if (c.TargetExists) {
            WriteBytes(to, "old");
        }
        if (c.TargetIsDanglingLink) {
            std::filesystem::create_symlink(folder / "nowhere", to);
        }
        int error = 0;
        EXPECT_EQ(RenameNoReplace(from, to, &error), c.Renamed);
        if (c.Renamed) {
            EXPECT_EQ(ReadBytes(to), "new");
            EXPECT_FALSE(PathExists(from));
        } else {
            EXPECT_EQ(error, c.Errnum);
            EXPECT_EQ(PathExists(from), c.SourceExists);
            if (c.TargetExists) {
                EXPECT_EQ(ReadBytes(to), "old");
            }
            EXPECT_EQ(std::filesystem::is_symlink(to), c.TargetIsDanglingLink);
        }
    }
}

TEST(MaskedPermissions, AppliesTheUmask)
{
    const mode_t old = ::umask(027);
    EXPECT_EQ(MaskedPermissions(0666), 0640U);
    EXPECT_EQ(MaskedPermissions(0755), 0750U);
    EXPECT_EQ(::umask(old), 027U) << "the umask is left as it was";
}

TEST(PathHelpers, SplitAndRenameAsTheFileListNamesThem)
{
    const struct {
        const char* Path;
        const char* Folder;
        const char* Name;
        const char* Decrypted;
    } cases[] = {
        {"a.txt.CPH", ".", "a.txt.CPH", "a.txt.dec"},
        {"noext", ".", "noext", "noext.dec"},
        {"/home/u/report.doc", "/home/u", "report.doc", "/home/u/report.dec"},
        {"dir.v1/noext", "dir.v1", "noext", "dir.v1/noext.dec"},
        {"/top", "/", "top", "/top.dec"},
        {"trailing.", ".", "trailing.", "trailing.dec"},
        {".hidden", ".", ".hidden", ".dec"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderOf(c.Path), c.Folder) << c.Path;
        EXPECT_EQ(NameOf(c.Path), c.Name) << c.Path;
        EXPECT_EQ(ReplaceExtension(c.Path, ".dec"), c.Decrypted) << c.Path;
    }
}

TEST(PathHelpers, NamePrefixNeverSplitsACharacter)
{
    const struct {
        std::string Name;
        std::size_t Limit;
        std::string Prefix;
    } cases[] = {
        {"abc", 5, "abc"},
        {"abcdef", 3, "abc"},
        {"a\xC3\xA9", 2, "a"}, // e-acute is two bytes
        {"a\xC3\xA9", 3, "a\xC3\xA9"},
        {"\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC"}, // euro signs, three bytes each
        {"\xF0\x9F\x94\x92x", 3, ""},                    // a four-byte character
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NamePrefix(c.Name, c.Limit), c.Prefix) << c.Name << " " << c.Limit;
    }
}

TEST(PathHelpers, ExistenceAndResolution)
{
    TempFolder folder;
    WriteBytes(folder / "file", "x");
    std::filesystem::create_symlink(folder / "file", folder / "link");
    std::filesystem::create_symlink(folder / "nowhere", folder / "dangling");
    EXPECT_TRUE(PathExists(folder / "dangling"));
    EXPECT_FALSE(PathExists(folder / "missing"));
    EXPECT_TRUE(IsDirectory(folder.Path().string()));
    EXPECT_FALSE(IsDirectory(folder / "file"));
    EXPECT_EQ(ResolvePath(folder / "link"),
              std::filesystem::canonical(folder.Path() / "file").string());
    EXPECT_THROW(ResolvePath(folder / "dangling"), FileError);
}

} // namespace
} // namespace ciphra
