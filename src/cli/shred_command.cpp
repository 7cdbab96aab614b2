// "shred": overwrites files in place and deletes them, as the shred command
// of the windows does.

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/cli.h"
#include "cli/file_tree.h"
#include "cli/options.h"
#include "cli/value_option.h"
#include "core/io/posix_file.h"
#include "core/jobs/date_text.h"
#include "core/jobs/shred_limits.h"
#include "core/jobs/shredder.h"

namespace ciphra::cli {

namespace {

constexpr const char* ShredHelp = R"(
Destroys the contents of each FILE, then deletes it. The file is first given
the owner's write permission and renamed to a fixed meaningless name in its
folder; each pass then overwrites every byte three times: all 0x00, all 0xFF,
then Twofish ciphertext under a key made from the path and the clock. Each
overwrite is flushed to the device before the next.

Before anything is asked or done, the command looks at where each FILE is
kept and warns, on standard error, of what overwriting cannot reach there:
a copy-on-write or log-structured file system (btrfs, ZFS, bcachefs, F2FS,
NILFS), data shared with a reflinked copy or a snapshot, other hard links, a
network or FUSE file system, ext3/ext4 journaling data, and solid-state
storage; then it says what helps instead. A FILE whose data is shared with
a copy or snapshot, or that has other hard links, is not reported as
shredded: its name is removed, and a message says what remains.

A file that cannot be opened is reported and kept (under its own name); the
other files are still shredded. Symbolic links, folders and devices are not
shredded. Any other I/O failure stops the command.

Options:
  --passes N   passes per file, at least 1 (default 3)
  --yes        do not ask; without it the command asks once on standard
               input and goes on only for "y" or "yes"
  -r, --recursive
               FILE may be a folder: every regular file below it is
               shredded (the folders stay, emptied of those files).
               Symbolic links are not followed, other file systems are not
               entered, and FIFOs, devices and sockets are passed by, each
               with a note. A file that fails is reported and the others go
               on; a summary on standard error ends the run.
  --help       show this help

Each shredded FILE is printed on standard output.
Exit status: 0 all shredded, 1 something failed, the question was declined,
or a file's data or other names remain (message on standard error), 2 usage
error.
)";

constexpr int DefaultPasses = 3;

std::optional<int> ParsePasses(const std::string& text)
{
    int passes = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), passes);
    if (error != std::errc() || end != text.data() + text.size() || passes < 1) {
        return std::nullopt;
    }
    return passes;
}

const char* WhyNotShredded(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
        return ": is a symbolic link; neither it nor its target was touched";
    }
    return IsDirectory(path) ? ": is a folder, not a file" : ": Unable to get file from disk";
}

bool UserConfirms(CliIo& io, const std::string& what)
{
    io.Err << what << "Are you sure you want to wipe this file?\n"
           << "Note: Once the file is deleted there is no\n"
           << "way to recover it.\n"
           << "Shred? [y/N] ";
    io.Err.flush();
    std::string answer;
    std::getline(io.In, answer);
    if (!answer.empty() && answer.back() == '\r') {
        answer.pop_back();
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES";
}

std::vector<std::vector<ShredFinding>> FindLimits(const std::vector<std::string>& files)
{
    std::vector<std::vector<ShredFinding>> limits;
    limits.reserve(files.size());
    for (const std::string& path : files) {
        limits.push_back(ShredLimitsOfFile(path));
    }
    return limits;
}

// Each limit once, with the files it applies to, then what helps instead.
void WarnOfLimits(CliIo& io, const std::vector<std::string>& files,
                  const std::vector<std::vector<ShredFinding>>& limits)
{
    std::vector<std::pair<std::string, std::vector<std::string>>> texts;
    std::vector<ShredFinding> all;
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (const ShredFinding& finding : limits[i]) {
            const auto same = [&](const auto& each) { return each.first == finding.Text; };
            auto text = std::find_if(texts.begin(), texts.end(), same);
            if (text == texts.end()) {
                texts.push_back({finding.Text, {}});
                text = texts.end() - 1;
                all.push_back(finding);
            }
            text->second.push_back(files[i]);
        }
    }
    for (const auto& [text, paths] : texts) {
        const std::size_t others = paths.size() - 1;
        io.Err << "ciphra2k-cli: warning: " << paths.front();
        if (others > 0) {
            io.Err << " and " << others << (others == 1 ? " other file" : " other files");
        }
        io.Err << ": " << text << ".\n";
    }
    if (!all.empty()) {
        io.Err << "ciphra2k-cli: note: " << ShredAdvice(all) << '\n';
    }
}

// Wipes one file and tells how it went. Returns false when an I/O failure
// stopped the wipe part way (the file stays, partly overwritten).
bool Shred(const std::string& path, int passes, const std::vector<ShredFinding>& limits, CliIo& io,
           Tally& tally)
{
    AllowOwnerWrite(path);
    WipeOutcome outcome = WipeOutcome::OpenFailed;
    try {
        outcome = WipeFile(path, passes, [] { return LocalDateTimeText(); });
    } catch (const Exception& error) {
        ReportFailure(io, path + ": " + error.what());
        ++tally.Failed;
        return false;
    }
    if (outcome != WipeOutcome::Succeeded) {
        ReportFailure(io, path + WhyNotShredded(path));
        ++tally.Failed;
    } else if (const std::optional<std::string> shortOf = ShortOfShredded(limits)) {
        // Not printed as shredded: the data, or the file, outlives the shred.
        ReportFailure(io, path + ": " + *shortOf);
        ++tally.Partial;
    } else {
        io.Out << path << '\n';
        ++tally.Done;
    }
    return true;
}

} // namespace

int RunShredCommand(const Arguments& args, CliIo& io)
{
    const std::string usage = UsageOf("shred");
    Arguments rest = args;
    std::optional<std::string> passesText;
    if (auto problem = TakeValueOption(rest, "--passes", passesText)) {
        return ReportUsage(io, *problem, usage);
    }
    CommandLine line;
    if (auto problem = ParseCommandLine(rest, {"--yes", "-r", "--recursive"}, false, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << ShredHelp;
        return ExitOk;
    }
    int passes = DefaultPasses;
    if (passesText) {
        const std::optional<int> parsed = ParsePasses(*passesText);
        if (!parsed) {
            return ReportUsage(io, "--passes needs a whole number of at least 1", usage);
        }
        passes = *parsed;
    }
    if (line.Operands.empty()) {
        return ReportUsage(io, "give at least one FILE", usage);
    }
    const bool tree = line.Has("-r") || line.Has("--recursive");
    Tally tally;
    const std::vector<std::string> files =
        tree ? FilesOfOperands(line.Operands, io, tally) : line.Operands;
    if (tree && files.empty()) {
        return EndOfRun(io, tally, "shredded");
    }
    // Told before the question, and before --yes is taken at its word.
    const std::vector<std::vector<ShredFinding>> limits = FindLimits(files);
    WarnOfLimits(io, files, limits);
    const std::string count = tree ? std::to_string(files.size()) +
                                         (files.size() == 1 ? " file" : " files") +
                                         " below the folders named will be wiped.\n"
                                   : std::string();
    if (!line.Has("--yes") && !UserConfirms(io, count)) {
        return ReportFailure(io, "not confirmed; nothing was shredded");
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!Shred(files[i], passes, limits[i], io, tally) && !tree) {
            return ExitFailed; // an I/O failure stops a list of named files
        }
    }
    if (tree) {
        return EndOfRun(io, tally, "shredded", "removed but not all gone");
    }
    return tally.Failed + tally.Partial > 0 ? ExitFailed : ExitOk;
}

} // namespace ciphra::cli
