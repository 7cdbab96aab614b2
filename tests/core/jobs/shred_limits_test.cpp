#include "core/jobs/shred_limits.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/jobs/shredder.h"
#include "support/run_process.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

using Limits = std::vector<ShredLimit>;

// The limits found, less the storage's: whether a loop device spins
// follows the disk its image lies on, which differs from machine to machine.
Limits KindsOf(const std::vector<ShredFinding>& findings, bool withStorage = false)
{
    Limits kinds;
    for (const ShredFinding& finding : findings) {
        if (withStorage || finding.Limit != ShredLimit::RemappedStorage) {
            kinds.push_back(finding.Limit);
        }
    }
    return kinds;
}

StorageFacts Facts(std::uint64_t magic, const char* type = "", const char* options = "rw")
{
    StorageFacts facts;
    facts.FileSystemMagic = magic;
    facts.FileSystemType = type;
    facts.MountOptions = options;
    facts.Rotational = true;
    return facts;
}

// The seam: every fact a machine may show, given directly.
TEST(ShredLimits, FromTheFactsOfTheFile)
{
    StorageFacts ssd = Facts(0xEF53, "ext4");
    ssd.Rotational = false;
    StorageFacts unknownDisk = Facts(0x01021994, "tmpfs");
    unknownDisk.Rotational = std::nullopt;
    StorageFacts reflinked = Facts(0x58465342, "xfs");
    reflinked.SharedExtents = true;
    StorageFacts linked = Facts(0xEF53, "ext4");
    linked.Links = 3;
    StorageFacts everything = Facts(0x9123683E, "btrfs");
    everything.SharedExtents = true;
    everything.Links = 2;
    everything.Rotational = false;
    const struct {
        const char* Name;
        StorageFacts Given;
        Limits Expected;
        const char* Says;
    } cases[] = {
        {"ext4 on a disk", Facts(0xEF53, "ext4", "rw,data=ordered"), {}, ""},
        {"ext4 journaling data",
         Facts(0xEF53, "ext4", "rw,data=journal"),
         {ShredLimit::DataJournal},
         "ext4 mounted with data=journal"},
        {"ext3 journaling data",
         Facts(0xEF53, "ext3", "data=journal,rw"),
         {ShredLimit::DataJournal},
         "ext3 mounted"},
        {"ext4 on an SSD", ssd, {ShredLimit::RemappedStorage}, "solid-state storage"},
        {"tmpfs", unknownDisk, {}, ""},
        {"btrfs", Facts(0x9123683E, "btrfs"), {ShredLimit::CopyOnWrite}, "copy-on-write"},
        {"ZFS", Facts(0x2FC12FC1, "zfs"), {ShredLimit::CopyOnWrite}, "(zfs)"},
        {"bcachefs", Facts(0xCA451A4E), {ShredLimit::CopyOnWrite}, "(bcachefs)"},
        {"F2FS", Facts(0xF2F52010, "f2fs"), {ShredLimit::LogStructured}, "log-structured"},
        {"NILFS", Facts(0x3434, "nilfs2"), {ShredLimit::LogStructured}, "checkpoints"},
        {"NFS", Facts(0x6969, "nfs4"), {ShredLimit::NetworkFileSystem}, "(nfs4)"},
        {"SMB", Facts(0xFE534D42, "cifs"), {ShredLimit::NetworkFileSystem}, "the server"},
        {"FUSE",
         Facts(0x65735546, "fuse.sshfs"),
         {ShredLimit::UserSpaceFileSystem},
         "(fuse.sshfs)"},
        {"reflinked on XFS", reflinked, {ShredLimit::SharedExtents}, "reflink"},
        {"three names", linked, {ShredLimit::OtherNames}, "2 other names (hard links)"},
        {"all at once",
         everything,
         {ShredLimit::SharedExtents, ShredLimit::OtherNames, ShredLimit::CopyOnWrite,
          ShredLimit::RemappedStorage},
         "1 other name (a hard link)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<ShredFinding> findings = ShredLimitsOf(c.Given);
        EXPECT_EQ(KindsOf(findings, true), c.Expected);
        std::string all;
        for (const ShredFinding& finding : findings) {
            all += finding.Text + "\n";
        }
        EXPECT_NE(all.find(c.Says), std::string::npos) << all;
    }
}

// Only data that outlives the shred, or a file that does, takes back the
// claim of success; what helps instead follows from the findings.
TEST(ShredLimits, WhatIsSaidAfterAndInstead)
{
    StorageFacts facts = Facts(0x9123683E, "btrfs");
    facts.Rotational = false;
    const std::vector<ShredFinding> onSsd = ShredLimitsOf(facts);
    EXPECT_FALSE(ShortOfShredded(onSsd));
    EXPECT_NE(ShredAdvice(onSsd).find("full-disk encryption"), std::string::npos);
    EXPECT_NE(ShredAdvice(onSsd).find("TRIM"), std::string::npos);
    EXPECT_EQ(ShredAdvice(onSsd).find("snapshots that share"), std::string::npos);
    EXPECT_EQ(ShredAdvice({}), "");

    facts.Links = 2;
    EXPECT_EQ(ShortOfShredded(ShredLimitsOf(facts)),
              "the name was removed and the data overwritten, but the file remains under its "
              "other names (hard links)");
    facts.SharedExtents = true;
    const std::vector<ShredFinding> shared = ShredLimitsOf(facts);
    EXPECT_EQ(ShortOfShredded(shared),
              "the name was removed, but the data may remain: a copy or snapshot still shares it");
    EXPECT_NE(ShredAdvice(shared).find("snapshots that share the data"), std::string::npos);
    for (const ShredFinding& finding : shared) {
        EXPECT_EQ(Survives(finding.Limit), finding.Limit == ShredLimit::SharedExtents ||
                                               finding.Limit == ShredLimit::OtherNames);
    }
}

// A small file system in an image, loop-mounted for one test. Mounting needs
// root and the file system's tools (scripts/packages.txt); elsewhere the
// test that asks for one is skipped, saying why.
class MountedImage {
public:
    MountedImage() = default;
    MountedImage(const MountedImage&) = delete;
    MountedImage& operator=(const MountedImage&) = delete;
    ~MountedImage()
    {
        if (mounted_) {
            Shell("umount " + Quoted(Root()) + " || umount -l " + Quoted(Root()));
        }
    }

    // `make` formats the image (its path follows); "" for tmpfs. Returns why
    // it cannot be mounted here, or "".
    std::string Mount(const std::string& make, const std::string& type, const std::string& size,
                      const std::string& options = "")
    {
        if (::geteuid() != 0) {
            return "mounting needs root";
        }
        fs::create_directory(Root());
        const std::string image = Quoted(folder_ / "image");
        std::string command;
        if (make.empty()) {
            command = "mount -t " + type + " -o size=" + size + " tmpfs " + Quoted(Root());
        } else {
            command = "truncate -s " + size + " " + image + " && " + make + " " + image +
                      " && mount -t " + type + " -o loop" + (options.empty() ? "" : "," + options) +
                      " " + image + " " + Quoted(Root());
        }
        const test::ProcessResult result = Shell(command);
        if (result.ExitCode != 0) {
            return "cannot mount " + type + " here: " + result.Err;
        }
        mounted_ = true;
        return {};
    }

    std::string Root() const { return folder_ / "mnt"; }
    std::string operator/(const std::string& name) const { return Root() + "/" + name; }

    static test::ProcessResult Shell(const std::string& command)
    {
        test::ProcessRun run;
        run.Program = "/bin/sh";
        run.Args = {"-c", command};
        run.Deadline = std::chrono::seconds(30);
        return test::RunProcess(run);
    }

private:
    static std::string Quoted(const std::string& path) { return "'" + path + "'"; }

    TempFolder folder_;
    bool mounted_ = false;
};

#define MOUNT_OR_SKIP(image, ...)                                                                  \
    do {                                                                                           \
        const std::string why = (image).Mount(__VA_ARGS__);                                        \
        if (!why.empty()) {                                                                        \
            GTEST_SKIP() << why;                                                                   \
        }                                                                                          \
    } while (false)

// tmpfs keeps files in memory: only a second name is found.
TEST(ShredLimitsOnMountedFileSystems, TmpfsFindsOnlyOtherNames)
{
    MountedImage tmpfs;
    MOUNT_OR_SKIP(tmpfs, "", "tmpfs", "1m");
    WriteBytes(tmpfs / "a", "alone");
    WriteBytes(tmpfs / "b", "linked");
    fs::create_hard_link(tmpfs / "b", tmpfs / "c");
    EXPECT_EQ(KindsOf(ShredLimitsOfFile(tmpfs / "a"), true), Limits{});
    EXPECT_EQ(KindsOf(ShredLimitsOfFile(tmpfs / "b"), true), Limits{ShredLimit::OtherNames});
}

// The mount table tells how ext4 was mounted, and a loop device has a queue.
TEST(ShredLimitsOnMountedFileSystems, Ext4JournalingDataIsFound)
{
    for (const bool journal : {false, true}) {
        SCOPED_TRACE(journal ? "data=journal" : "default");
        MountedImage ext4;
        MOUNT_OR_SKIP(ext4, "mkfs.ext4 -q -F", "ext4", "16M", journal ? "data=journal" : "");
        WriteBytes(ext4 / "a", PatternBytes(10000));
        const std::optional<StorageFacts> facts = ReadStorageFacts(ext4 / "a");
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->FileSystemType, "ext4");
        EXPECT_TRUE(facts->Rotational.has_value()) << "the loop device's queue was not read";
        EXPECT_EQ(KindsOf(ShredLimitsOfFile(ext4 / "a")),
                  journal ? Limits{ShredLimit::DataJournal} : Limits{});
    }
}

