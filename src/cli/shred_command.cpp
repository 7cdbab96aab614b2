// "shred": overwrites files in place and deletes them, as the shred command
// of the windows does.

#include <charconv>
#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/cli.h"
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

bool UserConfirms(CliIo& io)
{
    io.Err << "Are you sure you want to wipe this file?\n"
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
    if (auto problem = ParseCommandLine(rest, {"--yes"}, false, line)) {
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
    if (!line.Has("--yes") && !UserConfirms(io)) {
        return ReportFailure(io, "not confirmed; nothing was shredded");
    }

    int exitCode = ExitOk;
    for (const std::string& path : line.Operands) {
        AllowOwnerWrite(path);
        WipeOutcome outcome;
        try {
            outcome = WipeFile(path, passes, [] { return LocalDateTimeText(); });
        } catch (const Exception& error) {
            // The file stays on disk, partly overwritten; the rest are not touched.
            return ReportFailure(io, path + ": " + error.what());
        }
        if (outcome == WipeOutcome::Succeeded) {
            io.Out << path << '\n';
        } else {
            exitCode = ReportFailure(io, path + WhyNotShredded(path));
        }
    }
    return exitCode;
}

} // namespace ciphra::cli
