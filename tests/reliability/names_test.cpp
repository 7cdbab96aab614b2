// Awkward names and paths through ciphra2k-cli: names with newlines, spaces,
// leading dashes, shell characters and invalid UTF-8 are files like any other
// (after "--"); paths around and beyond PATH_MAX either work or fail with a
// message, never half way.

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "core/io/path_names.h"
#include "core/io/posix_file.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

class NameTest : public ReliabilityTest, public ::testing::WithParamInterface<const char*> {
protected:
    ProcessResult Run(Command command, const std::string& name) const
    {
        ProcessRun run = CliRun(command);
        run.Args = ArgumentsFor(command, PasswordFile(), name);
        return CheckedRun(run);
    }
};

TEST_P(NameTest, EveryCommandTakesTheNameAsItIs)
{
    const std::string name = GetParam();
    const std::string path = Work() + "/" + name;
    WriteBytes(path, plain_);

    const ProcessResult encrypted = Run(Command::EncryptBeside, name);
    ASSERT_EQ(encrypted.ExitCode, 0) << encrypted.Err;
    EXPECT_EQ(encrypted.Out, name + ".CPH\n");
    EXPECT_EQ(ReadBytes(path + ".CPH"), ExpectedOutput(Command::EncryptBeside, plain_));

    const ProcessResult decrypted = Run(Command::DecryptBeside, name + ".CPH");
    ASSERT_EQ(decrypted.ExitCode, 0) << decrypted.Err;
    EXPECT_EQ(ReadBytes(ReplaceExtension(path + ".CPH", ".dec")), plain_);

    ASSERT_EQ(Run(Command::EncryptInPlace, name).ExitCode, 0);
    ASSERT_EQ(Run(Command::DecryptInPlace, name).ExitCode, 0);
    EXPECT_EQ(ReadBytes(path), plain_);

    const ProcessResult program = Run(Command::Sfx, name);
    ASSERT_EQ(program.ExitCode, 0) << program.Err;
    EXPECT_EQ(ReadBytes(ReplaceExtension(path, ".exe")), ExpectedOutput(Command::Sfx, plain_));
}

