// "hash": the SHA-1 digest of a file, in the hash window's Hex or Char form,
// and optionally the hash window's report file.

#include <ostream>

#include "cli/cli.h"
#include "cli/file_tree.h"
#include "cli/options.h"
#include "cli/value_option.h"
#include "core/io/posix_file.h"
#include "core/jobs/date_text.h"
#include "core/jobs/file_hash.h"

namespace ciphra::cli {

namespace {

constexpr const char* HashHelp = R"(
Prints the SHA-1 digest of FILE: "0x" and 40 upper-case hexadecimal digits.
The file is only read.

Options:
  --base64       print the digest as Base64 of its bytes with every zero byte
                 left out instead (the hash window's "Char" form)
  --report OUT   also save the hash report to OUT: ten lines ended by CR LF
                 with FILE as given, the local date and time, and the digest
                 in the form printed. An existing OUT is never replaced.
  -r, --recursive
                 FILE may be a folder, and several may be given: every regular
                 file below is hashed, one line each: the digest, two blanks,
                 the file's path (a path holding a line break or a backslash
                 has them written as "\n" and "\\", and the line starts with
                 "\"). Symbolic links are not followed, other file systems are
                 not entered, and FIFOs, devices and sockets are passed by,
                 each with a note. A summary on standard error ends the run.
  --help         show this help

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

// "DIGEST  PATH", with a line break or backslash in PATH escaped as the
// checksum tools do, so that each file takes one line.
std::string ListLine(const std::string& digest, const std::string& path)
{
    std::string escaped;
    for (const char c : path) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\\') {
            escaped += "\\\\";
        } else {
            escaped += c;
        }
    }
    return (escaped.size() == path.size() ? "" : "\\") + digest + "  " + escaped;
}

int HashTree(const CommandLine& line, CliIo& io)
{
    Tally tally;
    for (const std::string& path : FilesOfOperands(line.Operands, io, tally)) {
        try {
            int openError = 0;
            const std::optional<Sha1Digest> digest = DigestOfFile(path, &openError);
            if (!digest) {
                ReportFailure(io, path + ": " +
                                      (openError != 0 ? IoErrorText(openError)
                                                      : std::string("not a regular file")));
                ++tally.Failed;
                continue;
            }
            io.Out << ListLine(line.Has("--base64") ? CharForm(*digest) : HexForm(*digest), path)
                   << '\n';
            ++tally.Done;
        } catch (const FileError& error) {
            ReportFailure(io, path + ": " + error.what());
            ++tally.Failed;
        }
    }
    return EndOfRun(io, tally, "hashed");
}

} // namespace

int RunHashCommand(const Arguments& args, CliIo& io)
{
    const std::string usage = UsageOf("hash");
    Arguments rest = args;
    std::optional<std::string> reportPath;
    if (auto problem = TakeValueOption(rest, "--report", reportPath)) {
        return ReportUsage(io, *problem, usage);
    }
    CommandLine line;
    if (auto problem = ParseCommandLine(rest, {"--base64", "-r", "--recursive"}, false, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << HashHelp;
        return ExitOk;
    }
    if (line.Has("-r") || line.Has("--recursive")) {
        if (reportPath || line.Operands.empty()) {
            return ReportUsage(io, reportPath ? "--report takes one FILE, not -r" : "no FILE given",
                               usage);
        }
        return HashTree(line, io);
    }
    if (line.Operands.size() != 1) {
        return ReportUsage(io, "give exactly one FILE", usage);
    }
    const std::string& path = line.Operands.front();
    if (IsDirectory(path)) {
        return ReportFailure(io, path + ": is a folder, not a file");
    }
    std::string hashText;
    try {
        int openError = 0;
        const std::optional<Sha1Digest> digest = DigestOfFile(path, &openError);
        if (!digest) {
            return ReportFailure(io, path + ": " +
                                         (openError != 0 ? IoErrorText(openError)
                                                         : std::string("not a regular file")));
        }
        hashText = line.Has("--base64") ? CharForm(*digest) : HexForm(*digest);
        if (reportPath) {
            const std::string report = HashReport(path, LocalDateTimeText(), hashText);
            switch (SaveHashReport(*reportPath, report)) {
            case ReportSave::Saved:
                break;
            case ReportSave::Exists:
                return ReportFailure(io, "ERROR #142, file already exists, cannot overwrite.");
            case ReportSave::CannotCreate:
                return ReportFailure(
                    io, "ERROR #132, Cannot create: disk is read-only or disk failure.");
            }
        }
    } catch (const FileError& error) {
        return ReportFailure(io, path + ": " + error.what());
    }
    io.Out << hashText << '\n';
    return ExitOk;
}

} // namespace ciphra::cli
