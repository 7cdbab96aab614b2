#pragma once
// What the system tells about where a file's bytes are kept: its file
// system and how that is mounted, the file's other names and the extents it
// shares, and the storage under it. The shredder's checks (shred_limits.h)
// take these facts as plain data, so that a test can give any of them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace ciphra {

struct StorageFacts {
    std::uint64_t FileSystemMagic = 0; // statfs's f_type
    std::string FileSystemType;        // as the mount table names it ("ext4", "fuse.sshfs"), or ""
    std::string MountOptions;          // the file system's own options there ("rw,data=journal")
    nlink_t Links = 1;                 // the file's names (hard links)
    bool SharedExtents = false;        // some of its data is shared with another file or a snapshot
    std::optional<bool> Rotational;    // the disk under it spins; nothing when unknown
};

// Looks at the regular file `path` (not through a link: links are never
// shredded). Nothing when `path` is not a regular file or cannot be looked
// at; a fact the system does not tell keeps its default.
std::optional<StorageFacts> ReadStorageFacts(const std::string& path);

// A line of the mount table (/proc/self/mountinfo).
struct MountEntry {
    std::string MountPoint;
    std::string Type;
    std::string Source;
    std::string Options; // the file system's own ("super") options
};

// The mount of `path` (absolute, links resolved) in the mount table's text:
// the one of device major:minor when there is one, else the one whose mount
// point is the longest that holds `path`.
std::optional<MountEntry> FindMount(std::string_view mountTable, unsigned major, unsigned minor,
                                    const std::string& path);

// Whether the disk of block device `device` spins, as its queue in sysfs
// (under `sysfs`) says; a partition answers for its disk. Nothing when sysfs
// does not say.
std::optional<bool> RotationalOf(dev_t device, const std::string& sysfs = "/sys");

} // namespace ciphra
