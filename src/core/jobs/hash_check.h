#pragma once
// Checking files against expected digests: one value, or the lines of a
// checksum list or hash report (checksum_list.h).

#include <cstddef>
#include <optional>
#include <string>

#include "core/jobs/checksum_list.h"

namespace ciphra {

enum class CheckOutcome {
    Ok,         // the digest is the expected one
    Failed,     // it is another
    Unreadable, // missing, not a regular file, no permission, or a read failed
};

// Hashes the file with the expected digest's algorithm and compares. Only a
// regular file is opened, so a FIFO or a device never blocks or streams;
// no failure to open or read escapes as an exception.
CheckOutcome CheckFile(const std::string& path, const ExpectedDigest& expected);

struct ListVerdict {
    CheckOutcome Outcome = CheckOutcome::Failed;
    const ChecksumEntry* Entry = nullptr; // the line compared against
};

// Checks the file against the list's lines for it: those whose name ends in
// the file's name (a report's one line whatever name it holds). The file
// matches when any of them does, and that line is given; otherwise the first
// of them. Nothing when no line names a file of that name.
std::optional<ListVerdict> CheckAgainstList(const std::string& path, const ChecksumList& list);

} // namespace ciphra
