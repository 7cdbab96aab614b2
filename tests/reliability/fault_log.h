#pragma once
// The fault library's log (CIPHRA_FAULT_LOG), read back: one record per
// file created, write, flush and removal the program made (see fault_shim.c).

#include <cstdint>
#include <string>
#include <vector>

namespace ciphra::test {

struct LogRecord {
    std::string Line; // as logged, for messages
    // create, mkostemp, mkstemp, write, fsync, fdatasync, syncfs,
    // sync_file_range, fsync-failed, fdatasync-failed, ..., unlink, rename
    std::string Call;
    std::string Flags;        // create: "O_RDWR|O_CREAT|O_EXCL..."
    std::string Mode;         // create, mkostemp, mkstemp: octal, or "error:<errno>"
    std::uint64_t Offset = 0; // write
    std::uint64_t Length = 0; // write: bytes written; fsync, fdatasync: the file's size
    std::string Bytes;        // write, fsync, fdatasync: zeros, ones, mixed, none
    std::string Path;         // rename: "<from> -> <to>"

    bool HasFlag(const std::string& flag) const;
    bool IsFlush() const { return Call == "fsync" || Call == "fdatasync"; }
    bool Created() const; // a file was created (or opened for creating) by the call
};

// Every record of the log, in order; none when there is no log.
std::vector<LogRecord> ReadFaultLog(const std::string& path);

// The records about paths inside `folder` (as the kernel names it).
std::vector<LogRecord> Inside(const std::vector<LogRecord>& records, const std::string& folder);

} // namespace ciphra::test