// "-" alone is standard input, even after "--" (as for every tool that reads
// it); a file of that name is "./-".
INSTANTIATE_TEST_SUITE_P(Cli, NameTest,
                         ::testing::Values("-rf", "--in-place", "./-", "line\nbreak.txt",
                                           " lead and trail ", "\xff\xfe invalid.bin",
                                           "caf\xc3\xa9.txt", "*?[x] $HOME;.txt", "back\\slash",
                                           "..dots.."),
                         [](const auto& info) {
                             // Test names take letters and digits only.
                             std::string label = "Name" + std::to_string(info.index) + "_";
                             for (const char c : std::string(info.param)) {
                                 label += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return label;
                         });

// Without "--" a name that looks like an option is refused as one (or taken
// as the option it spells), and nothing is written.
TEST_F(ReliabilityTest, ADashNameWithoutTheEndOfOptionsIsAUsageError)
{
    for (const std::string name : {"-rf", "--in-place", "-x.txt", "--password-file"}) {
        WriteBytes(Work() + "/" + name, plain_);
        const auto before = WorkSnapshot();
        ProcessRun run = CliRun(Command::EncryptBeside);
        run.Args = {"encrypt", "--password-file", PasswordFile(), name};
        const ProcessResult result = CheckedRun(run);
        EXPECT_EQ(result.ExitCode, 2) << name << ": " << result.Err;
        EXPECT_TRUE(WorkSnapshot() == before) << name;
    }
}

// A folder chain whose deepest file has an absolute path of a given length,
// reached through descriptors (a path over PATH_MAX cannot be opened whole).
class DeepFolder {
public:
    DeepFolder(const std::string& top, std::size_t pathLength)
    {
        path_ = top;
        folder_ = ::open(top.c_str(), O_DIRECTORY | O_RDONLY);
        const std::string component(100, 'd');
        while (pathLength - path_.size() > 1 + 120) {
            ::mkdirat(folder_, component.c_str(), 0755);
            const int next = ::openat(folder_, component.c_str(), O_DIRECTORY | O_RDONLY);
            ::close(folder_);
            folder_ = next;
            path_ += "/" + component;
        }
        name_ = std::string(pathLength - path_.size() - 1, 'f');
        path_ += "/" + name_;
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;
    ~DeepFolder() { ::close(folder_); }

    const std::string& FilePath() const { return path_; }
    const std::string& FileName() const { return name_; }
    int Descriptor() const { return folder_; }

    void Write(const std::string& name, const std::string& bytes) const
    {
        const int fd = ::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }
    std::string Read(const std::string& name) const
    {
        const int fd = ::openat(folder_, name.c_str(), O_RDONLY);
        std::string bytes;
        char piece[65536];
        ssize_t n = 0;
        while (fd >= 0 && (n = ::read(fd, piece, sizeof piece)) > 0) {
            bytes.append(piece, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return bytes;
    }
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        DIR* dir = ::fdopendir(::dup(folder_));
        ::rewinddir(dir);
        while (const dirent* entry = ::readdir(dir)) {
            if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") {
                names.insert(entry->d_name);
            }
        }
        ::closedir(dir);
        return names;
    }

private:
    std::string path_;
    std::string name_;
    int folder_ = -1;
};

struct LongPathCase {
    std::size_t Length;
    bool Relative; // run in the deepest folder with the bare name
    Command Target;
};

class LongPathTest : public ReliabilityTest, public ::testing::WithParamInterface<LongPathCase> {
protected:
    ~LongPathTest() override
    {
        // The standard library cannot remove a tree this deep; rm can.
        std::system(("rm -rf '" + Work() + "/" + std::string(100, 'd') + "'").c_str());
    }
};

TEST_P(LongPathTest, WorksOrFailsWithAMessage)
{
    const LongPathCase& c = GetParam();
    const DeepFolder deep(Work(), c.Length);
    deep.Write(deep.FileName(), plain_);
    ProcessRun run = CliRun(c.Target);
    run.Args =
        ArgumentsFor(c.Target, PasswordFile(), c.Relative ? deep.FileName() : deep.FilePath());
    if (c.Relative) {
        run.WorkingFolderFd = deep.Descriptor();
    }
    const ProcessResult result = CheckedRun(run);

    const std::string output = OutputFor(c.Target, deep.FileName());
    if (result.ExitCode == 0) {
        const std::string written = deep.Read(output.empty() ? deep.FileName() : output);
        EXPECT_EQ(written, ExpectedOutput(c.Target, plain_));
        EXPECT_EQ(deep.Names().size(), output.empty() ? 1U : 2U);
    } else {
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(result.Err.starts_with("ciphra2k-cli: ")) << result.Err;
        EXPECT_EQ(deep.Names(), std::set<std::string>{deep.FileName()});
        EXPECT_EQ(deep.Read(deep.FileName()), plain_);
    }
    if (c.Relative && c.Target != Command::EncryptInPlace) {
        EXPECT_EQ(result.ExitCode, 0) << "a bare name in a deep folder must work: " << result.Err;
    }
    if (!c.Relative && c.Length >= PATH_MAX) {
        EXPECT_NE(result.Err.find("I/O error 36"), std::string::npos) << result.Err;
    }
}

std::vector<LongPathCase> LongPathCases()
{
    std::vector<LongPathCase> cases;
    for (const std::size_t length : {4000U, 4091U, 4095U, 4096U, 5000U}) {
        for (const bool relative : {false, true}) {
            for (const Command command :
                 {Command::EncryptBeside, Command::EncryptInPlace, Command::Sfx}) {
                cases.push_back({length, relative, command});
            }
        }
    }
    return cases;
}

std::string LongPathName(const ::testing::TestParamInfo<LongPathCase>& info)
{
    return std::to_string(info.param.Length) + (info.param.Relative ? "_Relative_" : "_Absolute_") +
           NameOf(info.param.Target);
}

INSTANTIATE_TEST_SUITE_P(Cli, LongPathTest, ::testing::ValuesIn(LongPathCases()), LongPathName);

} // namespace
} // namespace ciphra::test
