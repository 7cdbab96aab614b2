// "hash --check": checks the files that checksum lists or hash reports name,
// and reports each as sha1sum -c does.

#include <ostream>

#include "cli/cli.h"
#include "core/error.h"
#include "core/jobs/hash_check.h"

namespace ciphra::cli {

namespace {

const char* OutcomeText(CheckOutcome outcome)
{
    switch (outcome) {
    case CheckOutcome::Ok:
        return "OK";
    case CheckOutcome::Failed:
        return "FAILED";
    case CheckOutcome::Unreadable:
        break;
    }
    return "unreadable";
}

void Warn(CliIo& io, std::size_t count, const char* one, const char* many)
{
    if (count > 0) {
        io.Err << "ciphra2k-cli: WARNING: " << count << ' ' << (count == 1 ? one : many) << '\n';
    }
}

struct Tally {
    std::size_t Failed = 0;
    std::size_t Unreadable = 0;
};

// Checks every line of one list; true when all of them match.
bool CheckList(const std::string& listPath, CliIo& io)
{
    ChecksumList list;
    try {
        list = ReadChecksumFile(listPath);
    } catch (const Exception& error) {
        ReportFailure(io, listPath + ": " + error.what());
        return false;
    }
    if (list.Entries.empty()) {
        ReportFailure(io, listPath + ": no properly formatted checksum lines found");
        return false;
    }
    Tally tally;
    for (const ChecksumEntry& entry : list.Entries) {
        const CheckOutcome outcome = CheckFile(entry.Name, entry.Expected);
        tally.Failed += outcome == CheckOutcome::Failed ? 1 : 0;
        tally.Unreadable += outcome == CheckOutcome::Unreadable ? 1 : 0;
        bool escaped = false;
        const std::string shown = EscapedName(entry.Name, &escaped);
        // One line per file as each is done: a long list shows its progress.
        io.Out << (escaped ? "\\" : "") << shown << ": " << OutcomeText(outcome) << std::endl;
    }
    Warn(io, list.BadLines, "line is improperly formatted", "lines are improperly formatted");
    Warn(io, tally.Unreadable, "listed file could not be read", "listed files could not be read");
    Warn(io, tally.Failed, "computed checksum did NOT match", "computed checksums did NOT match");
    return tally.Failed == 0 && tally.Unreadable == 0;
}

} // namespace

int RunHashCheck(const Arguments& lists, CliIo& io)
{
    bool allMatch = true;
    try {
        for (const std::string& list : lists) {
            allMatch = CheckList(list, io) && allMatch;
        }
    } catch (const Exception& error) { // the crypto library failed
        return ReportFailure(io, error.what());
    }
    return allMatch ? ExitOk : ExitFailed;
}

} // namespace ciphra::cli
