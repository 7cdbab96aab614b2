#include "core/io/folder_walk.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "core/io/path_names.h"

namespace ciphra {
namespace {

struct Child {
    std::string Name;
    struct stat Info {};
};

// A folder being walked: its entries, looked at without following links.
struct Frame {
    std::string Path;
    FileIdentity Identity;
    std::vector<Child> Children;
    std::size_t Next = 0;
};

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Reads the entries of the folder `path`, which must still be the folder
// `identity` (not a link put in its place meanwhile). Returns the errno value
// of a failure, 0 on success.
int ReadFolder(const std::string& path, const FileIdentity& identity, std::vector<Child>& out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || FileIdentity{info.st_dev, info.st_ino} != identity) {
        ::close(fd);
        return ENOENT; // it changed since it was looked at
    }
    DIR* folder = ::fdopendir(fd);
    if (folder == nullptr) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        Child child{name, {}};
        // An entry removed meanwhile is simply not there.
        if (::fstatat(fd, name.c_str(), &child.Info, AT_SYMLINK_NOFOLLOW) == 0) {
            out.push_back(std::move(child));
        }
    }
    ::closedir(folder);
    std::sort(out.begin(), out.end(),
              [](const Child& a, const Child& b) { return a.Name < b.Name; });
    return error;
}

class Walk {
public:
    explicit Walk(std::vector<WalkEntry>& out) : out_(out) {}

    void Operand(const std::string& path)
    {
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            Folder(path, info);
            return;
        }
        if (IsDirectory(path)) {
            Skip(path, SkipReason::SymbolicLink);
            return;
        }
        const std::optional<FileIdentity> folder = IdentityOf(FolderOf(path));
        if (!folder || Once(*folder, NameOf(path))) {
            out_.push_back({path, WalkKind::File, {}, 0, false});
        }
    }

private:
    void Folder(const std::string& root, const struct stat& info)
    {
        const dev_t device = info.st_dev;
        std::vector<Frame> stack;
        Enter(root, info, stack);
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.Next == frame.Children.size()) {
                stack.pop_back();
                continue;
            }
            const Child& child = frame.Children[frame.Next++];
            const std::string path = Join(frame.Path, child.Name);
            const mode_t mode = child.Info.st_mode;
            if (S_ISLNK(mode)) {
                Skip(path, SkipReason::SymbolicLink);
            } else if (!S_ISDIR(mode) && !S_ISREG(mode)) {
                Skip(path, SkipReason::Special);
            } else if (child.Info.st_dev != device) {
                Skip(path, SkipReason::OtherFileSystem);
            } else if (S_ISREG(mode)) {
                if (Once(frame.Identity, child.Name)) {
                    out_.push_back({path, WalkKind::File, {}, 0, true});
                }
            } else {
                const struct stat folderInfo = child.Info;
                Enter(path, folderInfo, stack); // may move `frame` and `child`
            }
        }
    }

    void Enter(const std::string& path, const struct stat& info, std::vector<Frame>& stack)
    {
        const FileIdentity identity{info.st_dev, info.st_ino};
        if (!folders_.insert({identity.Device, identity.Inode}).second) {
            Skip(path, SkipReason::SeenBefore);
            return;
        }
        Frame frame{path, identity, {}, 0};
        if (const int error = ReadFolder(path, identity, frame.Children); error != 0) {
            out_.push_back({path, WalkKind::Failed, {}, error, false});
        }
        stack.push_back(std::move(frame));
    }

    void Skip(const std::string& path, SkipReason why)
    {
        out_.push_back({path, WalkKind::Skipped, why, 0, false});
    }

    // True the first time the entry `name` of the folder `folder` is met.
    bool Once(const FileIdentity& folder, const std::string& name)
    {
        return files_.insert({folder.Device, folder.Inode, name}).second;
    }

    std::vector<WalkEntry>& out_;
    std::set<std::pair<dev_t, ino_t>> folders_;
    std::set<std::tuple<dev_t, ino_t, std::string>> files_;
};

} // namespace

std::vector<WalkEntry> ExpandOperands(const std::vector<std::string>& operands)
{
    std::vector<WalkEntry> entries;
    Walk walk(entries);
    for (const std::string& operand : operands) {
        walk.Operand(operand);
    }
    return entries;
}

} // namespace ciphra
