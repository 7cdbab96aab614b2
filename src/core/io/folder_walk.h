#pragma once
// The regular files below folders, for the commands that take -r.
//
// Each folder is read in name order (bytes), depth first. Symbolic links are
// never followed, so a link to a folder is not entered and a loop of links
// is harmless. A folder or file on another file system than the folder
// walked (another device number) is not entered, and a folder reached twice
// (a bind mount, or folders named inside each other) is entered once. FIFOs,
// devices and sockets are passed by. Every entry passed by is named, with
// why, so the user can be told.

#include <string>
#include <vector>

#include "core/io/posix_file.h"

namespace ciphra {

enum class WalkKind {
    File,    // to work on
    Skipped, // passed by (see SkipReason)
    Failed,  // a folder that could not be read (Error)
};

enum class SkipReason {
    SymbolicLink,    // a link, to a folder or anything else: not followed
    Special,         // a FIFO, device or socket
    OtherFileSystem, // on another file system: not entered
    SeenBefore,      // a folder already walked
};

struct WalkEntry {
    std::string Path;
    WalkKind Kind = WalkKind::File;
    SkipReason Why = SkipReason::Special; // for Skipped
    int Error = 0;                        // for Failed: the errno value
    bool Found = false;                   // a File found in a folder, not named
};

// The operands of a command with -r: a folder (not a link to one) is walked;
// a link to a folder is skipped; anything else (a file, a link to one, a name
// that leads nowhere) is passed on as a File as it was named, for the command
// to handle as it would without -r. An entry named twice (the same name in
// the same folder, however written) is given once; the hard links of a file
// are entries of their own.
std::vector<WalkEntry> ExpandOperands(const std::vector<std::string>& operands);

} // namespace ciphra