// A reflinked copy on XFS shares the file's extents: after the shred the
// copy still holds the data, which is why the shred must not claim success.
TEST(ShredLimitsOnMountedFileSystems, XfsReflinkedCopyKeepsTheData)
{
    MountedImage xfs;
    // mkfs.xfs makes file systems under 300 MB only for the file system
    // test suite, which these variables announce; the image is sparse.
    MOUNT_OR_SKIP(xfs, "TEST_DEV=1 TEST_DIR=1 QA_CHECK_FS=1 mkfs.xfs -q -f -m reflink=1", "xfs",
                  "64M");
    const std::string secret = PatternBytes(100000, 7);
    WriteBytes(xfs / "secret", secret);
    WriteBytes(xfs / "alone", secret);
    ASSERT_EQ(
        MountedImage::Shell("cp --reflink=always '" + xfs / "secret" + "' '" + xfs / "copy" + "'")
            .ExitCode,
        0);
    EXPECT_EQ(KindsOf(ShredLimitsOfFile(xfs / "alone")), Limits{});
    const std::vector<ShredFinding> findings = ShredLimitsOfFile(xfs / "secret");
    EXPECT_EQ(KindsOf(findings), Limits{ShredLimit::SharedExtents});
    EXPECT_TRUE(ShortOfShredded(findings));

    EXPECT_EQ(WipeFile(xfs / "secret", 1, [] { return std::string("clock"); }),
              WipeOutcome::Succeeded);
    EXPECT_FALSE(fs::exists(xfs / "secret"));
    EXPECT_EQ(ReadBytes(xfs / "copy"), secret) << "the shared data survives in the copy";
    EXPECT_EQ(KindsOf(ShredLimitsOfFile(xfs / "copy")), Limits{}) << "no longer shared";
}

