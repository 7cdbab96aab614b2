#pragma once
// A file that exists only while an output is being built.
//
// It is created exclusively (never opening or replacing a file that is
// already there) under a fresh hidden name in the output's folder, readable
// and writable by the owner only. It ends in one of two ways: MoveTo gives it
// its final name without replacing anything, or the destructor removes it,
// so no working file is left behind when a step fails.

#include <string>

#include "core/io/posix_file.h"

namespace ciphra {

// Told when a working file appears and when its name is gone again, so that
// a caller can remove it from a signal handler too.
class WorkingFileWatch {
public:
    virtual void WorkingFileCreated(const std::string& path) = 0;
    virtual void WorkingFileGone() = 0;

protected:
    ~WorkingFileWatch() = default;
};

class WorkingFile {
public:
    // A new file ".<stem>.<6 random characters>" in `folder`. Throws FileError.
    WorkingFile(const std::string& folder, const std::string& stem,
                WorkingFileWatch* watch = nullptr);
    WorkingFile(const WorkingFile&) = delete;
    WorkingFile& operator=(const WorkingFile&) = delete;
    ~WorkingFile(); // closes and removes the file unless it was moved or released

    File& Handle() noexcept { return file_; }
    const std::string& Path() const noexcept { return path_; }

    // Closes the file (throwing FileError when the close reports an error) and
    // renames it to `target` without replacing an existing file. Returns false
    // when `target` is taken: the working file stays (closed) under its own
    // name, for another MoveTo or the destructor. Throws FileError otherwise.
    bool MoveTo(const std::string& target);

    // Gives up the file: it stays on disk under Path(), which is returned.
    std::string Release();

private:
    void Forget();

    std::string path_; // empty once moved or released
    File file_;
    WorkingFileWatch* watch_;
};

} // namespace ciphra
