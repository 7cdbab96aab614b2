#include "cli/file_tree.h"

#include <ostream>

#include "core/io/file_error.h"
#include "core/io/folder_walk.h"

namespace ciphra::cli {

namespace {

const char* WhySkipped(SkipReason why)
{
    switch (why) {
    case SkipReason::SymbolicLink:
        return "is a symbolic link; not followed";
    case SkipReason::Special:
        return "is not a regular file (a FIFO, device or socket); passed by";
    case SkipReason::OtherFileSystem:
        return "is on another file system; not entered";
    case SkipReason::SeenBefore:
        return "was walked already; not entered again";
    }
    return "passed by";
}

} // namespace

std::vector<std::string> FilesOfOperands(const std::vector<std::string>& operands, CliIo& io,
                                         Tally& tally, std::vector<bool>* found)
{
    std::vector<std::string> files;
    for (const WalkEntry& entry : ExpandOperands(operands)) {
        switch (entry.Kind) {
        case WalkKind::File:
            files.push_back(entry.Path);
            if (found != nullptr) {
                found->push_back(entry.Found);
            }
            break;
        case WalkKind::Skipped:
            io.Err << "ciphra2k-cli: note: " << entry.Path << ": " << WhySkipped(entry.Why) << '\n';
            ++tally.Skipped;
            break;
        case WalkKind::Failed:
            io.Err << "ciphra2k-cli: " << entry.Path
                   << ": cannot read this folder: " << IoErrorText(entry.Error) << '\n';
            ++tally.Failed;
            break;
        }
    }
    return files;
}

int EndOfRun(CliIo& io, const Tally& tally, std::string_view doneWord,
             std::string_view partialWords)
{
    io.Err << "ciphra2k-cli: " << tally.Done << (tally.Done == 1 ? " file " : " files ") << doneWord
           << ", ";
    if (tally.Partial > 0) {
        io.Err << tally.Partial << ' ' << partialWords << ", ";
    }
    io.Err << tally.Failed << " failed, " << tally.Skipped << " skipped\n";
    return tally.Failed + tally.Partial > 0 ? ExitFailed : ExitOk;
}

} // namespace ciphra::cli
