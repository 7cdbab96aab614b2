#include "core/io/storage_facts.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WriteBytes;

// Lines as the kernel writes them: optional tags before "-", escaped blanks,
// a bind mount of the same device, a mount on top of another.
constexpr const char* MountTable =
    "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
    "40 26 254:0 /srv /mnt/bind rw shared:1 - ext4 /dev/vda rw,discard\n"
    "41 26 0:45 / /media/my\\040disk rw,nosuid shared:7 master:2 - btrfs /dev/sdb2 rw,ssd\n"
    "42 26 0:46 / /home/u/remote rw - fuse.sshfs u@host:/data rw,user_id=1000\n"
    "43 26 0:47 / /home/u/remote rw - tmpfs tmpfs rw\n"
    "not a mount line\n"
    "44 26 7:3 / /var/j rw - ext4 /dev/loop3 rw,data=journal";

TEST(FindMount, ByDeviceElseByTheLongestMountPointHoldingThePath)
{
    const struct {
        unsigned Major, Minor;
        const char* Path;
        const char* Point;
        const char* Type;
        const char* Source;
        const char* Options;
    } cases[] = {
        {254, 0, "/etc/x", "/", "ext4", "/dev/vda", "rw,discard"},
        {7, 3, "/elsewhere", "/var/j", "ext4", "/dev/loop3", "rw,data=journal"},
        {0, 45, "/media/my disk/f", "/media/my disk", "btrfs", "/dev/sdb2", "rw,ssd"},
        // A btrfs snapshot has a device number of its own, in no line.
        {0, 99, "/media/my disk/snap/f", "/media/my disk", "btrfs", "/dev/sdb2", "rw,ssd"},
        {0, 99, "/media/my diskette", "/", "ext4", "/dev/vda", "rw,discard"},
        {0, 99, "/home/u/remote/f", "/home/u/remote", "tmpfs", "tmpfs", "rw"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        const std::optional<MountEntry> mount = FindMount(MountTable, c.Major, c.Minor, c.Path);
        ASSERT_TRUE(mount);
        EXPECT_EQ(mount->MountPoint, c.Point);
        EXPECT_EQ(mount->Type, c.Type);
        EXPECT_EQ(mount->Source, c.Source);
        EXPECT_EQ(mount->Options, c.Options);
    }
    EXPECT_FALSE(FindMount("", 8, 1, "/x"));
}

// A disk's queue says whether it spins; a partition has none and answers
// through its disk. A sysfs tree of our own stands in for the system's.
TEST(RotationalOf, ReadsTheQueueOfTheDiskOrOfThePartitionsDisk)
{
    TempFolder sysfs;
    fs::create_directories(sysfs.Path() / "dev/block");
    fs::create_directories(sysfs.Path() / "devices/pci/sda/sda1");
    fs::create_directories(sysfs.Path() / "devices/pci/sda/queue");
    fs::create_directories(sysfs.Path() / "devices/virtual/nvme0n1/queue");
    fs::create_directories(sysfs.Path() / "devices/virtual/odd/queue");
    WriteBytes(sysfs / "devices/pci/sda/queue/rotational", "1\n");
    WriteBytes(sysfs / "devices/pci/sda/sda1/partition", "1\n");
    WriteBytes(sysfs / "devices/virtual/nvme0n1/queue/rotational", "0\n");
    WriteBytes(sysfs / "devices/virtual/odd/queue/rotational", "\n");
    fs::create_directory_symlink("../../devices/pci/sda", sysfs.Path() / "dev/block/8:0");
    fs::create_directory_symlink("../../devices/pci/sda/sda1", sysfs.Path() / "dev/block/8:1");
    fs::create_directory_symlink("../../devices/virtual/nvme0n1", sysfs.Path() / "dev/block/259:0");
    fs::create_directory_symlink("../../devices/virtual/odd", sysfs.Path() / "dev/block/9:0");
    const struct {
        unsigned Major, Minor;
        std::optional<bool> Spins;
    } cases[] = {
        {8, 0, true}, {8, 1, true}, {259, 0, false}, {9, 0, std::nullopt}, {1, 1, std::nullopt}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.Major) + ":" + std::to_string(c.Minor));
        EXPECT_EQ(RotationalOf(makedev(c.Major, c.Minor), sysfs.Path().string()), c.Spins);
    }
}

TEST(ReadStorageFacts, OnlyForARegularFile)
{
    TempFolder folder;
    WriteBytes(folder / "file", "x");
    fs::create_symlink("file", folder.Path() / "link");
    fs::create_hard_link(folder.Path() / "file", folder.Path() / "second");
    const std::optional<StorageFacts> facts = ReadStorageFacts(folder / "file");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->Links, 2U);
    EXPECT_NE(facts->FileSystemMagic, 0U);
    EXPECT_FALSE(facts->FileSystemType.empty()) << "the mount table names it";
    EXPECT_FALSE(ReadStorageFacts(folder / "link"));
    EXPECT_FALSE(ReadStorageFacts(folder.Path().string()));
    EXPECT_FALSE(ReadStorageFacts(folder / "missing"));
}

} // namespace
} // namespace ciphra
