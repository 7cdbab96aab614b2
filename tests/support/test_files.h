#pragma once
// Scratch folders and whole-file helpers for the tests (not the file layer:
// tests set up and inspect files with the standard library).

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

namespace ciphra::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    const std::filesystem::path& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// Deterministic bytes that differ from one seed to another.
std::string PatternBytes(std::size_t length, std::uint32_t seed = 1);

// Every entry of a folder (recursively) with its content ("<dir>" for folders,
// "<special>" for FIFOs, devices and sockets), to show that a failed command
// wrote nothing.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

// How many descriptors this process has open, to show that nothing kept one.
std::size_t OpenDescriptorCount();

// True when the tests run as root, for whom permission checks do not apply.
bool RunningAsRoot();

// Permission checks do not apply to root: while this lives, a test run as
// root works as the unprivileged user 65534, which owns the folder and
// everything in it. Real and effective ids both change, so access() checks
// as that user too; the saved id keeps the way back. Does nothing for other
// users.
class AsFolderOwner {
public:
    explicit AsFolderOwner(const std::filesystem::path& folder);
    AsFolderOwner(const AsFolderOwner&) = delete;
    AsFolderOwner& operator=(const AsFolderOwner&) = delete;
    ~AsFolderOwner();

private:
    bool switched_ = false;
    gid_t groupIds_[3] = {}; // real, effective, saved
    std::vector<gid_t> groups_;
};

// While this lives no file of this process may grow past `limit` bytes: a
// write past it fails with EFBIG, as on a full disk, instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit);
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit();

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace ciphra::test
