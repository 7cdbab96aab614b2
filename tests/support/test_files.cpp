#include "support/test_files.h"

#include <csignal>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace ciphra::test {

TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "ciphra-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    // Restore permissions that a test took away so that everything can go.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(path_, ignored);
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

namespace {

// Reads in one piece: a character iterator takes seconds for 100 MiB.
std::string ReadAll(std::ifstream& in)
{
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

} // namespace

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return ReadAll(in);
}

std::size_t OpenDescriptorCount()
{
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

std::string PatternBytes(std::size_t length, std::uint32_t seed)
{
    std::string bytes(length, '\0');
    std::uint32_t state = seed * 2654435761U + 1;
    for (char& byte : bytes) {
        state = state * 1664525U + 1013904223U; // a plain LCG is enough here
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = std::filesystem::relative(entry.path(), folder).string();
        if (entry.is_directory()) {
            entries[name] = "<dir>";
            continue;
        }
        if (!entry.is_regular_file() && !entry.is_symlink()) {
            entries[name] = "<special>"; // a FIFO would block the reading
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        entries[name] = in ? ReadAll(in) : "<unreadable>";
    }
    return entries;
}

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

AsFolderOwner::AsFolderOwner(const std::filesystem::path& folder)
{
    if (!RunningAsRoot())
        return;
    constexpr uid_t nobody = 65534;
    if (::lchown(folder.c_str(), nobody, nobody) != 0)
        throw std::runtime_error("lchown failed");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (::lchown(entry.path().c_str(), nobody, nobody) != 0)
            throw std::runtime_error("lchown failed");
    const int count = ::getgroups(0, nullptr);
    groups_.resize(static_cast<std::size_t>(count > 0 ? count : 0));
    if (::getresgid(&groupIds_[0], &groupIds_[1], &groupIds_[2]) != 0 ||
        ::getgroups(count, groups_.data()) != count)
        throw std::runtime_error("cannot read the group ids");
    if (::setgroups(0, nullptr) != 0 || ::setresgid(nobody, nobody, nobody) != 0 ||
        ::setresuid(nobody, nobody, 0) != 0)
        throw std::runtime_error("cannot switch to an ordinary user");
    switched_ = true;
}

AsFolderOwner::~AsFolderOwner()
{
    if (!switched_)
        return;
    if (::setresuid(0, 0, 0) != 0 || ::setresgid(groupIds_[0], groupIds_[1], groupIds_[2]) != 0 ||
        ::setgroups(groups_.size(), groups_.data()) != 0)
        std::terminate(); // the remaining tests would run with the wrong rights
}

FileSizeLimit::FileSizeLimit(rlim_t limit)
{
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
}

} // namespace ciphra::test
