#include "core/io/posix_file.h"

#include "core/io/path_names.h"

#include <algorithm>
#include <cerrno>
#include <cstdio> // renameat2
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Kept free of iostreams and locales: the stub links this file and must stay small.

namespace ciphra {

namespace {

[[noreturn]] void ThrowErrno()
{
    throw FileError(errno);
}

int OpenFlags(OpenMode mode) noexcept
{
    switch (mode) {
    case OpenMode::ReadOnly:
        return O_RDONLY;
    case OpenMode::ReadWrite:
        return O_RDWR;
    case OpenMode::CreateTruncate:
        return O_RDWR | O_CREAT | O_TRUNC;
    case OpenMode::CreateExclusive:
        return O_RDWR | O_CREAT | O_EXCL;
    case OpenMode::Append:
        return O_WRONLY | O_APPEND;
    }
    return O_RDONLY;
}

} // namespace

File File::Open(const std::string& path, OpenMode mode, mode_t permissions)
{
    int error = 0;
    std::optional<File> file = TryOpen(path, mode, permissions, &error);
    if (!file) {
        throw FileError(error);
    }
    return std::move(*file);
}

std::optional<File> File::TryOpen(const std::string& path, OpenMode mode, mode_t permissions,
                                  int* error) noexcept
{
    int fd = -1;
    do {
        fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        // A folder opens read-only on Linux; as a file it is refused, as on
        // every other system.
        struct stat info {};
        if (::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode)) {
            return File(fd);
        }
        const int cause = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = cause;
    }
    if (error != nullptr) {
        *error = errno;
    }
    return std::nullopt;
}

namespace {

std::optional<File> Failed(int* error, int cause) noexcept
{
    if (error != nullptr) {
        *error = cause;
    }
    return std::nullopt;
}

bool IsRegular(const struct stat& info) noexcept
{
    return S_ISREG(info.st_mode);
}

} // namespace

File File::OpenRegular(const std::string& path, OpenMode mode)
{
    int error = 0;
    std::optional<File> file = TryOpenRegular(path, mode, &error);
    if (!file) {
        throw FileError(error);
    }
    return std::move(*file);
}

std::optional<File> File::TryOpenRegular(const std::string& path, OpenMode mode,
                                         int* error) noexcept
{
    // Looked at before opening: opening a FIFO waits for a writer, and
    // opening some devices acts on them.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) {
        return Failed(error, errno);
    }
    if (!IsRegular(before)) {
        return Failed(error, S_ISDIR(before.st_mode) ? EISDIR : NotRegularFile);
    }
    const int access = mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR;
    int fd = -1;
    do {
        // Non-blocking, in case a FIFO took the name in between.
        fd = ::open(path.c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Failed(error, errno);
    }
    File file(fd);
    struct stat after {};
    if (::fstat(fd, &after) != 0) {
        return Failed(error, errno);
    }
    if (!IsRegular(after)) {
        return Failed(error, S_ISDIR(after.st_mode) ? EISDIR : NotRegularFile);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Failed(error, errno);
    }
    return file;
}

File File::OpenFolder(const std::string& path)
{
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        ThrowErrno();
    }
    return File(fd);
}

std::optional<File> File::TryCreateIn(const File& folder, const std::string& name,
                                      mode_t permissions, int* error) noexcept
{
    int fd = -1;
    do {
        fd = ::openat(folder.fd_, name.c_str(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Failed(error, errno);
    }
    return File(fd);
}

File File::Duplicate(int fd)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        ThrowErrno();
    }
    return File(copy);
}

File::File(File&& other) noexcept : fd_(other.fd_), peeked_(std::move(other.peeked_))
{
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
        peeked_ = std::move(other.peeked_);
    }
    return *this;
}

File::~File()
{
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

namespace {

// Reads up to n bytes from `fd`, retrying short reads until its end.
std::size_t ReadFully(int fd, unsigned char* bytes, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(fd, bytes + done, n - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno();
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

std::size_t File::Read(void* buffer, std::size_t n)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    const std::size_t kept = std::min(n, peeked_.size());
    if (kept > 0) {
        peeked_.copy(reinterpret_cast<char*>(bytes), kept);
        peeked_.erase(0, kept);
    }
    return kept + ReadFully(fd_, bytes + kept, n - kept);
}

std::size_t File::Peek(void* buffer, std::size_t n)
{
    if (Seekable()) {
        return ReadAt(buffer, n, Position());
    }
    if (peeked_.size() < n) {
        std::string more(n - peeked_.size(), '\0');
        const std::size_t got =
            ReadFully(fd_, reinterpret_cast<unsigned char*>(more.data()), more.size());
        peeked_.append(more, 0, got);
    }
    return peeked_.copy(static_cast<char*>(buffer), n);
}

void File::ReadExact(void* buffer, std::size_t n)
{
    if (Read(buffer, n) != n) {
        throw FileError(0, ReadBeyondEndMessage);
    }
}

void File::WriteAll(const void* buffer, std::size_t n)
{
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (n > 0) {
        const ssize_t put = ::write(fd_, bytes, n);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno();
        }
        if (put == 0) {
            throw FileError(ENOSPC);
        }
        bytes += put;
        n -= static_cast<std::size_t>(put);
    }
}

std::size_t File::ReadAt(void* buffer, std::size_t n, std::uint64_t offset)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd_, bytes + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno();
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void File::WriteAllAt(const void* buffer, std::size_t n, std::uint64_t offset)
{
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (n > 0) {
        const ssize_t put = ::pwrite(fd_, bytes, n, static_cast<off_t>(offset));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowErrno();
        }
        if (put == 0) {
            throw FileError(ENOSPC);
        }
        bytes += put;
        offset += static_cast<std::uint64_t>(put);
        n -= static_cast<std::size_t>(put);
    }
}

void File::Seek(std::uint64_t position)
{
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
        ThrowErrno();
    }
}

