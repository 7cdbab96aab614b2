#pragma once
// A file that exists only while an output is being built.
//
// It is created exclusively (never opening or replacing a file that is
// already there) under a fresh hidden name in the output's folder, readable
// and writable by the owner only. It ends in one of two ways: MoveTo gives it
// its final name without replacing anything, or the destructor removes it,
// so no working file is left behind on any path, errors included.

#include <string>
#include <sys/types.h>

#include "fileenc/posix_file.h"

namespace ciphra {

class WorkingFile {
public:
    // A new file ".<stem>.<6 random characters>" in `folder`. Throws FileError.
    static WorkingFile Create(const std::string& folder, const std::string& stem);

    WorkingFile(WorkingFile&& other) noexcept;
    WorkingFile& operator=(WorkingFile&&) = delete;
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;
    ~WorkingFile(); // closes and removes the file unless it was moved

    File& Handle() noexcept { return file_; }
    const std::string& Path() const noexcept { return path_; }

    // Sets the permission bits to `mode` less the process's umask, as a file
    // created normally would have them. Needs the file still open.
    void SetPermissions(mode_t mode);

    // Closes the file (throwing FileError when the close reports an error) and
    // renames it to `target` without replacing an existing file. Returns false
    // when `target` is taken: the working file stays (closed) under its own
    // name, for another MoveTo or the destructor. Throws FileError otherwise.
    bool MoveTo(const std::string& target);

    // Gives up the file: it stays on disk under Path(), which is returned.
    std::string Release();

private:
    WorkingFile(File file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

    File file_;
    std::string path_; // empty once moved to its final name
};

} // namespace ciphra