// btrfs writes every overwrite anew; a snapshot shares the file's extents.
TEST(ShredLimitsOnMountedFileSystems, BtrfsSnapshotAndCopyOnWrite)
{
    MountedImage btrfs;
    MOUNT_OR_SKIP(btrfs, "mkfs.btrfs -q -f --mixed", "btrfs", "32M");
    ASSERT_EQ(MountedImage::Shell("btrfs -q subvolume create '" + btrfs / "vol" + "'").ExitCode, 0);
    WriteBytes(btrfs / "vol/kept", PatternBytes(50000, 3));
    ASSERT_EQ(MountedImage::Shell("btrfs -q subvolume snapshot '" + btrfs / "vol" + "' '" +
                                  btrfs / "snap" + "'")
                  .ExitCode,
              0);
    WriteBytes(btrfs / "vol/later", PatternBytes(50000, 4));
    EXPECT_EQ(KindsOf(ShredLimitsOfFile(btrfs / "vol/kept")),
              (Limits{ShredLimit::SharedExtents, ShredLimit::CopyOnWrite}));
    EXPECT_EQ(KindsOf(ShredLimitsOfFile(btrfs / "vol/later")), Limits{ShredLimit::CopyOnWrite});
    const std::optional<StorageFacts> facts = ReadStorageFacts(btrfs / "snap/kept");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->FileSystemType, "btrfs") << "found by mount point: a snapshot's own device";
    EXPECT_TRUE(facts->Rotational.has_value()) << "through the device it was mounted from";
}

} // namespace
} // namespace ciphra
