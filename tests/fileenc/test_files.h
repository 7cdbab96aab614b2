#pragma once
// Scratch folders and whole-file helpers for the tests (not the file layer:
// tests set up and inspect files with the standard library).

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

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

// Every entry of a folder (recursively) with its content ("<dir>" for folders),
// to show that a failed command wrote nothing.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& folder);

// Tests that need permission checks cannot run as root.
bool RunningAsRoot();

} // namespace ciphra::test
