#pragma once
// What overwriting a file in place cannot reach, found for one file before
// it is shredded, and told in plain words with what the user can do instead.
//
// Overwriting reaches only the blocks the file has when it is overwritten,
// and only when the file system writes over them in place and the storage
// under it does too. Copy-on-write and log-structured file systems write
// every overwrite somewhere new; extents shared with a copy or a snapshot
// keep the old data for them; network and user-space file systems store the
// data where their server or program decides; a journal of the data keeps
// earlier contents; solid-state storage remaps every write. Other hard
// links share the overwritten data, but keep the file itself on disk.

#include <optional>
#include <string>
#include <vector>

#include "core/io/storage_facts.h"

namespace ciphra {

enum class ShredLimit {
    SharedExtents,       // data shared with another file or a snapshot: it stays there
    OtherNames,          // other hard links: the file stays under them, overwritten
    CopyOnWrite,         // btrfs, ZFS, bcachefs
    LogStructured,       // F2FS, NILFS
    NetworkFileSystem,   // NFS, SMB, Ceph, ...
    UserSpaceFileSystem, // FUSE
    DataJournal,         // ext3/ext4 mounted with data=journal
    RemappedStorage,     // solid-state storage (not rotational)
};

struct ShredFinding {
    ShredLimit Limit;
    std::string Text; // plain words for this file, starting lower case, without a final stop
};

// The limits for a file with these facts, the most serious first.
std::vector<ShredFinding> ShredLimitsOf(const StorageFacts& facts);
// The same for the file `path` on this system; nothing for a name that is
// not a regular file (it is not shredded).
std::vector<ShredFinding> ShredLimitsOfFile(const std::string& path);

// True when the limit means that the shred cannot do all it says: the data
// survives elsewhere, or the file survives under other names. Its summary
// must not claim success.
bool Survives(ShredLimit limit);

// For a file whose shred went through with `findings`: what actually
// happened, when it is less than a shred ("the name was removed, but ...");
// nothing when the findings do not make it less.
std::optional<std::string> ShortOfShredded(const std::vector<ShredFinding>& findings);

// What the user can do instead, for all these findings together; "" for none.
std::string ShredAdvice(const std::vector<ShredFinding>& findings);

} // namespace ciphra