std::uint64_t File::Position() const
{
    const off_t position = ::lseek(fd_, 0, SEEK_CUR);
    if (position < 0) {
        if (errno == ESPIPE) {
            return 0;
        }
        ThrowErrno();
    }
    return static_cast<std::uint64_t>(position);
}

bool File::Seekable() const noexcept
{
    return ::lseek(fd_, 0, SEEK_CUR) >= 0;
}

std::uint64_t File::Size() const
{
    return Status().Size;
}

FileStatus File::Status() const
{
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        ThrowErrno();
    }
    FileStatus status;
    status.Identity = {info.st_dev, info.st_ino};
    status.Links = info.st_nlink;
    status.Owner = info.st_uid;
    status.Group = info.st_gid;
    status.Permissions = info.st_mode & 07777;
    status.Size = static_cast<std::uint64_t>(info.st_size);
    return status;
}

void File::Truncate(std::uint64_t length)
{
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        ThrowErrno();
    }
}

void File::Sync()
{
    if (::fsync(fd_) != 0) {
        ThrowErrno();
    }
}

void File::SyncData()
{
    if (::fdatasync(fd_) != 0) {
        ThrowErrno();
    }
}

void File::StartWriteback(std::uint64_t offset, std::uint64_t length)
{
    if (::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE) != 0) {
        ThrowErrno();
    }
}

void File::AwaitWriteback(std::uint64_t offset, std::uint64_t length)
{
    constexpr unsigned int all =
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), all) != 0) {
        ThrowErrno();
    }
}

mode_t File::Permissions() const
{
    return Status().Permissions;
}

void File::SetPermissions(mode_t permissions)
{
    if (::fchmod(fd_, permissions) != 0) {
        ThrowErrno();
    }
}

void File::Close()
{
    if (fd_ < 0) {
        return;
    }
    const int fd = fd_;
    fd_ = -1; // never closed twice: after EINTR the descriptor is gone on Linux
    if (::close(fd) != 0 && errno != EINTR) {
        ThrowErrno();
    }
}

bool RenameNoReplace(const std::string& from, const std::string& to, int* error) noexcept
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    int cause = errno;
    if (cause == EINVAL || cause == ENOSYS || cause == ENOTSUP) {
        // The file system cannot rename without replacing; a hard link can be
        // made only under a free name, so link + unlink never replaces either.
        if (::link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) == 0) {
                return true;
            }
            cause = errno;
            ::unlink(to.c_str());
        } else {
            cause = errno;
        }
    }
    if (error != nullptr) {
        *error = cause;
    }
    return false;
}

void RemoveFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0) {
        ThrowErrno();
    }
}

void SyncFileSystem(const File& folder)
{
    if (::syncfs(folder.Descriptor()) != 0) {
        throw FileError(errno);
    }
}

bool PathExists(const std::string& path) noexcept
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) noexcept
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<FileIdentity> IdentityOf(const std::string& path) noexcept
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

bool SameEntry(const std::string& a, const std::string& b) noexcept
{
    if (NameOf(a) != NameOf(b)) {
        return false;
    }
    const std::optional<FileIdentity> folderA = IdentityOf(FolderOf(a));
    return folderA && folderA == IdentityOf(FolderOf(b));
}

EntryKind KindOfEntry(const std::string& path, int* error) noexcept
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (error != nullptr) {
            *error = errno == ENOENT ? 0 : errno;
        }
        return EntryKind::Missing;
    }
    return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::Other;
}

std::string ResolvePath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        ThrowErrno();
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

mode_t MaskedPermissions(mode_t permissions) noexcept
{
    const mode_t mask = ::umask(077); // umask can only be read by setting it
    ::umask(mask);
    return permissions & ~mask;
}

} // namespace ciphra
