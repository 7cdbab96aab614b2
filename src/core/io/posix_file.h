#pragma once
// The one file layer of the project (POSIX), shared by the program, the
// command-line tool and the stub. No other code calls open/read/write/rename.
//
// Failures throw FileError (file_error.h). Opening a folder as a file fails
// with EISDIR in every mode.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

#include "core/io/file_error.h"

namespace ciphra {

enum class OpenMode {
    ReadOnly,        // existing file, reading
    ReadWrite,       // existing file, reading and writing, from offset 0
    CreateTruncate,  // create or truncate, reading and writing
    CreateExclusive, // create a new file; fails with EEXIST when anything has the name
    Append,          // existing file, writes go to its end
};

// Which file a name leads to; two names are the same file when these match.
struct FileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// What fstat tells of an open file.
struct FileStatus {
    FileIdentity Identity;
    nlink_t Links = 0;
    uid_t Owner = 0;
    gid_t Group = 0;
    mode_t Permissions = 0; // the permission bits, 07777
    std::uint64_t Size = 0;
};

class File {
public:
    // Throws FileError.
    static File Open(const std::string& path, OpenMode mode, mode_t permissions = 0666);
    // Returns nothing on failure and stores errno in *error when given.
    static std::optional<File> TryOpen(const std::string& path, OpenMode mode,
                                       mode_t permissions = 0666, int* error = nullptr) noexcept;
    // Opens an existing regular file (a link to one counts) for reading, or
    // for reading and writing. Anything else is refused without being opened
    // for data, so a FIFO cannot block and a device cannot stream forever:
    // a folder with EISDIR, a FIFO, device or socket with NotRegularFile.
    static File OpenRegular(const std::string& path, OpenMode mode);
    static std::optional<File> TryOpenRegular(const std::string& path, OpenMode mode,
                                              int* error = nullptr) noexcept;
    // Opens a folder, for creating, renaming and removing names in it and
    // for flushing it. Throws FileError.
    static File OpenFolder(const std::string& path);
    // Creates `name` in the open folder `folder` as a new file: never opening
    // anything that already has the name, a link included. Returns nothing
    // and stores errno in *error on failure (EEXIST when the name is taken).
    static std::optional<File> TryCreateIn(const File& folder, const std::string& name,
                                           mode_t permissions, int* error) noexcept;
    // A File of its own on what the open descriptor `fd` reads or writes
    // (standard input or output): a duplicate, so closing the File leaves
    // `fd` open. Throws FileError.
    static File Duplicate(int fd);

    File() noexcept = default; // no file: closed
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File(); // closes, ignoring errors; call Close() to see them

    // Reads up to n bytes at the current position, retrying short reads;
    // returns fewer than n only at the end of the file.
    std::size_t Read(void* buffer, std::size_t n);
    // The next bytes, up to n, without taking them: the next Read returns
    // them again. A file with positions reads them where it stands; from a
    // pipe they are read and kept in the File until Read takes them, so a
    // format can be told from its first bytes (n small: a header).
    std::size_t Peek(void* buffer, std::size_t n);
    // Reads exactly n bytes or throws FileError(0, ReadBeyondEndMessage).
    void ReadExact(void* buffer, std::size_t n);
    // Writes all n bytes at the current position or throws.
    void WriteAll(const void* buffer, std::size_t n);
    // Positioned forms; they leave the current position alone.
    std::size_t ReadAt(void* buffer, std::size_t n, std::uint64_t offset);
    void WriteAllAt(const void* buffer, std::size_t n, std::uint64_t offset);

    void Seek(std::uint64_t position);
    // A pipe, socket or terminal has no positions: its position reads as 0.
    std::uint64_t Position() const;
    bool Seekable() const noexcept;
    std::uint64_t Size() const;
    FileStatus Status() const;
    void Truncate(std::uint64_t length);
    void Sync();     // fsync
    void SyncData(); // fdatasync
    // Writeback of a range of the file's data (sync_file_range): Start hands
    // the dirty pages to the disk and returns; Await waits until they are
    // written (starting any still dirty) and throws the file's write error.
    // Neither flushes the disk's cache nor the file's size: Sync does. A
    // length of 0 means up to the end of the file.
    void StartWriteback(std::uint64_t offset, std::uint64_t length);
    void AwaitWriteback(std::uint64_t offset, std::uint64_t length);
    mode_t Permissions() const;              // the permission bits (07777) of the open file
    void SetPermissions(mode_t permissions); // fchmod
    void Close();                            // throws when the close reports an error

    bool IsOpen() const noexcept { return fd_ >= 0; }
    int Descriptor() const noexcept { return fd_; }

private:
    explicit File(int fd) noexcept : fd_(fd) {}
    int fd_ = -1;
    std::string peeked_; // bytes Peek read from a pipe, for the next Read
};

// Renames without ever replacing an existing target (renameat2 with
// RENAME_NOREPLACE, or link + unlink where the file system refuses it).
// Returns false and stores errno in *error on failure (EEXIST when taken).
bool RenameNoReplace(const std::string& from, const std::string& to, int* error = nullptr) noexcept;

// Flushes the whole file system the open `folder` is on to the disk, data
// and names (syncfs). Throws FileError.
void SyncFileSystem(const File& folder);

// Throws FileError.
void RemoveFile(const std::string& path);
// True when anything (a dangling link included) carries the name.
bool PathExists(const std::string& path) noexcept;
bool IsDirectory(const std::string& path) noexcept; // follows links
// The file a name leads to (links followed), or nothing when it leads nowhere.
std::optional<FileIdentity> IdentityOf(const std::string& path) noexcept;
// True when both paths name the same entry of the same folder (not merely
// the same file: two hard links are two entries).
bool SameEntry(const std::string& a, const std::string& b) noexcept;

// What carries a name, looked at without following a link there.
enum class EntryKind { Missing, Folder, Other };
// Stores errno in *error when the name cannot be looked at (Missing then).
EntryKind KindOfEntry(const std::string& path, int* error = nullptr) noexcept;
// The absolute path with every link resolved (the file must exist). Throws FileError.
std::string ResolvePath(const std::string& path);
// `permissions` as a newly created file would get them under the process's
// umask (read by setting it and back, so not while other threads create files).
mode_t MaskedPermissions(mode_t permissions) noexcept;

} // namespace ciphra
