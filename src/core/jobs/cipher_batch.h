#pragma once
// Running the plans of one encrypt or decrypt command over many files with
// one flush for many of them: the job behind ciphra2k-cli's and the windows'
// commands over several files.
//
// Flushing each small output on its own costs a journal commit and a flush
// of the disk's cache per file, far more than writing it. A batch writes
// each output as RunCipherJob would, complete under its working name
// (owner-only until complete, then with its final permissions), but keeps it
// unnamed. When the batch is full (MaxPendingOutputs files or
// MaxPendingBytes of sources), before a plan that reads a file a pending
// output will replace, at a failure when the batch stops there, and at
// Finish, it flushes
// them all at once (from SystemFlushFrom outputs on with one flush of the
// file system, which the per-file check of each output's own write-back
// completes; else each on its own), names them in order and flushes each
// folder once. So no output carries its final name before its data is on
// disk, and memory and open descriptors stay bounded whatever the count.
// In place, the file system frees each replaced version when its source is
// closed; a thread of the batch does those closes while the next outputs are
// written (one batch's at most), and Finish waits for them.
//
// Outcomes are reported in the order the plans were given, each once its
// output has its name (or its failure is known). With StopAtFailure the
// batch names nothing after the first failure: the later pending outputs
// are removed as if they had never run, as a command that stops there
// expects. However the batch ends (an exception, its destruction, an ending
// signal), every working file not yet named is removed.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "core/io/background_close.h"
#include "core/jobs/file_cipher.h"

namespace ciphra {

inline constexpr std::size_t MaxPendingOutputs = 128;
inline constexpr std::uint64_t MaxPendingBytes = std::uint64_t{64} << 20;
inline constexpr std::size_t SystemFlushFrom = 8;

struct CipherOutcome {
    CipherPlan Plan; // with its final status (Done: named and on disk)
    std::exception_ptr
        Failure; // what running it threw (FileError, age::AgeError, ...), if anything
};

enum class BatchFailure { StopAtFailure, GoOn };

class CipherBatch {
public:
    // Called once per plan, in order; may throw (the batch then removes
    // every working file not yet named).
    using Report = std::function<void(const CipherOutcome&)>;

    CipherBatch(const KeyMaterial& key, const age::Keys& keys, BatchFailure onFailure,
                Report report);
    CipherBatch(const CipherBatch&) = delete;
    CipherBatch& operator=(const CipherBatch&) = delete;
    ~CipherBatch(); // removes the working files of outputs not yet named

    // Runs a Ready plan into a pending output (one not Ready is reported in
    // its turn). Does nothing once the batch stopped at a failure.
    void Run(const CipherPlan& plan, StreamProgress* progress);
    // Flushes, names and reports every pending output; returns once the
    // versions replaced in place are freed.
    void Finish();
    bool Stopped() const noexcept { return stopped_; }

private:
    struct Pending {
        WrittenOutput Written;
        std::exception_ptr Failure;
        std::optional<FileIdentity> Replaces; // the file that has the output's name now
    };

    bool ReadsPendingOutput(const CipherPlan& plan) const;
    void Add(Pending pending);
    void Commit();

    const KeyMaterial& key_;
    const age::Keys& keys_;
    BatchFailure onFailure_;
    Report report_;
    std::vector<Pending> pending_;
    std::uint64_t pendingBytes_ = 0;
    bool stopped_ = false;
    BackgroundClose replaced_; // sources replaced in place, freed while the batch goes on
};

} // namespace ciphra
