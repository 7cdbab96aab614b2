#pragma once
// The files of a command run with -r, and the summary that ends it.

#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"

namespace ciphra::cli {

// How the files of a run with -r fared.
struct Tally {
    int Done = 0;
    int Failed = 0;
    int Skipped = 0; // passed by with a note
    int Partial = 0; // done, but less than the command says (a shred whose data remains)
};

// The files named and found below the folders named (folder_walk.h). Each
// entry passed by gets a note on Err and counts as skipped; a folder that
// cannot be read is reported and counts as failed. `found` tells, for each
// file, whether it was found in a folder (not named on the command line).
std::vector<std::string> FilesOfOperands(const std::vector<std::string>& operands, CliIo& io,
                                         Tally& tally, std::vector<bool>* found = nullptr);

// "ciphra2k-cli: 3 files encrypted, 1 failed, 2 skipped" on Err (with
// "1 <partialWords>" after the files done when some were done in part);
// returns the exit status: ExitFailed when any file failed or was done in part.
int EndOfRun(CliIo& io, const Tally& tally, std::string_view doneWord,
             std::string_view partialWords = {});

} // namespace ciphra::cli
