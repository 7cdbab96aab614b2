#include "core/io/output_file.h"

#include <cerrno>
#include <cstdio> // renameat2
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "core/io/interrupts.h"
#include "core/io/path_names.h"
#ifndef CIPHRA_STUB_BUILD
#include "core/io/background_flush.h"
#endif

namespace ciphra {
namespace {

constexpr std::size_t RandomLength = 6;
constexpr int CreateAttempts = 100;

// Six characters that differ from one call to the next, from the kernel's
// random source when it answers at once, else from the clock.
std::string RandomPart()
{
    static constexpr char alphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[RandomLength];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        static unsigned counter = 0;
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec) ^
                                 (static_cast<unsigned long long>(::getpid()) << 20) ^ ++counter;
        for (unsigned char& byte : bytes) {
            mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
            byte = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::string part(RandomLength, 'x');
    for (std::size_t i = 0; i < RandomLength; ++i) {
        part[i] = alphabet[bytes[i] % (sizeof alphabet - 1)];
    }
    return part;
}

// "." + the final name + "." + random: the final name is shortened so that
// the whole stays within a name's 255 bytes.
std::string WorkingNameFor(const std::string& finalName)
{
    std::string name(1, '.');
    name.append(NamePrefix(finalName, LongestName - RandomLength - 2));
    name.push_back('.');
    name.append(RandomPart());
    return name;
}

} // namespace

void FlushFolder(const File& folder)
{
    if (::fsync(folder.Descriptor()) != 0 && errno != EINVAL && errno != ENOTSUP) {
        throw FileError(errno);
    }
}

OutputFile::OutputFile(const std::string& finalPath, [[maybe_unused]] Writeback writeback)
    : finalPath_(finalPath), folder_(File::OpenFolder(FolderOf(finalPath)))
{
    const std::string finalName = NameOf(finalPath);
    int error = EEXIST;
    for (int attempt = 0; attempt < CreateAttempts && error == EEXIST; ++attempt) {
        std::string name = WorkingNameFor(finalName);
        // No ending signal between the file's creation and its record.
        InterruptsHeld held;
        std::optional<File> created = File::TryCreateIn(folder_, name, 0600, &error);
        if (created) {
            file_ = std::move(*created);
            workingName_ = std::move(name);
            slot_ = RememberWorkingFile(folder_.Descriptor(), workingName_.c_str());
            error = 0;
        }
    }
    if (error != 0) {
        throw FileError(error);
    }
#ifndef CIPHRA_STUB_BUILD
    if (writeback == Writeback::AtEnd) {
        return;
    }
    try {
        flush_ = new BackgroundFlush(file_);
    } catch (...) {
        Discard(); // no destructor runs for an object whose constructor failed
        throw;
    }
#endif
}

OutputFile::~OutputFile()
{
#ifndef CIPHRA_STUB_BUILD
    if (flush_ != nullptr) {
        flush_->Cancel();
        delete flush_;
    }
#endif
    Discard();
}

void OutputFile::Discard() noexcept
{
    if (workingName_.empty()) {
        return;
    }
    try {
        file_.Close();
    } catch (const FileError&) {
        // the file goes anyway
    }
    InterruptsHeld held;
    ::unlinkat(folder_.Descriptor(), workingName_.c_str(), 0);
    Named();
}

std::string OutputFile::WorkingPath() const
{
    const std::string folder = FolderOf(finalPath_);
    return (folder.ends_with('/') ? folder : folder + "/") + workingName_;
}

void OutputFile::TakeOwnerOf(const FileStatus& like)
{
    if (::fchown(file_.Descriptor(), like.Owner, like.Group) != 0) {
        throw FileError(errno);
    }
}

namespace {

// The names of the extended attributes of an open file, each ended by a zero byte.
std::string AttributeNames(int fd)
{
    for (;;) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP) {
                return {};
            }
            throw FileError(errno);
        }
        std::string names(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return names;
        }
        if (errno != ERANGE) { // grew in between: ask again
            throw FileError(errno);
        }
    }
}

