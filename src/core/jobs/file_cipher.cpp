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

void RunStream(CipherDirection direction, CipherRun& run, File& input, File& output,
               StreamProgress* progress)
{
    if (direction == CipherDirection::Encrypt) {
        EncryptStream(run.Context(), input, output, progress);
    } else {
        DecryptStream(run.Context(), input, output, progress);
    }
}

} // namespace

CipherPlan PlanCipherJob(const CipherJob& job)
{
    CipherPlan plan;
    plan.Job = job;
    plan.Input = job.Source;
    int error = 0;
    const std::optional<File> source = File::TryOpenRegular(job.Source, SourceMode(job), &error);
    if (!source) {
        return Refused(std::move(plan), CipherStatus::SourceUnusable, error);
    }
    try {
        plan.Identity = source->Status().Identity;
        if (InPlace(job)) {
            plan.Input = ResolvePath(job.Source);
            plan.Output = plan.Input;
            return plan;
        }
    } catch (const FileError& failure) {
        return Refused(std::move(plan), CipherStatus::SourceUnusable, failure.ErrorNumber());
    }
    plan.Output = OutputPathBeside(job.Direction, job.Source);
    return CheckOutputName(std::move(plan));
}

std::vector<CipherPlan> PlanCipherBatch(const std::vector<CipherJob>& jobs,
                                        const std::optional<FileIdentity>& excluded)
{
    std::vector<CipherPlan> plans;
    for (const CipherJob& job : jobs) {
        CipherPlan plan = PlanCipherJob(job);
        if (plan.Status == CipherStatus::Ready) {
            const auto sameSource = [&](const CipherPlan& p) {
                return p.Identity == plan.Identity;
            };
            const auto sameOutput = [&](const CipherPlan& p) {
                return SameEntry(p.Output, plan.Output);
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
        if (plan.Status != CipherStatus::Ready) {
            break;
        }
    }
    return plans;
}

CipherPlan RunCipherJob(CipherPlan plan, const KeyMaterial& key, StreamProgress* progress)
{
    CipherRun run(key.Bytes, key.Length);
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
    RunStream(plan.Job.Direction, run, *source, output->Handle(), progress);
    run.Wipe();
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

} // namespace ciphra
