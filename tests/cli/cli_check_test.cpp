// hash --check, end to end on the built program, against lists that
// sha1sum and sha256sum wrote themselves.

#include <filesystem>
#include <sys/stat.h>

#include "cli/cli_fixture.h"

namespace ciphra::test {
namespace {

namespace fs = std::filesystem;

class CliCheckTest : public CliTest {
protected:
    // The files of the list, with the names that sha*sum escapes.
    const std::vector<std::string> names_ = {"abc",         "space name", " leading",
                                             "back\\slash", "two\nlines", "cr\r"};

    void SetUp() override
    {
        for (const std::string& name : names_) {
            WriteBytes(In(name), "content of " + name);
        }
    }

    // The list that `tool` (sha1sum or sha256sum) writes for the files.
    std::string ListBy(const char* tool, std::vector<std::string> options = {})
    {
        ProcessRun run;
        run.Program = std::string("/usr/bin/") + tool;
        run.Args = std::move(options);
        run.Args.push_back("--");
        run.Args.insert(run.Args.end(), names_.begin(), names_.end());
        run.WorkingFolder = folder_.Path().string();
        const ProcessResult result = CheckedRun(run);
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        return result.Out;
    }

    ProcessResult Check(std::vector<std::string> lists)
    {
        lists.insert(lists.begin(), {"hash", "--check"});
        return Run(lists);
    }
};

// Where every file matches, the output is sha*sum -c's, byte for byte, and
// the exit status 0: text and binary markers, tags, escaped names.
TEST_F(CliCheckTest, AllMatchingPrintsWhatShaSumPrints)
{
    const struct {
        const char* Tool;
        std::vector<std::string> Options;
    } lists[] = {{"sha256sum", {}}, {"sha1sum", {"--binary"}}, {"sha256sum", {"--tag"}}};
    for (const auto& list : lists) {
        SCOPED_TRACE(list.Tool);
        WriteBytes(In("SUMS"), ListBy(list.Tool, list.Options));
        ProcessRun reference;
        reference.Program = std::string("/usr/bin/") + list.Tool;
        reference.Args = {"-c", "SUMS"};
        reference.WorkingFolder = folder_.Path().string();
        const ProcessResult expected = CheckedRun(reference);
        ASSERT_EQ(expected.ExitCode, 0) << expected.Err;
        const ProcessResult result = Check({"SUMS"});
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, expected.Out);
        EXPECT_EQ(result.Err, "");
    }
}

// A hash report names its one file; both algorithms and forms.
TEST_F(CliCheckTest, ChecksHashReports)
{
    const std::vector<std::vector<std::string>> reports = {
        {"hash", "--report", "a.hsh", "abc"},
        {"hash", "--algorithm", "sha256", "--base64", "--report", "b.hsh", "abc"},
    };
    for (const auto& args : reports) {
        ASSERT_EQ(Run(args).ExitCode, 0);
    }
    const ProcessResult result = Check({"a.hsh", "b.hsh"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "abc: OK\nabc: OK\n");
    WriteBytes(In("abc"), "changed");
    const ProcessResult changed = Check({"b.hsh"});
    EXPECT_EQ(changed.ExitCode, 1);
    EXPECT_EQ(changed.Out, "abc: FAILED\n");
}

// Changed, missing and unreadable files, a FIFO (never opened, so nothing
// blocks), a folder, and lines that are no checksum lines.
TEST_F(CliCheckTest, FailuresAreReportedPerFileAndInTheStatus)
{
    std::string list = ListBy("sha256sum");
    WriteBytes(In("abc"), "changed");
    fs::remove(In("space name"));
    ASSERT_EQ(::mkfifo(In("fifo").c_str(), 0600), 0);
    fs::create_directory(In("folder"));
    const std::string zeros(40, '0');
    list += "this is no checksum line\n" + zeros + "  fifo\n" + zeros + "  folder\n";
    WriteBytes(In("SUMS"), list);
    const ProcessResult result = Check({"SUMS"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "abc: FAILED\n"
                          "space name: unreadable\n"
                          " leading: OK\n"
                          "back\\slash: OK\n"
                          "\\two\\nlines: OK\n"
                          "cr\r: OK\n"
                          "fifo: unreadable\n"
                          "folder: unreadable\n");
    EXPECT_EQ(result.Err, "ciphra2k-cli: WARNING: 1 line is improperly formatted\n"
                          "ciphra2k-cli: WARNING: 3 listed files could not be read\n"
                          "ciphra2k-cli: WARNING: 1 computed checksum did NOT match\n");
}

TEST_F(CliCheckTest, ListsThatCannotBeUsed)
{
    WriteBytes(In("SUMS"), ListBy("sha1sum"));
    WriteBytes(In("empty"), "");
    WriteBytes(In("prose"), "no checksums here\n");
    const struct {
        std::vector<std::string> Args;
        int Exit;
        const char* Message;
    } cases[] = {
        {{"hash", "--check", "missing"}, 1, "missing: File not found"},
        {{"hash", "--check", "."}, 1, ".: is a folder, not a file"},
        {{"hash", "--check", "empty"}, 1, "empty: no properly formatted checksum lines found"},
        {{"hash", "--check", "prose", "SUMS"}, 1, "prose: no properly formatted"},
        {{"hash", "--check"}, 2, "Usage:"},
        {{"hash", "--check", "--algorithm", "sha1", "SUMS"}, 2, "Usage:"},
        {{"hash", "--check", "--base64", "SUMS"}, 2, "Usage:"},
        {{"hash", "--check", "-r", "SUMS"}, 2, "Usage:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        const ProcessResult result = Run(c.Args);
        EXPECT_EQ(result.ExitCode, c.Exit);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
    }
    // The good list after the bad one is still checked.
    EXPECT_NE(Run({"hash", "--check", "prose", "SUMS"}).Out.find("abc: OK\n"), std::string::npos);
}

} // namespace
} // namespace ciphra::test
