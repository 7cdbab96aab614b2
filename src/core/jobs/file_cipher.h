#pragma once
// Encrypting and decrypting whole files, beside or in place: the one job
// behind the windows' encrypt and decrypt commands and ciphra2k-cli's.
//
// Only regular files are transformed (a link to one counts); a folder, FIFO,
// device or socket is refused without being opened for data. Every output is
// an OutputFile: written under a working name, flushed, and given its name
// only when complete, so a crash or a failure never leaves a partial file
// under any name the user knows.
//
// Beside, the output is a new file next to the source (output_names.h) with
// the source's permissions less the umask's bits. When a file already has the
// output's name, the job either refuses or replaces that *name* atomically:
// a link there, a hard link to the source or another user's file is never
// written through.
//
// In place, the new form is written beside the file and renamed over it, so
// at every moment either the whole original or the whole result carries the
// file's name. It keeps the file's owner, group, permissions and extended
// attributes (ACLs included). A link is followed: the file it leads to is
// replaced. Other hard links of the file keep the old bytes; the outcome
// counts them so the caller can say so.
//
// Files are encrypted to the .CPH format or to the age format (age_file.h).
// Decrypting, the file's first bytes tell which it is; an age file is only
// given its name once every chunk was checked, so a wrong password or an
// altered file leaves nothing behind.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "core/io/output_file.h"
#include "core/io/posix_file.h"
#include "core/jobs/age_file.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/key_material.h"
#include "core/jobs/output_names.h"

namespace ciphra {

enum class Placement { Beside, InPlace };
enum class ExistingOutput { Refuse, Replace };

struct CipherJob {
    CipherDirection Direction = CipherDirection::Encrypt;
    Placement Where = Placement::Beside;
    ExistingOutput Existing = ExistingOutput::Refuse;
    // Refuse a source the user may not write (the windows open it for
    // reading and writing even beside, so a read-only file is reported).
    bool SourceMustBeWritable = false;
    std::string Source; // as the user named it
    // Beside: the name the result takes instead of the one formed from the
    // source's (output_names.h), when not empty. It is checked as that one is.
    std::string ChosenOutput;
    // Encrypting: the format written. Decrypting: found from the file.
    CipherFormat Format = CipherFormat::Cph;
};

enum class CipherStatus {
    Ready,          // planned, not yet run
    Done,           // the result has its name
    SourceUnusable, // missing, unreadable (or not writable where it must be), a folder, not a
                    // regular file
    OutputTaken,    // a file has the output's name and the job refuses to replace it
    OutputUnusable, // the output's name is the source itself or a folder, or no working file
                    // could be made in its folder
    OwnerNotKept,   // in place: the new version cannot be given the file's owner and group
};

struct CipherPlan {
    CipherJob Job;
    CipherStatus Status = CipherStatus::Ready;
    int Error = 0;          // the errno behind SourceUnusable, OutputUnusable, OwnerNotKept
    std::string Input;      // the file read: Source, or in place the file a link leads to
    std::string Output;     // the name the result takes (Input itself in place)
    FileIdentity Identity;  // the source file, for telling two names of one file apart
    nlink_t OtherLinks = 0; // after an in-place run: other names that still hold the old bytes
    // The encrypted side's format: the job's when encrypting, the file's when decrypting.
    CipherFormat Format = CipherFormat::Cph;
    // Decrypting an age file: what opens it (nothing when its header cannot
    // be read; running the plan then says why).
    std::optional<age::Lock> Lock;
};

// Looks at the source and the output's name without changing anything.
CipherPlan PlanCipherJob(const CipherJob& job);

// Plans a batch before any of it runs: each job as PlanCipherJob, then a
// source named twice (by any names that lead to the same file) is kept once,
// a source that is `excluded` (the password file) is refused as
// SourceUnusable with ExcludedSource, and two jobs whose outputs would take
// the same name are refused as OutputTaken with SharedOutput. Stops at the
// first plan that is not Ready and returns the plans up to and including it;
// with EveryJob it goes on and returns every plan (Ready or not), so that a
// batch over many files can run the good ones and report the rest.
inline constexpr int ExcludedSource = -2;
inline constexpr int SharedOutput = -3;
enum class BatchPlanning { UntilProblem, EveryJob };
std::vector<CipherPlan> PlanCipherBatch(const std::vector<CipherJob>& jobs,
                                        const std::optional<FileIdentity>& excluded,
                                        BatchPlanning planning = BatchPlanning::UntilProblem);

// Runs a Ready plan with a fresh cipher context keyed from `key`, and returns
// it with its final status (the checks are made again: files change). The
// source is never changed before the result is complete. An I/O failure
// while the data is written throws FileError after removing the working file;
// the key-length error is thrown before any file is touched.
CipherPlan RunCipherJob(CipherPlan plan, const KeyMaterial& key, StreamProgress* progress);

// Runs a Ready plan of the age format the same way, with `keys`. A fault of
// the age file (a wrong password or identity, altered or cut data) throws
// age::AgeError after removing the working file.
CipherPlan RunAgeJob(CipherPlan plan, const age::Keys& keys, StreamProgress* progress);

// The steps of RunCipherJob and RunAgeJob, for a batch that flushes many
// outputs at once (cipher_batch.h). Write runs the plan into a working file
// and completes it (permissions, owner, attributes) without flushing or
// naming it: a refusal comes back without an output, a failing stream throws
// after removing the working file. Once the output's data is on disk and its
// file closed, PublishWritten names it and returns the plan with its final
// status (Done, or OutputTaken when the name was taken meanwhile).
// From this size on a source's output is written back while it is written
// (output_file.h); a smaller one waits for the flush at the end.
inline constexpr std::uint64_t BackgroundWritebackFrom = std::uint64_t{4} << 20;
struct WrittenOutput {
    CipherPlan Plan;
    std::unique_ptr<OutputFile> Output; // none when the plan was refused
    std::uint64_t Size = 0;             // the source's size
    // In place, the source still open: the file system frees the version the
    // output replaces when this closes, not inside the rename that names the
    // output, so a batch can leave that to another thread.
    std::optional<File> Source{};
};
WrittenOutput WriteCipherJob(CipherPlan plan, const KeyMaterial& key, StreamProgress* progress);
WrittenOutput WriteAgeJob(CipherPlan plan, const age::Keys& keys, StreamProgress* progress);
CipherPlan PublishWritten(WrittenOutput& written, FolderFlush flush);

} // namespace ciphra
