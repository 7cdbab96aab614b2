#pragma once
// The one file layer of the project (POSIX), shared by the program, the
// command-line tool and the stub. No other code calls open/read/write/rename.
//
// Failures throw FileError, a ciphra::Exception whose text is the one the
// general error report shows: "File not found" (ENOENT), "File access denied"
// (EACCES, EPERM), "Read beyond end of file" (a short read where bytes were
// required), "Disk full" (ENOSPC), otherwise "I/O error %d" with errno.
// Opening a folder as a file fails with EISDIR in every mode.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

#include "core/error.h"

namespace ciphra {

class FileError : public Exception {
public:
    explicit FileError(int errnum);
    FileError(int errnum, const std::string& text);
    int ErrorNumber() const noexcept { return errnum_; }

private:
    int errnum_;
};

// The general error report's text for an errno value.
std::string IoErrorText(int errnum);

inline constexpr const char* ReadBeyondEndMessage = "Read beyond end of file";

enum class OpenMode {
    ReadOnly,        // existing file, reading
    ReadWrite,       // existing file, reading and writing, from offset 0
    CreateTruncate,  // create or truncate, reading and writing
    CreateExclusive, // create a new file; fails with EEXIST when the name exists
    Append,          // existing file, writes go to its end
};

class File {
public:
    // Throws FileError.
    static File Open(const std::string& path, OpenMode mode, mode_t permissions = 0666);
    // Returns nothing on failure and stores errno in *error when given.
    static std::optional<File> TryOpen(const std::string& path, OpenMode mode,
                                       mode_t permissions = 0666, int* error = nullptr) noexcept;

    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File(); // closes, ignoring errors; call Close() to see them

    // Reads up to n bytes at the current position, retrying short reads;
    // returns fewer than n only at the end of the file.
    std::size_t Read(void* buffer, std::size_t n);
    // Reads exactly n bytes or throws FileError(0, ReadBeyondEndMessage).
    void ReadExact(void* buffer, std::size_t n);
    // Writes all n bytes at the current position or throws.
    void WriteAll(const void* buffer, std::size_t n);
    // Positioned forms; they leave the current position alone.
    std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset);
    void WriteAllAt(const void* buffer, std::size_t n, std::uint64_t offset);

    void Seek(std::uint64_t position);
    std::uint64_t Position() const;
    std::uint64_t Size() const;
    void Truncate(std::uint64_t length);
    void Sync();                             // fsync
    void SyncData();                         // fdatasync
    mode_t Permissions() const;              // the permission bits (07777) of the open file
    void SetPermissions(mode_t permissions); // fchmod
    void Close();                            // throws when the close reports an error

    // Creates a new file with a unique name "<folder>/<prefix>XXXXXX", owner-only
    // (0600), and stores its path in `path`. Throws FileError.
    static File CreateUnique(const std::string& folder, const std::string& prefix,
                             std::string& path);

    bool IsOpen() const noexcept { return fd_ >= 0; }
    int Descriptor() const noexcept { return fd_; }

private:
    explicit File(int fd) noexcept : fd_(fd) {}
    int fd_ = -1;
};

// Renames without ever replacing an existing target (renameat2 with
// RENAME_NOREPLACE, or link + unlink where the file system refuses it).
// Returns false and stores errno in *error on failure (EEXIST when taken).
bool RenameNoReplace(const std::string& from, const std::string& to, int* error = nullptr) noexcept;

// Renames `from` to `to`, replacing `to` atomically when it exists. Only for
// putting a finished rewrite of a file in the file's own place. Throws FileError.
void ReplaceFile(const std::string& from, const std::string& to);

// Throws FileError.
void RemoveFile(const std::string& path);
// Removes the name if it can, reporting nothing; safe inside a signal handler.
void RemoveFileQuietly(const char* path) noexcept;
// True when anything (a dangling link included) carries the name.
bool PathExists(const std::string& path) noexcept;
bool IsDirectory(const std::string& path) noexcept; // follows links
// The absolute path with every link resolved (the file must exist). Throws FileError.
std::string ResolvePath(const std::string& path);
// `permissions` as a newly created file would get them under the process's
// umask (read by setting it and back, so not while other threads create files).
mode_t MaskedPermissions(mode_t permissions) noexcept;

// The folder part of a path (up to, not including, the last "/"; "." for a
// bare name, "/" for a name directly under the root) and the name part.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// Replaces the extension of the last path component ("a.txt.CPH" -> "a.txt.dec",
// "noext" -> "noext.dec"); `extension` includes its dot.
std::string ReplaceExtension(const std::string& path, const std::string& extension);

} // namespace ciphra
