// encrypt and decrypt, end to end on the built program.

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

#include "cli/cli_fixture.h"
#include "core/io/posix_file.h"
#include "support/stream_reference.h"

namespace ciphra::test {
namespace {

std::vector<std::string> Names(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t PermissionsOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

struct KeyForm {
    const char* Name;
    std::string Password;
    bool Raw;
};

const KeyForm KeyForms[] = {
    {"digest", "correct horse", false},
    {"digest of a long password", std::string(100, 'L'), false},
    {"raw 1 byte", "k", true},
    {"raw 16 bytes", "sixteen-byte-key", true},
    {"raw 17 bytes", "seventeen-bytekey", true},
    {"raw 32 bytes", std::string(32, 'Z'), true},
    {"raw UTF-8", "p\xC3\xA4sswort\xE2\x82\xAC", true},
};

// Every key form at a length with whole blocks, a chunk boundary and a tail;
// every length of interest with the default form. (The stream's own tests
// cover all lengths; here the point is what reaches the stream.)
std::vector<std::pair<const KeyForm*, std::size_t>> RoundTripCases()
{
    std::vector<std::pair<const KeyForm*, std::size_t>> cases;
    for (const KeyForm& form : KeyForms) {
        cases.emplace_back(&form, 8192 + 21);
    }
    for (const std::size_t length : {0, 1, 5, 16, 8193, 70001}) {
        cases.emplace_back(&KeyForms[0], length);
    }
    return cases;
}

TEST_F(CliTest, BesideRoundTripsEveryKeyForm)
{
    for (const auto& [formPointer, length] : RoundTripCases()) {
        const KeyForm& form = *formPointer;
        SCOPED_TRACE(std::string(form.Name) + ", " + std::to_string(length) + " bytes");
        const std::string plain = PatternBytes(length, static_cast<std::uint32_t>(length));
        WriteBytes(In("data.bin"), plain);
        std::vector<std::string> args = {"--password-file", PasswordFile(form.Password)};
        if (form.Raw) {
            args.push_back("--raw-key");
        }
        args.push_back("data.bin");

        args.insert(args.begin(), "encrypt");
        ProcessResult result = Run(args);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, "data.bin.CPH\n");
        EXPECT_EQ(ReadBytes(In("data.bin.CPH")), Encrypted(plain, form.Password, !form.Raw));

        args.front() = "decrypt";
        args.back() = "data.bin.CPH";
        result = Run(args);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, "data.bin.dec\n");
        EXPECT_EQ(ReadBytes(In("data.bin.dec")), plain);
        EXPECT_EQ(Names(folder_.Path()),
                  (std::vector<std::string>{"data.bin", "data.bin.CPH", "data.bin.dec"}));
        std::filesystem::remove(In("data.bin.CPH"));
        std::filesystem::remove(In("data.bin.dec"));
    }
}

TEST_F(CliTest, InPlaceRoundTripsEveryKeyForm)
{
    for (const auto& [formPointer, length] : RoundTripCases()) {
        const KeyForm& form = *formPointer;
        SCOPED_TRACE(std::string(form.Name) + ", " + std::to_string(length) + " bytes");
        const std::string plain = PatternBytes(length, static_cast<std::uint32_t>(length + 1));
        WriteBytes(In("f"), plain);
        std::vector<std::string> args = {"encrypt", "--in-place", "--password-file",
                                         PasswordFile(form.Password)};
        if (form.Raw) {
            args.push_back("--raw-key");
        }
        args.push_back("f");
        ProcessResult result = Run(args);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, "f\n");
        EXPECT_EQ(ReadBytes(In("f")), Encrypted(plain, form.Password, !form.Raw));
        args.front() = "decrypt";
        result = Run(args);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(ReadBytes(In("f")), plain);
        EXPECT_EQ(Names(folder_.Path()), std::vector<std::string>{"f"});
    }
}

TEST_F(CliTest, DecryptNamesItsOutputByReplacingTheExtension)
{
    std::filesystem::create_directory(In("dir.v1"));
    const struct {
        const char* Input;
        const char* Output;
    } cases[] = {
        {"a.txt.CPH", "a.txt.dec"},
        {"noext", "noext.dec"},
        {"dir.v1/noext", "dir.v1/noext.dec"},
        {"x.CPH.CPH", "x.CPH.dec"},
    };
    const std::string password = PasswordFile("pw");
    for (const auto& c : cases) {
        WriteBytes(In(c.Input), "some bytes");
        const ProcessResult result = Run({"decrypt", "--password-file", password, c.Input});
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, std::string(c.Output) + "\n");
        EXPECT_TRUE(std::filesystem::exists(In(c.Output))) << c.Output;
    }
}

