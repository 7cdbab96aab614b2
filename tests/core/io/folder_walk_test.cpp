#include "core/io/folder_walk.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WriteBytes;

// "F path", "S path why", "X path error": one line per entry, in order.
std::vector<std::string> Describe(const std::vector<WalkEntry>& entries, const std::string& base)
{
    static const char* const reasons[] = {"link", "special", "other-fs", "seen"};
    std::vector<std::string> lines;
    for (const WalkEntry& entry : entries) {
        std::string path = entry.Path;
        if (path.starts_with(base)) {
            path = path.substr(base.size());
        }
        switch (entry.Kind) {
        case WalkKind::File:
            lines.push_back((entry.Found ? "F " : "N ") + path);
            break;
        case WalkKind::Skipped:
            lines.push_back("S " + path + " " + reasons[static_cast<int>(entry.Why)]);
            break;
        case WalkKind::Failed:
            lines.push_back("X " + path + " " + std::to_string(entry.Error));
            break;
        }
    }
    return lines;
}

// A tree with every kind of entry the walk passes by: a FIFO, a link to a
// file, a dangling link and a loop of links back up the tree.
class FolderWalk : public ::testing::Test {
protected:
    TempFolder folder_;
    std::string base_ = folder_.Path().string() + "/";

    void SetUp() override
    {
        fs::create_directories(folder_.Path() / "tree/sub/deeper");
        fs::create_directories(folder_.Path() / "tree/empty");
        WriteBytes(folder_ / "tree/b.txt", "b");
        WriteBytes(folder_ / "tree/a.txt", "a");
        WriteBytes(folder_ / "tree/sub/c", "c");
        WriteBytes(folder_ / "tree/sub/deeper/d", "d");
        WriteBytes(folder_ / "outside", "o");
        ASSERT_EQ(::mkfifo((folder_ / "tree/fifo").c_str(), 0600), 0);
        fs::create_directory_symlink("..", folder_.Path() / "tree/sub/loop");
        fs::create_symlink("../outside", folder_.Path() / "tree/to-file");
        fs::create_symlink("nowhere", folder_.Path() / "tree/dangling");
    }

    std::vector<std::string> Walk(const std::vector<std::string>& names) const
    {
        std::vector<std::string> operands;
        for (const std::string& name : names) {
            operands.push_back(folder_ / name);
        }
        return Describe(ExpandOperands(operands), base_);
    }
};

TEST_F(FolderWalk, FindsEveryRegularFileAndNamesWhatItPassesBy)
{
    EXPECT_EQ(Walk({"tree"}), (std::vector<std::string>{
                                  "F tree/a.txt",
                                  "F tree/b.txt",
                                  "S tree/dangling link",
                                  "S tree/fifo special",
                                  "F tree/sub/c",
                                  "F tree/sub/deeper/d",
                                  "S tree/sub/loop link",
                                  "S tree/to-file link",
                              }));
}

TEST_F(FolderWalk, OperandsAreTakenAsNamedAndEachEntryOnce)
{
    fs::create_directory_symlink("tree", folder_.Path() / "tree-link");
    fs::create_hard_link(folder_.Path() / "tree/a.txt", folder_.Path() / "tree/sub/hard");
    // The file named, a link to a folder, a missing name, a folder inside
    // one walked before and after it, a file of the tree named again (by
    // another spelling), and a trailing slash.
    EXPECT_EQ(Walk({"outside", "tree-link", "missing", "tree/sub", "tree/", "tree/./a.txt",
                    "tree/sub/c"}),
              (std::vector<std::string>{
                  "N outside",
                  "S tree-link link",
                  "N missing",
                  "F tree/sub/c",
                  "F tree/sub/deeper/d",
                  "F tree/sub/hard",
                  "S tree/sub/loop link",
                  "F tree/a.txt",
                  "F tree/b.txt",
                  "S tree/dangling link",
                  "S tree/fifo special",
                  "S tree/sub seen",
                  "S tree/to-file link",
              }));
}

TEST_F(FolderWalk, AnUnreadableFolderIsAFailureAndTheRestGoesOn)
{
    fs::permissions(folder_.Path() / "tree/sub", fs::perms::none);
    std::vector<std::string> lines;
    {
        const test::AsFolderOwner user(folder_.Path());
        lines = Walk({"tree"});
    }
    fs::permissions(folder_.Path() / "tree/sub", fs::perms::owner_all);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "F tree/a.txt",
                         "F tree/b.txt",
                         "S tree/dangling link",
                         "S tree/fifo special",
                         "X tree/sub " + std::to_string(EACCES),
                         "S tree/to-file link",
                     }));
}

// Another file system mounted inside the tree is not entered. Mounting
// needs root; elsewhere the case is skipped.
TEST_F(FolderWalk, DoesNotEnterAnotherFileSystem)
{
    const std::string mountPoint = folder_ / "tree/sub/deeper";
    if (::mount("walk-test", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    WriteBytes(mountPoint + "/on-tmpfs", "t");
    const std::vector<std::string> lines = Walk({"tree/sub"});
    ::umount2(mountPoint.c_str(), MNT_DETACH);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "F tree/sub/c",
                         "S tree/sub/deeper other-fs",
                         "S tree/sub/loop link",
                     }));
}

} // namespace
} // namespace ciphra
