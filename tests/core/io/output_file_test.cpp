#include "core/io/output_file.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "core/io/path_names.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

std::string Write(OutputFile& output, const std::string& bytes)
{
    output.Handle().WriteAll(bytes.data(), bytes.size());
    return bytes;
}

TEST(OutputFile, AppearsUnderItsNameOnlyWhenComplete)
{
    TempFolder folder;
    const std::string final = folder / "result.bin";
    {
        OutputFile output(final);
        Write(output, "complete");
        const std::string working = output.WorkingPath();
        EXPECT_EQ(FolderOf(working), folder.Path().string());
        EXPECT_TRUE(NameOf(working).starts_with(".result.bin.")) << working;
        EXPECT_EQ(ModeOf(working), 0600U) << "owner-only while it is written";
        EXPECT_FALSE(fs::exists(final));
        output.Finish(0640);
        EXPECT_FALSE(fs::exists(final));
        EXPECT_TRUE(output.PublishNew());
    }
    EXPECT_EQ(ReadBytes(final), "complete");
    EXPECT_EQ(ModeOf(final), 0640U);
    EXPECT_EQ(Snapshot(folder.Path()).size(), 1U) << "no working file is left";
}

TEST(OutputFile, AnUnfinishedOutputLeavesNothing)
{
    TempFolder folder;
    {
        OutputFile output(folder / "result.bin");
        Write(output, "half");
    }
    {
        OutputFile output(folder / "result.bin");
        Write(output, "all");
        output.Finish(0600);
    }
    EXPECT_TRUE(Snapshot(folder.Path()).empty());
    EXPECT_THROW(OutputFile(folder / "missing/result.bin"), FileError);
}

// A name of up to 255 bytes can be written, whatever its characters: the
// working name is the final name shortened at a character boundary.
TEST(OutputFile, NamesUpToTheLongestAllowed)
{
    std::vector<std::string> names;
    for (std::size_t length = 235; length <= LongestName; ++length)
        names.push_back(std::string(length, 'n'));
    std::string accents;
    while (accents.size() + 2 <= LongestName)
        accents += "\xC3\xA9"; // U+00E9, two bytes
    names.push_back(accents);
    names.push_back("x" + accents.substr(0, 250) + "\xE2\x82\xAC"); // 255 bytes, a 3-byte end
    for (const std::string& name : names) {
        SCOPED_TRACE(name.size());
        TempFolder folder;
        OutputFile output(folder / name);
        const std::string working = NameOf(output.WorkingPath());
        EXPECT_LE(working.size(), LongestName);
        EXPECT_EQ(working.back() & 0x80, 0) << "random part of ASCII";
        Write(output, name);
        output.Finish(0600);
        ASSERT_TRUE(output.PublishNew());
        EXPECT_EQ(ReadBytes(folder / name), name);
    }
}

