// "hash": the SHA-1 or SHA-256 digest of a file, in the hash window's Hex or
// Char form, and optionally the hash window's report file; with -r, one
// line per file below folders; with --check, the files that checksum lists
// name, checked.

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
Prints the SHA-1 digest of FILE: "0x" and 40 upper-case hexadecimal digits
(64 for SHA-256). The file is only read.

Options:
  --algorithm A  sha1 (the default) or sha256
  --base64       print the digest as Base64 of its bytes with every zero byte
                 left out instead (the hash window's "Char" form)
  --report OUT   also save the hash report to OUT: ten lines ended by CR LF
                 with FILE as given, the local date and time, and the digest
                 in the form printed; its first line names the algorithm.
                 An existing OUT is never replaced.
  -r, --recursive
                 FILE may be a folder, and several may be given: every regular
                 file below is hashed with the algorithm chosen, one line each:
                 the digest, two blanks, the file's path (a path holding a line
                 break, carriage return or backslash has them written as "\n",
                 "\r" and "\\", and the line starts with "\"). Symbolic links
                 are not followed, other file systems are not entered, and
                 FIFOs, devices and sockets are passed by, each with a note. A
                 summary on standard error ends the run. hash --check reads
                 these lines back (in the Hex form).
  --help         show this help

hash --check LIST... reads each LIST, a hash report (.hsh) or a list as
sha1sum and sha256sum write it (text or binary markers, escaped names, the
--tag form), checks every file it names and prints "NAME: OK", "NAME: FAILED"
or "NAME: unreadable" (missing, no permission, or not a regular file: FIFOs
and devices are never opened). Relative names are taken from the current
folder. Each line's algorithm follows from its length (40 hexadecimal digits
SHA-1, 64 SHA-256); lines that are neither are counted in a warning.

Exit status: 0 done (with --check: every listed file matches), 1 failed
(message on standard error), 2 usage error.
)";

// "DIGEST  PATH", with a line break, carriage return or backslash in PATH
// escaped as the checksum tools do, so that each file takes one line that
// hash --check reads back.
std::string ListLine(const std::string& digest, const std::string& path)
{
    std::string escaped;
    for (const char c : path) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (c == '\\') {
            escaped += "\\\\";
        } else {
            escaped += c;
        }
    }
    return (escaped.size() == path.size() ? "" : "\\") + digest + "  " + escaped;
}

int HashTree(const CommandLine& line, HashAlgorithm algorithm, CliIo& io)
{
    Tally tally;
    for (const std::string& path : FilesOfOperands(line.Operands, io, tally)) {
        try {
            int openError = 0;
            const std::optional<Digest> digest = DigestOfFile(path, algorithm, &openError);
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
    std::optional<std::string> algorithmText;
    if (auto problem = TakeValueOption(rest, "--report", reportPath)) {
        return ReportUsage(io, *problem, usage);
    }
    if (auto problem = TakeValueOption(rest, "--algorithm", algorithmText)) {
        return ReportUsage(io, *problem, usage);
    }
    const std::optional<HashAlgorithm> algorithm =
        algorithmText ? AlgorithmFromText(*algorithmText) : HashAlgorithm::Sha1;
    if (!algorithm) {
        return ReportUsage(io, "unknown algorithm " + *algorithmText + " (sha1 or sha256)", usage);
    }
    CommandLine line;
    if (auto problem =
            ParseCommandLine(rest, {"--base64", "--check", "-r", "--recursive"}, false, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << HashHelp;
        return ExitOk;
    }
    const bool recursive = line.Has("-r") || line.Has("--recursive");
    if (line.Has("--check")) {
        if (reportPath || algorithmText || line.Has("--base64") || recursive) {
            return ReportUsage(io, "--check takes no other option", usage);
        }
        if (line.Operands.empty()) {
            return ReportUsage(io, "give at least one LIST", usage);
        }
        return RunHashCheck(line.Operands, io);
    }
    if (recursive) {
        if (reportPath || line.Operands.empty()) {
            return ReportUsage(io, reportPath ? "--report takes one FILE, not -r" : "no FILE given",
                               usage);
        }
        return HashTree(line, *algorithm, io);
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
        const std::optional<Digest> digest = DigestOfFile(path, *algorithm, &openError);
        if (!digest) {
            return ReportFailure(io, path + ": " +
                                         (openError != 0 ? IoErrorText(openError)
                                                         : std::string("not a regular file")));
        }
        hashText = line.Has("--base64") ? CharForm(*digest) : HexForm(*digest);
        if (reportPath) {
            const std::string report = HashReport(*algorithm, path, LocalDateTimeText(), hashText);
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
