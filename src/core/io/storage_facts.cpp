#include "core/io/storage_facts.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <vector>

#include "core/io/path_names.h"
#include "core/io/posix_file.h"

namespace ciphra {
namespace {

// True when FIEMAP marks any extent of the open file as shared. A file
// system that cannot tell (tmpfs, most network ones) gives false. The first
// request flushes the file, so that data still in memory has its extents.
bool HasSharedExtents(int fd)
{
    constexpr unsigned Batch = 64;
    std::vector<unsigned char> buffer(sizeof(fiemap) + Batch * sizeof(fiemap_extent));
    std::uint64_t start = 0;
    for (bool first = true;; first = false) {
        std::memset(buffer.data(), 0, buffer.size());
        auto* map = reinterpret_cast<fiemap*>(buffer.data());
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_flags = first ? FIEMAP_FLAG_SYNC : 0;
        map->fm_extent_count = Batch;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) {
            return false;
        }
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& extent = map->fm_extents[i];
            if ((extent.fe_flags & FIEMAP_EXTENT_SHARED) != 0) {
                return true;
            }
            if ((extent.fe_flags & FIEMAP_EXTENT_LAST) != 0) {
                return false;
            }
        }
        const fiemap_extent& last = map->fm_extents[map->fm_mapped_extents - 1];
        start = last.fe_logical + last.fe_length;
    }
}

// The whole of a small system file (the mount table, a sysfs value).
std::string ReadSmallFile(const std::string& path)
{
    std::optional<File> file = File::TryOpen(path, OpenMode::ReadOnly);
    std::string text;
    if (!file) {
        return text;
    }
    char buffer[16384];
    try {
        while (const std::size_t n = file->Read(buffer, sizeof buffer)) {
            text.append(buffer, n);
        }
    } catch (const FileError&) {
        text.clear();
    }
    return text;
}

// The mount table writes a blank, tab, line break and backslash in a path
// as "\040", "\011", "\012" and "\134".
std::string Unescaped(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && text.size() - i >= 4) {
            const std::string digits(text.substr(i + 1, 3));
            char* end = nullptr;
            const long value = std::strtol(digits.c_str(), &end, 8);
            if (end == digits.c_str() + 3) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            fields.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return fields;
}

// One line of the mount table: "ID PARENT MAJ:MIN ROOT POINT OPTIONS
// [TAGS...] - TYPE SOURCE SUPER-OPTIONS". Nothing for a line of another form.
std::optional<std::pair<std::string, MountEntry>> ParseMountLine(std::string_view line)
{
    const std::vector<std::string_view> fields = Fields(line);
    std::size_t dash = 6;
    while (dash < fields.size() && fields[dash] != "-") {
        ++dash;
    }
    if (fields.size() < 6 || dash + 3 >= fields.size()) {
        return std::nullopt;
    }
    MountEntry entry{Unescaped(fields[4]), std::string(fields[dash + 1]),
                     Unescaped(fields[dash + 2]), std::string(fields[dash + 3])};
    return std::make_pair(std::string(fields[2]), std::move(entry));
}

bool Holds(const std::string& mountPoint, const std::string& path)
{
    if (mountPoint == "/") {
        return true;
    }
    return path.starts_with(mountPoint) &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The block device under a file on device `device`: itself, or for a file
// system without one of its own (btrfs's subvolumes) the source it was
// mounted from.
std::optional<dev_t> BlockDeviceOf(dev_t device, const std::optional<MountEntry>& mount)
{
    if (major(device) != 0) {
        return device;
    }
    struct stat source {};
    if (mount && mount->Source.starts_with("/dev/") &&
        ::stat(mount->Source.c_str(), &source) == 0 && S_ISBLK(source.st_mode)) {
        return source.st_rdev;
    }
    return std::nullopt;
}

std::string ResolvedPath(const std::string& path)
{
    char folder[PATH_MAX];
    if (::realpath(FolderOf(path).c_str(), folder) == nullptr) {
        return path;
    }
    const std::string resolved = folder;
    return (resolved.ends_with('/') ? resolved : resolved + "/") + NameOf(path);
}

} // namespace

std::optional<bool> RotationalOf(dev_t device, const std::string& sysfs)
{
    const std::string base =
        sysfs + "/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::string value = ReadSmallFile(base + "/queue/rotational");
    if (value.empty() && !ReadSmallFile(base + "/partition").empty()) {
        value = ReadSmallFile(base + "/../queue/rotational");
    }
    if (value.starts_with('0')) {
        return false;
    }
    if (value.starts_with('1')) {
        return true;
    }
    return std::nullopt;
}

std::optional<MountEntry> FindMount(std::string_view mountTable, unsigned major, unsigned minor,
                                    const std::string& path)
{
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    std::optional<MountEntry> holder;
    while (!mountTable.empty()) {
        const std::size_t end = std::min(mountTable.find('\n'), mountTable.size());
        const auto parsed = ParseMountLine(mountTable.substr(0, end));
        mountTable.remove_prefix(std::min(end + 1, mountTable.size()));
        if (!parsed) {
            continue;
        }
        if (parsed->first == device) {
            return parsed->second;
        }
        // Of the mount points that hold the path, the longest; of equal
        // ones the later, which hides the earlier.
        if (Holds(parsed->second.MountPoint, path) &&
            (!holder || parsed->second.MountPoint.size() >= holder->MountPoint.size())) {
            holder = parsed->second;
        }
    }
    return holder;
}

std::optional<StorageFacts> ReadStorageFacts(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    StorageFacts facts;
    facts.Links = info.st_nlink;
    struct statfs system {};
    if (::statfs(path.c_str(), &system) == 0) {
        facts.FileSystemMagic = static_cast<std::uint64_t>(system.f_type);
    }
    if (std::optional<File> file = File::TryOpenRegular(path, OpenMode::ReadOnly)) {
        facts.SharedExtents = HasSharedExtents(file->Descriptor());
    }
    const std::optional<MountEntry> mount =
        FindMount(ReadSmallFile("/proc/self/mountinfo"), major(info.st_dev), minor(info.st_dev),
                  ResolvedPath(path));
    if (mount) {
        facts.FileSystemType = mount->Type;
        facts.MountOptions = mount->Options;
    }
    if (const std::optional<dev_t> device = BlockDeviceOf(info.st_dev, mount)) {
        facts.Rotational = RotationalOf(*device);
    }
    return facts;
}

} // namespace ciphra
