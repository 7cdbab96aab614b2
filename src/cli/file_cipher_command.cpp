// "encrypt" and "decrypt": the file cipher job over whole files, beside or in place.

#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "core/io/path_names.h"
#include "core/jobs/file_cipher.h"

namespace ciphra::cli {

namespace {

constexpr const char* EncryptHelp = R"(
Encrypts each FILE with Twofish into FILE.CPH beside it (the full name plus
".CPH"). The encrypted file has exactly the length of FILE. A password typed
on the terminal is asked twice.
)";
constexpr const char* DecryptHelp = R"(
Decrypts each FILE into a file beside it named with FILE's extension replaced
by ".dec" ("a.txt.CPH" gives "a.txt.dec", "noext" gives "noext.dec").
A wrong password is not detected: it gives a file of the right length that
holds other bytes.
)";
constexpr const char* CommonHelp = R"(
Options:
  --in-place          replace each FILE by its transformed form instead. The
                      result is written to a new file in FILE's folder,
                      flushed to disk and renamed over FILE only when complete,
                      so FILE is never left half transformed. It keeps FILE's
                      owner, group, permissions and extended attributes. A
                      link is followed: its target is replaced. Other hard
                      links of FILE keep the former contents (a note says so).
  --force             replace an existing output beside FILE (its name is
                      replaced; nothing is written into the old file)
  --raw-key           key with the password's own bytes (1 to 32 bytes) instead
                      of its SHA-1 digest; decrypting needs the same choice
  --password-file F   read the password from F, less one trailing line break
                      (LF or CR LF); without it the password is asked on the
                      terminal
  --help              show this help

The password is asked once for all files. Without --force an output name that
is already taken is never replaced: the command stops with a message instead.
Outputs are written under a temporary name in their folder and appear under
their own name only when complete. All files are checked before the first is
written: only regular files are transformed, a file named twice is
transformed once, and the password file is never one of them. When a later
file fails, the files before it stay done.

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

// The message for a plan that cannot go on, naming the file concerned.
std::string Problem(const CipherPlan& plan)
{
    const std::string& source = plan.Job.Source;
    switch (plan.Status) {
    case CipherStatus::SourceUnusable:
        if (plan.Error == ExcludedSource) {
            return source + ": is the password file; it is not transformed";
        }
        if (plan.Error == EISDIR) {
            return source + ": is a folder, not a file";
        }
        return source + ": " + IoErrorText(plan.Error);
    case CipherStatus::OutputTaken:
        if (plan.Error == SharedOutput) {
            return plan.Output + ": two FILEs would be written to this name";
        }
        return plan.Output + ": file exists, not replaced";
    case CipherStatus::OutputUnusable:
        if (plan.Error == EEXIST) {
            return plan.Output + ": is " + source + " itself, not replaced";
        }
        if (plan.Error == EISDIR) {
            return plan.Output + ": is a folder, not replaced";
        }
        return "cannot write in " + FolderOf(plan.Output) + ": " + IoErrorText(plan.Error);
    case CipherStatus::OwnerNotKept:
        return source + ": its owner and group cannot be kept (" + IoErrorText(plan.Error) +
               "); not replaced";
    case CipherStatus::Ready:
    case CipherStatus::Done:
        break;
    }
    return source;
}

std::string LinksNote(const CipherPlan& plan)
{
    return plan.Job.Source + ": " + std::to_string(plan.OtherLinks) + " other hard link" +
           (plan.OtherLinks == 1 ? "" : "s") + " to this file still hold" +
           (plan.OtherLinks == 1 ? "s" : "") + " its former contents";
}

int RunFileCipher(CipherDirection direction, const Arguments& args, CliIo& io)
{
    const bool encrypt = direction == CipherDirection::Encrypt;
    const std::string usage = UsageOf(encrypt ? "encrypt" : "decrypt");
    CommandLine line;
    if (auto problem = ParseCommandLine(args, {"--in-place", "--raw-key", "--force"}, true, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << (encrypt ? EncryptHelp : DecryptHelp) << CommonHelp;
        return ExitOk;
    }
    if (line.Operands.empty()) {
        return ReportUsage(io, "no FILE given", usage);
    }
    const bool inPlace = line.Has("--in-place");
    std::vector<CipherJob> jobs;
    for (const std::string& path : line.Operands) {
        CipherJob job;
        job.Direction = direction;
        job.Where = inPlace ? Placement::InPlace : Placement::Beside;
        job.Existing = line.Has("--force") ? ExistingOutput::Replace : ExistingOutput::Refuse;
        job.Source = path;
        jobs.push_back(job);
    }
    try {
        const std::optional<FileIdentity> passwordFile =
            line.PasswordFile ? IdentityOf(*line.PasswordFile) : std::nullopt;
        const std::vector<CipherPlan> plans = PlanCipherBatch(jobs, passwordFile);
        if (plans.back().Status != CipherStatus::Ready) {
            return ReportFailure(io, Problem(plans.back()));
        }
        KeyMaterial key;
        {
            SecretText password;
            ObtainPassword(line.PasswordFile, io.Prompt, password,
                           encrypt ? Confirmation::Twice : Confirmation::Once);
            MakeKeyMaterial(password.View(), !line.Has("--raw-key"), key);
        }
        for (const CipherPlan& plan : plans) {
            CipherPlan result;
            try {
                result = RunCipherJob(plan, key, nullptr);
            } catch (const FileError& error) {
                return ReportFailure(io, plan.Job.Source + ": " + error.what());
            }
            if (result.Status != CipherStatus::Done) {
                return ReportFailure(io, Problem(result));
            }
            io.Out << (inPlace ? result.Job.Source : result.Output) << '\n';
            if (result.OtherLinks > 0) {
                io.Err << "ciphra2k-cli: note: " << LinksNote(result) << '\n';
            }
        }
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    return ExitOk;
}

} // namespace

int RunEncryptCommand(const Arguments& args, CliIo& io)
{
    return RunFileCipher(CipherDirection::Encrypt, args, io);
}

int RunDecryptCommand(const Arguments& args, CliIo& io)
{
    return RunFileCipher(CipherDirection::Decrypt, args, io);
}

} // namespace ciphra::cli