template <typename Each> void ForEachName(const std::string& names, Each each)
{
    for (std::size_t at = 0; at < names.size();) {
        const std::size_t end = names.find('\0', at);
        each(names.substr(at, end - at));
        at = end + 1;
    }
}

bool IsSecurityLabel(const std::string& name)
{
    return name.starts_with("security.");
}

} // namespace

void OutputFile::CopyExtendedAttributesOf(const File& like)
{
    const int from = like.Descriptor();
    const int to = file_.Descriptor();
    const std::string wanted = AttributeNames(from);
    // What the folder's defaults gave the new file and the original lacks goes.
    ForEachName(AttributeNames(to), [&](const std::string& name) {
        const bool kept = ('\0' + wanted).find('\0' + name + '\0') != std::string::npos;
        if (!kept && ::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA &&
            !IsSecurityLabel(name)) {
            throw FileError(errno);
        }
    });
    ForEachName(wanted, [&](const std::string& name) {
        std::string value;
        ssize_t size = 0;
        do {
            size = ::fgetxattr(from, name.c_str(), nullptr, 0);
            if (size < 0) {
                throw FileError(errno);
            }
            value.resize(static_cast<std::size_t>(size));
            size = ::fgetxattr(from, name.c_str(), value.data(), value.size());
        } while (size < 0 && errno == ERANGE);
        if (size < 0) {
            throw FileError(errno);
        }
        value.resize(static_cast<std::size_t>(size));
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0 &&
            !IsSecurityLabel(name)) {
            throw FileError(errno);
        }
    });
}

void OutputFile::Finish(mode_t permissions)
{
    Complete(permissions);
    FlushAndClose();
}

void OutputFile::Complete(mode_t permissions)
{
#ifndef CIPHRA_STUB_BUILD
    if (flush_ != nullptr) {
        flush_->Stop();
    }
#endif
    file_.SetPermissions(permissions);
}

void OutputFile::FlushAndClose()
{
    file_.Sync();
    file_.Close();
}

void OutputFile::CloseFlushed()
{
    file_.AwaitWriteback(0, 0);
    file_.Close();
}

bool OutputFile::PublishNew(FolderFlush flush)
{
    return Rename(NameOf(finalPath_), false, flush);
}

bool OutputFile::PublishNewAs(const std::string& name)
{
    return Rename(name, false, FolderFlush::Now);
}

void OutputFile::PublishReplacing(FolderFlush flush)
{
    Rename(NameOf(finalPath_), true, flush);
}

std::string OutputFile::Release()
{
    std::string path = WorkingPath();
    try {
        file_.Close();
    } catch (const FileError&) {
        // what was written stays; the caller names the file
    }
    Named();
    return path;
}

bool OutputFile::Rename(const std::string& name, bool replace, FolderFlush flush)
{
    const int dir = folder_.Descriptor();
    int cause = 0;
    {
        InterruptsHeld held;
        if (replace) {
            cause = ::renameat(dir, workingName_.c_str(), dir, name.c_str()) == 0 ? 0 : errno;
        } else if (::renameat2(dir, workingName_.c_str(), dir, name.c_str(), RENAME_NOREPLACE) !=
                   0) {
            cause = errno;
            if (cause == EINVAL || cause == ENOSYS || cause == ENOTSUP) {
                // A file system that cannot rename without replacing: a hard
                // link is made only under a free name, so this never replaces.
                cause = ::linkat(dir, workingName_.c_str(), dir, name.c_str(), 0) == 0 ? 0 : errno;
                if (cause == 0) {
                    ::unlinkat(dir, workingName_.c_str(), 0);
                }
            }
        }
        if (cause == 0) {
            Named();
        }
    }
    if (cause == EEXIST && !replace) {
        return false;
    }
    if (cause != 0) {
        throw FileError(cause);
    }
    // The new name is on disk only once the folder is.
    if (flush == FolderFlush::Now) {
        FlushFolder(folder_);
    }
    return true;
}

void OutputFile::Named() noexcept
{
    ForgetWorkingFile(slot_);
    slot_ = -1;
    workingName_.clear();
}

} // namespace ciphra
