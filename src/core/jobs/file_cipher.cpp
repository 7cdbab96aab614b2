#include "core/jobs/file_cipher.h"

#include <algorithm>
#include <cerrno>
#include <memory>
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

// Writes the result of a Ready plan with `stream(source, output)` into a
// working file, complete with its permissions (and in place its owner and
// extended attributes), not yet flushed nor named. A refusal comes back
// without an output; a failing stream throws, the working file removed.
template <typename Stream> WrittenOutput WritePlan(CipherPlan plan, Stream stream)
{
    const bool inPlace = InPlace(plan.Job);
    int error = 0;
    std::optional<File> source = File::TryOpenRegular(plan.Input, SourceMode(plan.Job), &error);
    if (!source) {
        return {Refused(std::move(plan), CipherStatus::SourceUnusable, error), nullptr};
    }
    if (!inPlace) {
        plan = CheckOutputName(std::move(plan));
        if (plan.Status != CipherStatus::Ready) {
            return {std::move(plan), nullptr};
        }
    }
    const FileStatus status = source->Status();
    const Writeback writeback =
        status.Size >= BackgroundWritebackFrom ? Writeback::Background : Writeback::AtEnd;
    std::unique_ptr<OutputFile> output;
    try {
        output = std::make_unique<OutputFile>(plan.Output, writeback);
    } catch (const FileError& failure) {
        return {Refused(std::move(plan), CipherStatus::OutputUnusable, failure.ErrorNumber()),
                nullptr};
    }
    if (inPlace) {
        try {
            output->TakeOwnerOf(status);
        } catch (const FileError& failure) {
            return {Refused(std::move(plan), CipherStatus::OwnerNotKept, failure.ErrorNumber()),
                    nullptr};
        }
    }
    stream(*source, output->Handle());
    if (inPlace) {
        output->CopyExtendedAttributesOf(*source);
        output->Complete(status.Permissions);
        plan.OtherLinks = status.Links > 0 ? status.Links - 1 : 0;
    } else {
        output->Complete(MaskedPermissions(status.Permissions & 0777));
    }
    if (!inPlace) {
        source.reset();
    }
    return {std::move(plan), std::move(output), status.Size, std::move(source)};
}

} // namespace

CipherPlan PublishWritten(WrittenOutput& written, FolderFlush flush)
{
    CipherPlan& plan = written.Plan;
    if (InPlace(plan.Job) || plan.Job.Existing == ExistingOutput::Replace) {
        written.Output->PublishReplacing(flush);
    } else if (!written.Output->PublishNew(flush)) {
        return Refused(std::move(plan), CipherStatus::OutputTaken, EEXIST);
    }
    plan.Status = CipherStatus::Done;
    return plan;
}

namespace {

// Flushes a written output on its own and names it.
CipherPlan FlushAndPublish(WrittenOutput written)
{
    if (!written.Output) {
        return std::move(written.Plan);
    }
    written.Output->FlushAndClose();
    return PublishWritten(written, FolderFlush::Now);
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

WrittenOutput WriteCipherJob(CipherPlan plan, const KeyMaterial& key, StreamProgress* progress)
{
    CipherRun run(key.Bytes, key.Length);
    const CipherDirection direction = plan.Job.Direction;
    return WritePlan(std::move(plan), [&](File& source, File& output) {
        if (direction == CipherDirection::Encrypt) {
            EncryptStream(run.Context(), source, output, progress);
        } else {
            DecryptStream(run.Context(), source, output, progress);
        }
        run.Wipe();
    });
}

WrittenOutput WriteAgeJob(CipherPlan plan, const age::Keys& keys, StreamProgress* progress)
{
    const CipherDirection direction = plan.Job.Direction;
    return WritePlan(std::move(plan), [&](File& source, File& output) {
        if (direction == CipherDirection::Encrypt) {
            age::EncryptStream(source, output, keys, progress);
        } else {
            age::DecryptStream(source, output, keys, progress);
        }
    });
}

CipherPlan RunCipherJob(CipherPlan plan, const KeyMaterial& key, StreamProgress* progress)
{
    return FlushAndPublish(WriteCipherJob(std::move(plan), key, progress));
}

CipherPlan RunAgeJob(CipherPlan plan, const age::Keys& keys, StreamProgress* progress)
{
    return FlushAndPublish(WriteAgeJob(std::move(plan), keys, progress));
}

} // namespace ciphra
