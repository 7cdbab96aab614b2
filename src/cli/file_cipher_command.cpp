// "encrypt" and "decrypt": the file cipher job over whole files, beside or in place.

#include <algorithm>
#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "cli/value_option.h"
#include "core/io/path_names.h"
#include "core/jobs/age_keys.h"
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
)";
constexpr const char* ExitHelp = R"(
Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";
constexpr const char* AgeEncryptHelp = R"(
The age format:
  --format age        write FILE.age in the age format instead: authenticated
                      (a wrong password or any change to the file is found),
                      and readable by the age tools. Without recipients it is
                      encrypted with the password. The default, --format cph,
                      is the .CPH format above.
  --recipient KEY     encrypt to the public key KEY (age1...) instead of a
                      password; may be given many times
  --recipients-file F encrypt to every public key in F, one a line ("#" starts
                      a comment); may be given many times
  --armor             write the age file as ASCII text (PEM armor)
)";
constexpr const char* AgeDecryptHelp = R"(
Age files are recognised by their first bytes, binary or armored, and are
decrypted into FILE less ".age" ("x.txt.age" gives "x.txt"). Every part of
an age file is checked before the output takes its name: a wrong password or
identity, or a file that was cut or altered, stops the command with a message
and leaves nothing behind.
  --identity F        open age files made for recipients with the identities
                      (AGE-SECRET-KEY-1...) in F, as "ciphra2k-cli keygen" and
                      age-keygen write them; may be given many times
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

// What the command line says beyond the common options.
struct FormatOptions {
    std::optional<std::string> Format;
    std::vector<std::string> Recipients;
    std::vector<std::string> RecipientsFiles;
    std::vector<std::string> IdentityFiles;
};

std::optional<std::string> TakeFormatOptions(bool encrypt, Arguments& args, FormatOptions& out)
{
    if (!encrypt) {
        return TakeValueOptions(args, "--identity", out.IdentityFiles);
    }
    if (auto problem = TakeValueOption(args, "--format", out.Format)) {
        return problem;
    }
    if (auto problem = TakeValueOptions(args, "--recipient", out.Recipients)) {
        return problem;
    }
    return TakeValueOptions(args, "--recipients-file", out.RecipientsFiles);
}

// The problem with an encrypt command line's choice of format, if any.
std::optional<std::string> FormatProblem(const FormatOptions& options, const CommandLine& line)
{
    if (options.Format && *options.Format != "age" && *options.Format != "cph") {
        return "unknown format " + *options.Format + " (cph or age)";
    }
    const bool age = options.Format == "age";
    const bool toRecipients = !options.Recipients.empty() || !options.RecipientsFiles.empty();
    if (!age && (toRecipients || line.Has("--armor"))) {
        return "--recipient, --recipients-file and --armor need --format age";
    }
    if (age && line.Has("--raw-key")) {
        return "--raw-key applies to the .CPH format only";
    }
    if (toRecipients && line.PasswordFile) {
        return "a password and recipients exclude each other";
    }
    return std::nullopt;
}

std::vector<age::Recipient> RecipientsOf(const FormatOptions& options)
{
    std::vector<age::Recipient> recipients;
    for (const std::string& text : options.Recipients) {
        const std::optional<age::Recipient> recipient = age::ParseRecipient(text);
        if (!recipient) {
            throw Exception(text + ": not an age recipient (age1...)");
        }
        recipients.push_back(*recipient);
    }
    for (const std::string& path : options.RecipientsFiles) {
        const std::vector<age::Recipient> listed = age::ReadRecipientsFile(path);
        recipients.insert(recipients.end(), listed.begin(), listed.end());
    }
    return recipients;
}

bool IsAge(const CipherPlan& plan)
{
    return plan.Format == CipherFormat::Age;
}

bool OpensWith(const CipherPlan& plan, age::Lock lock)
{
    return IsAge(plan) && plan.Lock == lock;
}

