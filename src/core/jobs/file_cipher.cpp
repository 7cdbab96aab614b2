#include "core/jobs/file_cipher.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "core/io/output_file.h"

namespace ciphra {
namespace {

CipherPlan Refused(CipherPlan plan, CipherStatus status, int error)
{
    plan.Status = status;
    plan.Error = error;
    return plan;
}

bool InPlace(const CipherJob& job)
{
    return job.Where == Placement::InPlace;
}

// In place the file is replaced, so the user must be allowed to write it;
// the windows ask the same of a source beside.
OpenMode SourceMode(const CipherJob& job)
{
    return InPlace(job) || job.SourceMustBeWritable ? OpenMode::ReadWrite : OpenMode::ReadOnly;
}

// What has the output's name decides whether the result may take it.
CipherPlan CheckOutputName(CipherPlan plan)
{
    int error = 0;
    const EntryKind kind = KindOfEntry(plan.Output, &error);
    if (kind == EntryKind::Missing) {
        return error == 0 ? plan : Refused(std::move(plan), CipherStatus::OutputUnusable, error);
    }
    // Replacing the source's own name ("x.dec" decrypted beside) would lose it.
    if (SameEntry(plan.Input, plan.Output)) {
        return Refused(std::move(plan), CipherStatus::OutputUnusable, EEXIST);
    }
    if (plan.Job.Existing == ExistingOutput::Refuse) {
        return Refused(std::move(plan), CipherStatus::OutputTaken, EEXIST);
    }
    if (kind == EntryKind::Folder) {
        return Refused(std::move(plan), CipherStatus::OutputUnusable, EISDIR);
    }
    return plan;
}

// Runs `stream(source, output)` for a Ready plan into an output file that
// takes its name only when the stream has ended without a fault.
template <typename Stream> CipherPlan RunPlan(CipherPlan plan, Stream stream)
{
    const bool inPlace = InPlace(plan.Job);
    int error = 0;
    std::optional<File> source = File::TryOpenRegular(plan.Input, SourceMode(plan.Job), &error);
    if (!source) {
        return Refused(std::move(plan), CipherStatus::SourceUnusable, error);
    }
    if (!inPlace) {
        plan = CheckOutputName(std::move(plan));
        if (plan.Status != CipherStatus::Ready) {
            return plan;
        }
    }
    const FileStatus status = source->Status();
    std::optional<OutputFile> output;
    try {
        output.emplace(plan.Output);
    } catch (const FileError& failure) {
        return Refused(std::move(plan), CipherStatus::OutputUnusable, failure.ErrorNumber());
    }
    if (inPlace) {
        try {
            output->TakeOwnerOf(status);
        } catch (const FileError& failure) {
            return Refused(std::move(plan), CipherStatus::OwnerNotKept, failure.ErrorNumber());
        }
    }
    stream(*source, output->Handle());
    if (inPlace) {
        output->CopyExtendedAttributesOf(*source);
        output->Finish(status.Permissions);
        output->PublishReplacing();
        plan.OtherLinks = status.Links > 0 ? status.Links - 1 : 0;
    } else {
        output->Finish(MaskedPermissions(status.Permissions & 0777));
        if (plan.Job.Existing == ExistingOutput::Replace) {
            output->PublishReplacing();
        } else if (!output->PublishNew()) {
            return Refused(std::move(plan), CipherStatus::OutputTaken, EEXIST);
        }
    }
    plan.Status = CipherStatus::Done;
    return plan;
}

} // namespace

CipherPlan PlanCipherJob(const CipherJob& job)
{
    CipherPlan plan;
    plan.Job = job;
    plan.Input = job.Source;
    plan.Format = job.Format;
    int error = 0;
    std::optional<File> source = File::TryOpenRegular(job.Source, SourceMode(job), &error);
    if (!source) {
        return Refused(std::move(plan), CipherStatus::SourceUnusable, error);
    }
    try {
        plan.Identity = source->Status().Identity;
        if (job.Direction == CipherDirection::Decrypt) {
            plan.Format = age::IsAgeFile(*source) ? CipherFormat::Age : CipherFormat::Cph;
            if (plan.Format == CipherFormat::Age) {
                plan.Lock = age::LockOf(*source);
            }
        }
        if (InPlace(job)) {
            plan.Input = ResolvePath(job.Source);
            plan.Output = plan.Input;
            return plan;
        }
    } catch (const FileError& failure) {
        return Refused(std::move(plan), CipherStatus::SourceUnusable, failure.ErrorNumber());
    }
    plan.Output = job.ChosenOutput.empty()
                      ? OutputPathBeside(job.Direction, job.Source, plan.Format)
                      : job.ChosenOutput;
    return CheckOutputName(std::move(plan));
}

std::vector<CipherPlan> PlanCipherBatch(const std::vector<CipherJob>& jobs,
                                        const std::optional<FileIdentity>& excluded,
                                        BatchPlanning planning)
{
    std::vector<CipherPlan> plans;
    for (const CipherJob& job : jobs) {
        CipherPlan plan = PlanCipherJob(job);
        if (plan.Status == CipherStatus::Ready) {
            const auto sameSource = [&](const CipherPlan& p) {
                return p.Status == CipherStatus::Ready && p.Identity == plan.Identity;
            };
            const auto sameOutput = [&](const CipherPlan& p) {
                return p.Status == CipherStatus::Ready && SameEntry(p.Output, plan.Output);
            };
            if (excluded && plan.Identity == *excluded) {
                plan = Refused(std::move(plan), CipherStatus::SourceUnusable, ExcludedSource);
            } else if (std::any_of(plans.begin(), plans.end(), sameSource)) {
                continue; // named twice: transformed once
            } else if (std::any_of(plans.begin(), plans.end(), sameOutput)) {
                plan = Refused(std::move(plan), CipherStatus::OutputTaken, SharedOutput);
            }
        }
        plans.push_back(plan);
        if (plan.Status != CipherStatus::Ready && planning == BatchPlanning::UntilProblem) {
            break;
        }
    }
    return plans;
}

CipherPlan RunCipherJob(CipherPlan plan, const KeyMaterial& key, StreamProgress* progress)
{
    CipherRun run(key.Bytes, key.Length);
    const CipherDirection direction = plan.Job.Direction;
    return RunPlan(std::move(plan), [&](File& source, File& output) {
        if (direction == CipherDirection::Encrypt) {
            EncryptStream(run.Context(), source, output, progress);
        } else {
            DecryptStream(run.Context(), source, output, progress);
        }
        run.Wipe();
    });
}

CipherPlan RunAgeJob(CipherPlan plan, const age::Keys& keys, StreamProgress* progress)
{
    const CipherDirection direction = plan.Job.Direction;
    return RunPlan(std::move(plan), [&](File& source, File& output) {
        if (direction == CipherDirection::Encrypt) {
            age::EncryptStream(source, output, keys, progress);
        } else {
            age::DecryptStream(source, output, keys, progress);
        }
    });
}

} // namespace ciphra
