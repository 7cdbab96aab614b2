// "sfx": writes a self-decrypting program for one file.

#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "cli/value_option.h"
#include "core/jobs/output_names.h"
#include "core/jobs/sfx_writer.h"

namespace ciphra::cli {

namespace {

constexpr const char* SfxHelp = R"(
Writes a self-decrypting program for FILE: FILE's name with its extension
replaced by ".exe" ("report.doc" gives "report.exe"). Run on any Linux machine,
the program asks for the password (in a small window, or on the terminal when
there is no display) and restores FILE beside itself with the extension ".dec".

The payload is keyed with the password's own bytes, so the password must be
1 to 32 bytes long; a password typed on the terminal is asked twice. FILE is
encrypted while it is copied: its plain bytes are written nowhere. An existing
file of the program's name is never replaced.

Options:
  --password-file F   read the password from F, less one trailing line break
                      (LF or CR LF); without it the password is asked on the
                      terminal
  --stub PATH         the stub to put in front of the payload; by default
                      sfdstub.dtt beside this tool, or else the installed one
                      in ../lib/ciphra2k from this tool's folder. It must be a
                      stub of self-decrypting programs.
  --help              show this help

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

constexpr std::size_t LongestRawKey = 32;

std::string Problem(const SfxOutcome& outcome, const std::string& plainPath)
{
    if (outcome.Status == SfxStatus::ProgramNameTaken) {
        return outcome.Program + ": file exists, not replaced";
    }
    if (outcome.Error == EISDIR) {
        return plainPath + ": is a folder, not a file";
    }
    return plainPath + ": " + IoErrorText(outcome.Error);
}

} // namespace

int RunSfxCommand(const Arguments& arguments, CliIo& io)
{
    const std::string usage = UsageOf("sfx");
    Arguments args = arguments;
    std::optional<std::string> stubPath;
    CommandLine line;
    if (auto problem = TakeValueOption(args, "--stub", stubPath)) {
        return ReportUsage(io, *problem, usage);
    }
    if (auto problem = ParseCommandLine(args, {}, true, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << SfxHelp;
        return ExitOk;
    }
    if (line.Operands.size() != 1) {
        return ReportUsage(io, "give exactly one FILE", usage);
    }
    const std::string& plainPath = line.Operands[0];
    try {
        // Checked before the password is asked for, and again when written.
        if (const SfxOutcome check = CheckSelfDecryptingProgram(plainPath);
            check.Status != SfxStatus::Done) {
            return ReportFailure(io, Problem(check, plainPath));
        }
        SecretText password;
        ObtainPassword(line.PasswordFile, io.Prompt, password, Confirmation::Twice);
        if (password.View().size() > LongestRawKey) {
            return ReportFailure(io,
                                 "the password of a self-decrypting program must be 1 to 32 bytes");
        }
        const SfxOutcome outcome = WriteSelfDecryptingProgram(
            plainPath, password.View(), stubPath ? *stubPath : DefaultStubPath());
        if (outcome.Status != SfxStatus::Done) {
            return ReportFailure(io, Problem(outcome, plainPath));
        }
        io.Out << outcome.Program << '\n';
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    return ExitOk;
}

} // namespace ciphra::cli
