#pragma once
// An output file that appears under its name only when complete. It is
// written under a unique temporary name in the output's folder (created
// exclusively, owner-only), flushed to disk (in the background while it is
// written, then once complete), given its final permissions, and
// then renamed into place. Until then, however the run ends (an exception, an
// interrupting signal), the temporary file is removed.

#include <string>
#include <sys/types.h>

#include "core/io/background_flush.h"
#include "core/io/posix_file.h"

namespace ciphra {

class TemporaryOutput {
public:
    // Throws FileError when the temporary file cannot be created.
    explicit TemporaryOutput(const std::string& finalPath);
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;
    ~TemporaryOutput();

    File& Output() noexcept { return file_; }

    // Puts the output in place without replacing anything; an existing file
    // of the final name throws FileError(EEXIST, "<name>: file exists, not replaced").
    void CommitNew(mode_t permissions);
    // Puts the output in place of the existing file of the final name.
    void CommitReplacing(mode_t permissions);

private:
    static File CreateRemembered(const std::string& finalPath, std::string& temporaryPath);
    void Finish(mode_t permissions);

    std::string finalPath_;
    std::string temporaryPath_;
    File file_;
    BackgroundFlush flush_{file_};
    bool committed_ = false;
};

} // namespace ciphra
