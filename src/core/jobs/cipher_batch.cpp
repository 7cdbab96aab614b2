#include "core/jobs/cipher_batch.h"

#include <algorithm>
#include <utility>

namespace ciphra {
namespace {

bool Failed(const CipherOutcome& outcome)
{
    return outcome.Failure || outcome.Plan.Status != CipherStatus::Done;
}

using Batch = std::vector<CipherOutcome>;

// The data of every complete output to the disk: one flush per file system
// when there are many, each file on its own otherwise. A failure is the
// failing file's alone.
void FlushOutputs(std::vector<WrittenOutput>& written, Batch& outcomes)
{
    std::vector<std::pair<dev_t, bool>> systems; // flushed whole, or not
    const auto systemOf = [&](const WrittenOutput& w) {
        const dev_t device = w.Output->Folder().Status().Identity.Device;
        auto known = std::find_if(systems.begin(), systems.end(),
                                  [&](const auto& s) { return s.first == device; });
        if (known == systems.end()) {
            bool flushed = false;
            try {
                SyncFileSystem(w.Output->Folder());
                flushed = true;
            } catch (const FileError&) {
                // each file of it is flushed on its own, which names the failing ones
            }
            known = systems.insert(systems.end(), {device, flushed});
        }
        return known->second;
    };
    const std::size_t count = static_cast<std::size_t>(std::count_if(
        written.begin(), written.end(), [](const WrittenOutput& w) { return !!w.Output; }));
    for (std::size_t i = 0; i < written.size(); ++i) {
        WrittenOutput& w = written[i];
        if (!w.Output || outcomes[i].Failure) {
            continue;
        }
        try {
            if (count >= SystemFlushFrom && systemOf(w)) {
                w.Output->CloseFlushed();
            } else {
                w.Output->FlushAndClose();
            }
        } catch (...) {
            outcomes[i].Failure = std::current_exception();
        }
    }
}

// Each folder that received a name, flushed once; a failure is that of
// every output named in it.
void FlushFolders(std::vector<WrittenOutput>& written, Batch& outcomes, std::size_t end)
{
    std::vector<std::pair<FileIdentity, std::exception_ptr>> folders;
    for (std::size_t i = 0; i < end; ++i) {
        if (!written[i].Output || Failed(outcomes[i])) {
            continue;
        }
        const File& folder = written[i].Output->Folder();
        try {
            const FileIdentity identity = folder.Status().Identity;
            auto known = std::find_if(folders.begin(), folders.end(),
                                      [&](const auto& f) { return f.first == identity; });
            if (known == folders.end()) {
                std::exception_ptr failure;
                try {
                    FlushFolder(folder);
                } catch (...) {
                    failure = std::current_exception();
                }
                known = folders.insert(folders.end(), {identity, failure});
            }
            outcomes[i].Failure = known->second;
        } catch (...) {
            outcomes[i].Failure = std::current_exception();
        }
    }
}

} // namespace

CipherBatch::CipherBatch(const KeyMaterial& key, const age::Keys& keys, BatchFailure onFailure,
                         Report report)
    : key_(key), keys_(keys), onFailure_(onFailure), report_(std::move(report))
{
}

CipherBatch::~CipherBatch() = default;

void CipherBatch::Run(const CipherPlan& plan, StreamProgress* progress)
{
    if (stopped_) {
        return;
    }
    Pending pending;
    if (plan.Status != CipherStatus::Ready) {
        pending.Written.Plan = plan;
        Add(std::move(pending));
        return;
    }
    if (ReadsPendingOutput(plan)) {
        Commit(); // it must read what the pending output makes of that file
    }
    try {
        pending.Written = plan.Format == CipherFormat::Age ? WriteAgeJob(plan, keys_, progress)
                                                           : WriteCipherJob(plan, key_, progress);
    } catch (...) {
        pending.Written = WrittenOutput{plan, nullptr, 0};
        pending.Failure = std::current_exception();
    }
    if (pending.Written.Output) {
        pending.Replaces = IdentityOf(pending.Written.Plan.Output);
    }
    Add(std::move(pending));
}

void CipherBatch::Finish()
{
    Commit();
    replaced_.Wait();
}

bool CipherBatch::ReadsPendingOutput(const CipherPlan& plan) const
{
    const std::optional<FileIdentity> input = IdentityOf(plan.Input);
    return input && std::any_of(pending_.begin(), pending_.end(),
                                [&](const Pending& p) { return p.Replaces == input; });
}

void CipherBatch::Add(Pending pending)
{
    const bool failed = pending.Failure || !pending.Written.Output;
    pendingBytes_ += pending.Written.Size;
    pending_.push_back(std::move(pending));
    if ((failed && onFailure_ == BatchFailure::StopAtFailure) ||
        pending_.size() >= MaxPendingOutputs || pendingBytes_ >= MaxPendingBytes) {
        Commit();
    }
}

void CipherBatch::Commit()
{
    // Taken out first: however this ends, what was not named is removed.
    std::vector<Pending> batch = std::move(pending_);
    pending_.clear();
    pendingBytes_ = 0;
    std::vector<WrittenOutput> written;
    Batch outcomes;
    written.reserve(batch.size());
    outcomes.reserve(batch.size());
    for (Pending& p : batch) {
        outcomes.push_back({p.Written.Plan, p.Failure});
        written.push_back(std::move(p.Written));
    }
    FlushOutputs(written, outcomes);
    std::size_t end = written.size(); // the outcomes reported
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i].Output && !outcomes[i].Failure) {
            try {
                outcomes[i].Plan = PublishWritten(written[i], FolderFlush::Later);
            } catch (...) {
                outcomes[i].Failure = std::current_exception();
            }
        }
        if (Failed(outcomes[i]) && onFailure_ == BatchFailure::StopAtFailure) {
            end = i + 1;
            stopped_ = true;
            break;
        }
    }
    FlushFolders(written, outcomes, end);
    // One batch's sources at most wait to be closed, so that descriptors
    // stay bounded even when freeing is slower than writing.
    replaced_.Wait();
    for (WrittenOutput& w : written) {
        if (w.Source) {
            replaced_.Add(std::move(*w.Source));
        }
    }
    for (std::size_t i = 0; i < end; ++i) {
        report_(outcomes[i]);
    }
}

} // namespace ciphra
