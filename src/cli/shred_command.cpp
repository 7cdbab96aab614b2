// "shred": overwrites files in place and deletes them, as the shred command
// of the windows does.

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
#include "core/jobs/shredder.h"

namespace ciphra::cli {

namespace {

constexpr const char* ShredHelp = R"(
Destroys the contents of each FILE, then deletes it. The file is first given
the owner's write permission and renamed to a fixed meaningless name in its
folder; each pass then overwrites every byte three times: all 0x00, all 0xFF,
then Twofish ciphertext under a key made from the path and the clock. Each
overwrite is flushed to the device before the next. Copy-on-write and
journaling file systems, snapshots and SSDs may keep old copies anyway.

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
Exit status: 0 all shredded, 1 something failed or the question was declined
(message on standard error), 2 usage error.
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
    const std::string count = tree ? std::to_string(files.size()) +
                                         (files.size() == 1 ? " file" : " files") +
                                         " below the folders named will be wiped.\n"
                                   : std::string();
    if (!line.Has("--yes") && !UserConfirms(io, count)) {
        return ReportFailure(io, "not confirmed; nothing was shredded");
    }

    int exitCode = ExitOk;
    for (const std::string& path : files) {
        AllowOwnerWrite(path);
        WipeOutcome outcome = WipeOutcome::OpenFailed;
        try {
            outcome = WipeFile(path, passes, [] { return LocalDateTimeText(); });
        } catch (const Exception& error) {
            // The file stays on disk, partly overwritten. Named files stop
            // here; with -r the rest are still shredded.
            exitCode = ReportFailure(io, path + ": " + error.what());
            if (!tree) {
                return exitCode;
            }
            ++tally.Failed;
            continue;
        }
        if (outcome == WipeOutcome::Succeeded) {
            io.Out << path << '\n';
            ++tally.Done;
        } else {
            exitCode = ReportFailure(io, path + WhyNotShredded(path));
            ++tally.Failed;
        }
    }
    return tree ? EndOfRun(io, tally, "shredded") : exitCode;
}

} // namespace ciphra::cli
