#include "core/jobs/shred_limits.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace ciphra {
namespace {

enum class Kind { CopyOnWrite, LogStructured, Network, UserSpace, Ext };

struct KnownFileSystem {
    std::uint64_t Magic; // statfs's f_type (linux/magic.h and the file systems' own)
    const char* Name;
    Kind What;
};

constexpr KnownFileSystem FileSystems[] = {
    {0x9123683E, "btrfs", Kind::CopyOnWrite},
    {0x2FC12FC1, "ZFS", Kind::CopyOnWrite},
    {0xCA451A4E, "bcachefs", Kind::CopyOnWrite},
    {0xF2F52010, "F2FS", Kind::LogStructured},
    {0x3434, "NILFS", Kind::LogStructured},
    {0x6969, "NFS", Kind::Network},
    {0x517B, "SMB", Kind::Network},
    {0xFF534D42, "SMB (CIFS)", Kind::Network},
    {0xFE534D42, "SMB", Kind::Network},
    {0x00C36400, "Ceph", Kind::Network},
    {0x5346414F, "AFS", Kind::Network},
    {0x6B414653, "AFS", Kind::Network},
    {0x73757245, "Coda", Kind::Network},
    {0x01021997, "9P", Kind::Network},
    {0x564C, "NCP", Kind::Network},
    {0x47504653, "GPFS", Kind::Network},
    {0x0BD00BD0, "Lustre", Kind::Network},
    {0x65735546, "FUSE", Kind::UserSpace},
    {0xEF53, "ext4", Kind::Ext},
};

const KnownFileSystem* Known(std::uint64_t magic)
{
    const auto* found =
        std::find_if(std::begin(FileSystems), std::end(FileSystems),
                     [magic](const KnownFileSystem& each) { return each.Magic == magic; });
    return found == std::end(FileSystems) ? nullptr : found;
}

// The mount table's name when it has one ("fuse.sshfs", "ext3"), else the table's.
std::string NameOf(const StorageFacts& facts, const KnownFileSystem& known)
{
    return facts.FileSystemType.empty() ? known.Name : facts.FileSystemType;
}

bool HasOption(const std::string& options, std::string_view wanted)
{
    std::size_t start = 0;
    while (start <= options.size()) {
        const std::size_t end = std::min(options.find(',', start), options.size());
        if (std::string_view(options).substr(start, end - start) == wanted) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string Plural(nlink_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// What the file system itself means for a shred, if anything.
std::optional<ShredFinding> FileSystemFinding(const StorageFacts& facts)
{
    const KnownFileSystem* known = Known(facts.FileSystemMagic);
    if (known == nullptr) {
        return std::nullopt;
    }
    const std::string name = NameOf(facts, *known);
    switch (known->What) {
    case Kind::CopyOnWrite:
        return ShredFinding{ShredLimit::CopyOnWrite,
                            "it is on a copy-on-write file system (" + name +
                                "): each overwrite is written to new blocks, and the old ones "
                                "keep the data until the file system reuses them"};
    case Kind::LogStructured:
        return ShredFinding{
            ShredLimit::LogStructured,
            "it is on a log-structured file system (" + name +
                "): each overwrite is written to a new place, and the old data stays until the "
                "space is reclaimed" +
                (known->Magic == 0x3434 ? std::string(" (NILFS also keeps checkpoints of earlier "
                                                      "states)")
                                        : std::string())};
    case Kind::Network:
        return ShredFinding{ShredLimit::NetworkFileSystem,
                            "it is on a network file system (" + name +
                                "): the server stores the data and decides where overwrites go; "
                                "its caches, snapshots and backups are out of reach"};
    case Kind::UserSpace:
        return ShredFinding{ShredLimit::UserSpaceFileSystem,
                            "it is on a file system run by a program (" + name +
                                "): that program decides where the data is stored and whether "
                                "overwrites reach it"};
    case Kind::Ext:
        if (HasOption(facts.MountOptions, "data=journal")) {
            return ShredFinding{ShredLimit::DataJournal,
                                "its file system journals data (" + name +
                                    " mounted with data=journal): every overwrite passes through "
                                    "the journal, which may keep earlier contents for a while"};
        }
        break;
    }
    return std::nullopt;
}

} // namespace

std::vector<ShredFinding> ShredLimitsOf(const StorageFacts& facts)
{
    std::vector<ShredFinding> findings;
    if (facts.SharedExtents) {
        findings.push_back({ShredLimit::SharedExtents,
                            "its data is shared with another file or a snapshot (a copy made "
                            "with reflink, or a snapshot of the file system): overwriting gives "
                            "this file new blocks and leaves the shared data where it is"});
    }
    if (facts.Links > 1) {
        const nlink_t others = facts.Links - 1;
        findings.push_back(
            {ShredLimit::OtherNames,
             "it has " + Plural(others, "other name (a hard link)", "other names (hard links)") +
                 ": overwriting reaches the data they share, but a file is only deleted with "
                 "its last name, so it stays on disk under " +
                 (others == 1 ? "that name" : "those names") + ", holding the overwritten bytes"});
    }
    if (std::optional<ShredFinding> finding = FileSystemFinding(facts)) {
        findings.push_back(std::move(*finding));
    }
    if (facts.Rotational == false) {
        findings.push_back({ShredLimit::RemappedStorage,
                            "it is on solid-state storage (an SSD or flash memory): the drive "
                            "writes each overwrite to a new place and keeps the old data until "
                            "it reuses that place"});
    }
    return findings;
}

std::vector<ShredFinding> ShredLimitsOfFile(const std::string& path)
{
    const std::optional<StorageFacts> facts = ReadStorageFacts(path);
    return facts ? ShredLimitsOf(*facts) : std::vector<ShredFinding>{};
}

bool Survives(ShredLimit limit)
{
    return limit == ShredLimit::SharedExtents || limit == ShredLimit::OtherNames;
}

std::optional<std::string> ShortOfShredded(const std::vector<ShredFinding>& findings)
{
    const auto has = [&](ShredLimit limit) {
        return std::any_of(findings.begin(), findings.end(),
                           [limit](const ShredFinding& each) { return each.Limit == limit; });
    };
    if (has(ShredLimit::SharedExtents)) {
        return "the name was removed, but the data may remain: a copy or snapshot still shares "
               "it";
    }
    if (has(ShredLimit::OtherNames)) {
        return "the name was removed and the data overwritten, but the file remains under its "
               "other names (hard links)";
    }
    return std::nullopt;
}

std::string ShredAdvice(const std::vector<ShredFinding>& findings)
{
    if (findings.empty()) {
        return {};
    }
    const auto has = [&](ShredLimit limit) {
        return std::any_of(findings.begin(), findings.end(),
                           [limit](const ShredFinding& each) { return each.Limit == limit; });
    };
    std::string advice = "What helps instead: keep such files encrypted from the start (encrypt "
                         "them before they are stored, or use full-disk encryption), so that "
                         "whatever stays behind cannot be read";
    if (has(ShredLimit::SharedExtents) || has(ShredLimit::OtherNames)) {
        advice += "; remove the other names, copies and snapshots that share the data";
    }
    if (has(ShredLimit::RemappedStorage)) {
        advice += "; on solid-state storage, have freed space discarded after deleting (TRIM: "
                  "fstrim, or the discard mount option)";
    }
    return advice + ".";
}

} // namespace ciphra
