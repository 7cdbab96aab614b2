// "sfx": writes a self-decrypting program for one file.

#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "core/io/interrupts.h"
#include "core/jobs/sfx_writer.h"

namespace ciphra::cli {

namespace {

constexpr const char* SfxUsage = "Usage: ciphra2k-cli sfx [--password-file F] [--stub PATH] FILE";

constexpr const char* SfxHelp = R"(
Writes a self-decrypting program for FILE: FILE's name with its extension
replaced by ".exe" ("report.doc" gives "report.exe"). Run on any Linux machine,
the program asks for the password (in a small window, or on the terminal when
there is no display) and restores FILE beside itself with the extension ".dec".

The payload is keyed with the password's own bytes, so the password must be
1 to 32 bytes long. An existing file of the program's name is never replaced.

Options:
  --password-file F   read the password from F, less one trailing newline;
                      without it the password is asked on the terminal
  --stub PATH         the stub to put in front of the payload; by default
                      sfdstub.dtt in this tool's own folder
  --help              show this help

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

constexpr std::string_view StubOption = "--stub";
constexpr std::size_t LongestRawKey = 32;

// Takes "--stub PATH" or "--stub=PATH" out of the arguments (before any
// "--"), leaving the rest to the common option parser.
std::optional<std::string> ExtractStubOption(Arguments& args, std::string& stubPath)
{
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        if (args[i] == StubOption) {
            if (i + 1 == args.size())
                return "option --stub needs a file name";
            stubPath = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i + 2));
            --i;
        } else if (args[i].starts_with(std::string(StubOption) + "=")) {
            stubPath = args[i].substr(StubOption.size() + 1);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            --i;
        }
    }
    return std::nullopt;
}

std::string DefaultStubPath()
{
    return FolderOf(ResolvePath("/proc/self/exe")) + "/sfdstub.dtt";
}

// An interrupting signal removes the working file too.
class InterruptCleanup final : public WorkingFileWatch {
public:
    void WorkingFileCreated(const std::string& path) override { RememberTemporary(path); }
    void WorkingFileGone() override { ForgetTemporary(); }
};

} // namespace

int RunSfxCommand(const Arguments& arguments, CliIo& io)
{
    Arguments args = arguments;
    std::string stubPath;
    CommandLine line;
    if (auto problem = ExtractStubOption(args, stubPath)) {
        return ReportUsage(io, *problem, SfxUsage);
    }
    if (auto problem = ParseCommandLine(args, {}, true, line)) {
        return ReportUsage(io, *problem, SfxUsage);
    }
    if (line.Help) {
        io.Out << SfxUsage << '\n' << SfxHelp;
        return ExitOk;
    }
    if (line.Operands.size() != 1) {
        return ReportUsage(io, "give exactly one FILE", SfxUsage);
    }
    try {
        if (stubPath.empty()) {
            stubPath = DefaultStubPath();
        }
        SecretText password;
        ObtainPassword(line.PasswordFile, io.Prompt, password);
        if (password.Empty() || password.View().size() > LongestRawKey) {
            return ReportFailure(io,
                                 "the password of a self-decrypting program must be 1 to 32 bytes");
        }
        InterruptCleanup cleanup;
        io.Out << WriteSelfDecryptingProgram(line.Operands[0], password.View(), stubPath, nullptr,
                                             &cleanup)
               << '\n';
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    return ExitOk;
}

} // namespace ciphra::cli
