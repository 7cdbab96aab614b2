// encrypt and decrypt over named files, and with -r over folders.

#include <algorithm>
#include <cctype>
#include <ostream>

#include "cli/cipher_request.h"
#include "cli/file_tree.h"
#include "core/io/path_names.h"
#include "core/jobs/cipher_batch.h"

namespace ciphra::cli {

namespace {

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

bool IsAge(const CipherPlan& plan)
{
    return plan.Format == CipherFormat::Age;
}

bool OpensWith(const CipherPlan& plan, age::Lock lock)
{
    return IsAge(plan) && plan.Lock == lock;
}

// Decrypting with -r takes, of the files found in folders, only those named
// as encrypted files are: any other file would decrypt into noise.
bool LooksEncrypted(const std::string& path)
{
    std::string name = NameOf(path);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name.ends_with(".cph") || name.ends_with(".age");
}

std::vector<CipherJob> JobsFor(const CipherRequest& request, const std::vector<std::string>& files)
{
    std::vector<CipherJob> jobs;
    for (const std::string& path : files) {
        CipherJob job;
        job.Direction = request.Direction;
        job.Where = request.Line.Has("--in-place") ? Placement::InPlace : Placement::Beside;
        job.Existing =
            request.Line.Has("--force") ? ExistingOutput::Replace : ExistingOutput::Refuse;
        job.Source = path;
        job.ChosenOutput = request.Output.value_or("");
        job.Format = request.FormatWritten();
        jobs.push_back(job);
    }
    return jobs;
}

// The files to work on: the operands, or with -r the files below them.
std::vector<std::string> FilesOf(const CipherRequest& request, CliIo& io, Tally& tally)
{
    if (!request.Recursive()) {
        return request.Line.Operands;
    }
    std::vector<bool> found;
    std::vector<std::string> files = FilesOfOperands(request.Line.Operands, io, tally, &found);
    if (request.Encrypt()) {
        return files;
    }
    std::vector<std::string> encrypted;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!found[i] || LooksEncrypted(files[i])) {
            encrypted.push_back(files[i]);
        }
    }
    return encrypted;
}

// The message of a plan that did not end done ("" when done). A fault other
// than the file's own or the age file's ends the whole command.
std::string Problem(const CipherOutcome& outcome)
{
    if (outcome.Failure) {
        try {
            std::rethrow_exception(outcome.Failure);
        } catch (const FileError& error) {
            return outcome.Plan.Job.Source + ": " + error.what();
        } catch (const age::AgeError& error) {
            return outcome.Plan.Job.Source + ": " + error.what();
        }
    }
    return outcome.Plan.Status == CipherStatus::Done ? std::string() : Problem(outcome.Plan);
}

// Says what became of one file: its output's name, or what went wrong.
void Report(const CipherOutcome& outcome, CliIo& io, Tally& tally)
{
    const std::string problem = Problem(outcome);
    if (!problem.empty()) {
        ReportFailure(io, problem);
        ++tally.Failed;
        return;
    }
    const CipherPlan& result = outcome.Plan;
    const bool inPlace = result.Job.Where == Placement::InPlace;
    io.Out << (inPlace ? result.Job.Source : result.Output) << '\n';
    if (result.OtherLinks > 0) {
        io.Err << "ciphra2k-cli: note: " << LinksNote(result) << '\n';
    }
    ++tally.Done;
}

// A password is asked for unless every file is an age file that opens
// without one (encrypting: unless there are recipients).
bool NeedsPassword(const CipherRequest& request, const std::vector<CipherPlan>& plans)
{
    if (request.Encrypt()) {
        return request.Recipients.empty() && request.RecipientsFiles.empty();
    }
    return std::any_of(plans.begin(), plans.end(), [](const CipherPlan& plan) {
        return plan.Status == CipherStatus::Ready &&
               (!IsAge(plan) || OpensWith(plan, age::Lock::Password));
    });
}

// The first file made for recipients, when no identity is given to open it.
const CipherPlan* LockedToRecipients(const CipherRequest& request,
                                     const std::vector<CipherPlan>& plans)
{
    if (request.Encrypt() || !request.IdentityFiles.empty()) {
        return nullptr;
    }
    const auto locked = std::find_if(plans.begin(), plans.end(), [](const CipherPlan& plan) {
        return plan.Status == CipherStatus::Ready && OpensWith(plan, age::Lock::Recipients);
    });
    return locked == plans.end() ? nullptr : &*locked;
}

} // namespace

int RunCipherFiles(const CipherRequest& request, CliIo& io)
{
    const bool tree = request.Recursive();
    Tally tally;
    try {
        const std::vector<std::string> files = FilesOf(request, io, tally);
        const std::optional<FileIdentity> passwordFile =
            request.Line.PasswordFile ? IdentityOf(*request.Line.PasswordFile) : std::nullopt;
        const std::vector<CipherPlan> plans =
            PlanCipherBatch(JobsFor(request, files), passwordFile,
                            tree ? BatchPlanning::EveryJob : BatchPlanning::UntilProblem);
        if (!tree && plans.back().Status != CipherStatus::Ready) {
            return ReportFailure(io, Problem(plans.back()));
        }
        if (const CipherPlan* locked = LockedToRecipients(request, plans)) {
            return ReportFailure(io, locked->Job.Source +
                                         ": is encrypted to recipients; give the identity "
                                         "file with --identity F");
        }
        const bool anyReady = std::any_of(plans.begin(), plans.end(), [](const CipherPlan& p) {
            return p.Status == CipherStatus::Ready;
        });
        CipherKeys keys;
        if (anyReady) {
            ObtainCipherKeys(request, NeedsPassword(request, plans), io, keys);
        }
        // Without -r the command stops at the first file that fails.
        CipherBatch batch(keys.Key, keys.Age,
                          tree ? BatchFailure::GoOn : BatchFailure::StopAtFailure,
                          [&](const CipherOutcome& outcome) { Report(outcome, io, tally); });
        for (const CipherPlan& plan : plans) {
            batch.Run(plan, nullptr);
            if (batch.Stopped()) {
                return ExitFailed;
            }
        }
        batch.Finish();
        if (batch.Stopped()) {
            return ExitFailed;
        }
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    if (!tree) {
        return ExitOk;
    }
    return EndOfRun(io, tally, request.Encrypt() ? "encrypted" : "decrypted");
}

} // namespace ciphra::cli