int RunFileCipher(CipherDirection direction, const Arguments& args, CliIo& io)
{
    const bool encrypt = direction == CipherDirection::Encrypt;
    const std::string usage = UsageOf(encrypt ? "encrypt" : "decrypt");
    Arguments rest = args;
    FormatOptions formats;
    if (auto problem = TakeFormatOptions(encrypt, rest, formats)) {
        return ReportUsage(io, *problem, usage);
    }
    CommandLine line;
    std::vector<std::string_view> flags = {"--in-place", "--raw-key", "--force"};
    if (encrypt) {
        flags.emplace_back("--armor");
    }
    if (auto problem = ParseCommandLine(rest, flags, true, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n'
               << (encrypt ? EncryptHelp : DecryptHelp) << CommonHelp
               << (encrypt ? AgeEncryptHelp : AgeDecryptHelp) << ExitHelp;
        return ExitOk;
    }
    if (line.Operands.empty()) {
        return ReportUsage(io, "no FILE given", usage);
    }
    if (auto problem = encrypt ? FormatProblem(formats, line) : std::nullopt) {
        return ReportUsage(io, *problem, usage);
    }
    const bool inPlace = line.Has("--in-place");
    std::vector<CipherJob> jobs;
    for (const std::string& path : line.Operands) {
        CipherJob job;
        job.Direction = direction;
        job.Where = inPlace ? Placement::InPlace : Placement::Beside;
        job.Existing = line.Has("--force") ? ExistingOutput::Replace : ExistingOutput::Refuse;
        job.Source = path;
        job.Format = formats.Format == "age" ? CipherFormat::Age : CipherFormat::Cph;
        jobs.push_back(job);
    }
    try {
        const std::optional<FileIdentity> passwordFile =
            line.PasswordFile ? IdentityOf(*line.PasswordFile) : std::nullopt;
        const std::vector<CipherPlan> plans = PlanCipherBatch(jobs, passwordFile);
        if (plans.back().Status != CipherStatus::Ready) {
            return ReportFailure(io, Problem(plans.back()));
        }
        age::Keys ageKeys;
        ageKeys.Armor = line.Has("--armor");
        ageKeys.Recipients = RecipientsOf(formats);
        for (const CipherPlan& plan : plans) {
            if (!encrypt && OpensWith(plan, age::Lock::Recipients) &&
                formats.IdentityFiles.empty()) {
                return ReportFailure(io, plan.Job.Source +
                                             ": is encrypted to recipients; give the identity "
                                             "file with --identity F");
            }
        }
        for (const std::string& path : formats.IdentityFiles) {
            std::vector<age::Identity> identities = age::ReadIdentityFile(path);
            ageKeys.Identities.insert(ageKeys.Identities.end(), identities.begin(),
                                      identities.end());
        }
        // A password is asked for unless every file is an age file that
        // opens without one.
        const bool needsPassword =
            encrypt ? ageKeys.Recipients.empty()
                    : std::any_of(plans.begin(), plans.end(), [](const CipherPlan& plan) {
                          return !IsAge(plan) || OpensWith(plan, age::Lock::Password);
                      });
        SecretText password;
        KeyMaterial key;
        if (needsPassword) {
            ObtainPassword(line.PasswordFile, io.Prompt, password,
                           encrypt ? Confirmation::Twice : Confirmation::Once);
            MakeKeyMaterial(password.View(), !line.Has("--raw-key"), key);
            ageKeys.Password = password.View();
        }
        for (const CipherPlan& plan : plans) {
            CipherPlan result;
            try {
                result = IsAge(plan) ? RunAgeJob(plan, ageKeys, nullptr)
                                     : RunCipherJob(plan, key, nullptr);
            } catch (const FileError& error) {
                return ReportFailure(io, plan.Job.Source + ": " + error.what());
            } catch (const age::AgeError& error) {
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