TEST_F(CliTest, SeveralFilesWithOnePassword)
{
    WriteBytes(In("one"), "first file");
    WriteBytes(In("two.txt"), "second file");
    const std::string password = PasswordFile("shared");
    const ProcessResult result = Run({"encrypt", "--password-file=" + password, "one", "two.txt"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "one.CPH\ntwo.txt.CPH\n");
    EXPECT_EQ(ReadBytes(In("two.txt.CPH")), Encrypted("second file", "shared", true));
}

TEST_F(CliTest, PasswordFileLosesExactlyOneTrailingLineBreak)
{
    const struct {
        const char* FileContent;
        std::string Password;
    } cases[] = {
        {"pw\n", "pw"},   {"pw", "pw"},       {"pw\n\n", "pw\n"},       {"pw\r\n", "pw"},
        {"pw\r", "pw\r"}, {" pw \n", " pw "}, {"pw\r\n\r\n", "pw\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.FileContent);
        WriteBytes(In("f"), "plain text here");
        std::filesystem::remove(In("f.CPH"));
        const ProcessResult result =
            Run({"encrypt", "--raw-key", "--password-file", PasswordFile(c.FileContent), "f"});
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(ReadBytes(In("f.CPH")), Encrypted("plain text here", c.Password, false));
    }
}

TEST_F(CliTest, OutputsGetTheirPermissions)
{
    const mode_t umaskNow = ::umask(022);
    ::umask(umaskNow);
    const std::string password = PasswordFile("pw");
    const struct {
        const char* Name;
        mode_t Mode;
        bool InPlace;
        mode_t Expected;
    } cases[] = {
        {"private", 0600, false, 0600},
        {"shared", 0644, false, 0644 & ~umaskNow},
        {"group", 0640, true, 0640},
        {"readonly", 0444, true, 0444},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(In(c.Name), "bytes");
        std::filesystem::permissions(In(c.Name), static_cast<std::filesystem::perms>(c.Mode));
        std::vector<std::string> args = {"encrypt", "--password-file", password, c.Name};
        if (c.InPlace) {
            args.insert(args.begin() + 1, "--in-place");
        }
        const ProcessResult result = Run(args);
        if (c.Mode == 0444 && !RunningAsRoot()) {
            EXPECT_EQ(result.ExitCode, 1) << "a read-only file is not replaced";
            continue;
        }
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(PermissionsOf(In(c.InPlace ? c.Name : std::string(c.Name) + ".CPH")), c.Expected);
    }
}

TEST_F(CliTest, InPlaceFollowsALinkToItsTarget)
{
    WriteBytes(In("target"), "linked content");
    std::filesystem::create_symlink("target", In("link"));
    const ProcessResult result =
        Run({"encrypt", "--in-place", "--password-file", PasswordFile("pw"), "link"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_TRUE(std::filesystem::is_symlink(In("link")));
    EXPECT_EQ(ReadBytes(In("target")), Encrypted("linked content", "pw", true));
}

// Each bad input: a clear message, exit 1, and the folder exactly as before.
TEST_F(CliTest, BadInputsWriteNothing)
{
    WriteBytes(In("a.txt"), "plain");
    WriteBytes(In("taken"), "plain");
    WriteBytes(In("taken.CPH"), "someone else's");
    WriteBytes(In("b.CPH"), "plain");
    WriteBytes(In("b.dec"), "already here");
    std::filesystem::create_directory(In("folder"));
    const std::string good = PasswordFile("pw");
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        std::string Message;
    } cases[] = {
        {"raw key of 33 bytes",
         {"encrypt", "--raw-key", "--password-file", PasswordFile(std::string(33, 'x')), "a.txt"},
         "Key (password) has to be between 1 and 32 bytes."},
        {"raw key of 33 bytes in place",
         {"encrypt", "--in-place", "--raw-key", "--password-file",
          PasswordFile(std::string(33, 'x')), "a.txt"},
         "between 1 and 32 bytes"},
        {"missing file",
         {"encrypt", "--password-file", good, "missing"},
         "missing: File not found"},
        {"missing file after a good one",
         {"encrypt", "--password-file", good, "a.txt", "missing"},
         "missing: File not found"},
        {"folder as file", {"encrypt", "--password-file", good, "folder"}, "folder: is a folder"},
        {"folder in place",
         {"decrypt", "--in-place", "--password-file", good, "folder"},
         "is a folder"},
        {"encrypted output exists", {"encrypt", "--password-file", good, "taken"}, "file exists"},
        {"decrypted output exists", {"decrypt", "--password-file", good, "b.CPH"}, "file exists"},
        {"empty password file", {"encrypt", "--password-file", PasswordFile(""), "a.txt"}, "empty"},
        {"password file of a newline",
         {"encrypt", "--password-file", PasswordFile("\n"), "a.txt"},
         "the password is empty"},
        {"missing password file",
         {"encrypt", "--password-file", In("nowhere"), "a.txt"},
         "nowhere: File not found"},
        {"password file is a folder",
         {"encrypt", "--password-file", In("folder"), "a.txt"},
         "is a folder"},
        {"no terminal for the password", {"encrypt", "a.txt"}, "no terminal"},
    };
    const auto before = Snapshot(folder_.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const ProcessResult result = Run(c.Args);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
}

TEST_F(CliTest, UnreadableAndUnwritableFilesWriteNothing)
{
    WriteBytes(In("locked"), "secret");
    std::filesystem::permissions(In("locked"), std::filesystem::perms::none);
    WriteBytes(In("readonly"), "plain");
    std::filesystem::permissions(In("readonly"), std::filesystem::perms::owner_read);
    // In the folder, so that the ordinary user the program runs as can read it.
    const std::string password = In("password");
    WriteBytes(password, "pw");
    const auto before = Snapshot(folder_.Path());
    const struct {
        std::vector<std::string> Args;
        const char* Message;
    } cases[] = {
        {{"encrypt", "--password-file", password, "locked"}, "locked: File access denied"},
        {{"encrypt", "--in-place", "--password-file", password, "readonly"},
         "readonly: File access denied"},
        {{"hash", "locked"}, "locked: File access denied"},
    };
    for (const auto& c : cases) {
        ProcessResult result;
        {
            AsFolderOwner owner(folder_.Path()); // root reads and writes every file
            result = Run(c.Args);
        }
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
}

// A write that fails part way (here: the file size limit) leaves neither a
// partial output nor a changed input.
TEST_F(CliTest, FailureMidwayLeavesNoPartialOutput)
{
    const std::string plain = PatternBytes(100000, 5);
    WriteBytes(In("big"), plain);
    const auto before = Snapshot(folder_.Path());
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "beside");
        ProcessRun run = Cli({"encrypt", "--password-file", PasswordFile("pw"), "big"});
        if (inPlace) {
            run.Args.insert(run.Args.begin() + 1, "--in-place");
        }
        run.FileSizeLimit = 20000;
        const ProcessResult result = CheckedRun(run);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find("big: I/O error 27"), std::string::npos) << result.Err;
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
}

TEST_F(CliTest, InterruptRemovesTheTemporaryOutput)
{
    WriteBytes(In("large"), std::string(std::size_t{32} << 20, 'i'));
    bool interrupted = false;
    ProcessRun run = Cli({"encrypt", "--password-file", PasswordFile("pw"), "large"});
    run.WhileRunning = [&](int pid) {
        for (int i = 0; i < 20000 && !interrupted; ++i) {
            for (const auto& entry : std::filesystem::directory_iterator(folder_.Path())) {
                if (entry.path().filename().string().starts_with(".large.CPH.part-")) {
                    ::kill(pid, SIGINT);
                    interrupted = true;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    };
    const ProcessResult result = CheckedRun(run);
    if (result.ExitCode == 0) {
        GTEST_SKIP() << "the run ended before it could be interrupted";
    }
    ASSERT_TRUE(interrupted);
    EXPECT_EQ(result.ExitCode, -1) << "ends by the signal";
    EXPECT_EQ(result.Signal, SIGINT);
    EXPECT_EQ(Names(folder_.Path()), std::vector<std::string>{"large"});
}

} // namespace
} // namespace ciphra::test