// Whatever has the name already stays as it is when the output may not
// replace it: a file, a link, a dangling link, a folder.
TEST(OutputFile, PublishNewNeverReplaces)
{
    for (const char* kind : {"file", "link", "dangling link", "folder"}) {
        SCOPED_TRACE(kind);
        TempFolder folder;
        const std::string final = folder / "out";
        WriteBytes(folder / "target", "target");
        if (std::string(kind) == "file")
            WriteBytes(final, "theirs");
        else if (std::string(kind) == "link")
            fs::create_symlink(folder / "target", final);
        else if (std::string(kind) == "dangling link")
            fs::create_symlink(folder / "nowhere", final);
        else
            fs::create_directory(final);
        const auto before = Snapshot(folder.Path());
        {
            OutputFile output(final);
            Write(output, "ours");
            output.Finish(0600);
            EXPECT_FALSE(output.PublishNew());
        }
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

// Replacing takes the name: what had it is never written through, whether
// it leads elsewhere or is another name of some file.
TEST(OutputFile, PublishReplacingTakesTheNameNotTheFile)
{
    for (const char* kind : {"file", "symbolic link", "hard link", "dangling link"}) {
        SCOPED_TRACE(kind);
        TempFolder folder;
        const std::string final = folder / "out";
        WriteBytes(folder / "victim", "victim's bytes");
        if (std::string(kind) == "file")
            WriteBytes(final, "old output");
        else if (std::string(kind) == "symbolic link")
            fs::create_symlink(folder / "victim", final);
        else if (std::string(kind) == "hard link")
            fs::create_hard_link(folder / "victim", final);
        else
            fs::create_symlink(folder / "nowhere", final);
        {
            OutputFile output(final);
            Write(output, "new output");
            output.Finish(0644);
            output.PublishReplacing();
        }
        EXPECT_FALSE(fs::is_symlink(final));
        EXPECT_EQ(ReadBytes(final), "new output");
        EXPECT_EQ(ReadBytes(folder / "victim"), "victim's bytes");
        EXPECT_EQ(fs::hard_link_count(folder / "victim"), 1U);
        EXPECT_FALSE(fs::exists(folder / "nowhere"));
        EXPECT_EQ(Snapshot(folder.Path()).size(), 2U);
    }
}

TEST(OutputFile, AnotherNameOrNoName)
{
    TempFolder folder;
    WriteBytes(folder / "out", "theirs");
    {
        OutputFile output(folder / "out");
        Write(output, "ours");
        output.Finish(0600);
        EXPECT_FALSE(output.PublishNew());
        EXPECT_TRUE(output.PublishNewAs("out (2)"));
    }
    std::string kept;
    {
        OutputFile output(folder / "out");
        Write(output, "kept");
        output.Finish(0600);
        kept = output.Release();
    }
    EXPECT_EQ(ReadBytes(folder / "out"), "theirs");
    EXPECT_EQ(ReadBytes(folder / "out (2)"), "ours");
    EXPECT_EQ(ReadBytes(kept), "kept");
    EXPECT_EQ(Snapshot(folder.Path()).size(), 3U);
}

// A new version of a file keeps its owner, group and extended attributes,
// access control lists included.
TEST(OutputFile, KeepsOwnerAndExtendedAttributes)
{
    TempFolder folder;
    const std::string original = folder / "original";
    WriteBytes(original, "old");
    const std::string attribute = "user.ciphra-test";
    if (::setxattr(original.c_str(), attribute.c_str(), "tag", 3, 0) != 0)
        GTEST_SKIP() << "no extended attributes on this file system";
    // An ACL granting user 65534 read access: version 2, then tag, permissions, id.
    const std::uint8_t acl[] = {
        2,    0, 0, 0,                         // version
        0x01, 0, 6, 0, 0xff, 0xff, 0xff, 0xff, // owner rw-
        0x02, 0, 4, 0, 0xfe, 0xff, 0,    0,    // user 65534 r--
        0x04, 0, 4, 0, 0xff, 0xff, 0xff, 0xff, // group r--
        0x10, 0, 4, 0, 0xff, 0xff, 0xff, 0xff, // mask r--
        0x20, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, // others ---
    };
    const bool withAcl =
        ::setxattr(original.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) == 0;
    const bool asRoot = test::RunningAsRoot();
    if (asRoot) {
        ASSERT_EQ(::chown(original.c_str(), 65534, 65534), 0);
    }
    File like = File::Open(original, OpenMode::ReadOnly);
    {
        OutputFile output(original);
        output.TakeOwnerOf(like.Status());
        Write(output, "new");
        output.CopyExtendedAttributesOf(like);
        output.Finish(like.Permissions());
        output.PublishReplacing();
    }
    struct stat info {};
    ASSERT_EQ(::stat(original.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, asRoot ? 65534U : ::geteuid());
    EXPECT_EQ(info.st_gid, asRoot ? 65534U : ::getegid());
    char value[16] = {};
    EXPECT_EQ(::getxattr(original.c_str(), attribute.c_str(), value, sizeof value), 3);
    EXPECT_STREQ(value, "tag");
    if (withAcl) {
        std::uint8_t copied[64] = {};
        EXPECT_EQ(::getxattr(original.c_str(), "system.posix_acl_access", copied, sizeof copied),
                  static_cast<ssize_t>(sizeof acl));
    }
}

TEST(OutputFile, AnOwnerThatCannotBeKeptIsRefused)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "needs a file of another user";
    TempFolder folder;
    WriteBytes(folder / "theirs", "x");
    ASSERT_EQ(::chown((folder / "theirs").c_str(), 0, 0), 0);
    FileStatus status = File::Open(folder / "theirs", OpenMode::ReadOnly).Status();
    test::AsFolderOwner owner(folder.Path()); // the folder and its files become 65534's
    status.Owner = 0;                         // root's file, seen by an ordinary user
    OutputFile output(folder / "theirs");
    try {
        output.TakeOwnerOf(status);
        ADD_FAILURE() << "an ordinary user gave a file to root";
    } catch (const FileError& error) {
        EXPECT_EQ(error.ErrorNumber(), EPERM);
    }
}

// Each ending signal removes the working file before the process dies, a
// write past the file size limit among them; a signal the process was
// started to ignore stays ignored.
TEST(OutputFile, EndingSignalsRemoveTheWorkingFile)
{
    const struct {
        const char* Name;
        int Signal;
        bool Ignored;
    } cases[] = {
        {"SIGINT", SIGINT, false},   {"SIGTERM", SIGTERM, false}, {"SIGHUP", SIGHUP, false},
        {"SIGQUIT", SIGQUIT, false}, {"SIGXFSZ", SIGXFSZ, false}, {"ignored SIGHUP", SIGHUP, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            if (c.Ignored)
                std::signal(c.Signal, SIG_IGN);
            OutputFile output(folder / "result");
            output.Handle().WriteAll("plain", 5);
            if (c.Signal == SIGXFSZ) {
                const rlimit limit{16, 16};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                output.Handle().WriteAll("past the size limit", 19);
            } else {
                std::raise(c.Signal);
            }
            ::_exit(fs::is_empty(folder.Path()) ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (c.Ignored) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the process went on";
            continue;
        }
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), c.Signal);
        EXPECT_TRUE(fs::is_empty(folder.Path())) << "the working file was left";
    }
}

} // namespace
} // namespace ciphra
