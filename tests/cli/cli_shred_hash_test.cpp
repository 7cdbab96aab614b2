// shred and hash --report, end to end on the built program.

#include <algorithm>
#include <filesystem>

#include "cli/cli_fixture.h"

namespace ciphra::test {
namespace {

namespace fs = std::filesystem;

const std::string TemporaryName = std::string(55, 'a') + "." + std::string(7, 'a');

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    return lines;
}

TEST_F(CliTest, ShredWipesEveryKindOfFile)
{
    WriteBytes(In("empty"), "");
    WriteBytes(In("short"), "tiny");
    WriteBytes(In("chunks"), PatternBytes(2 * 8192));
    WriteBytes(In("odd"), PatternBytes(8192 + 7));
    WriteBytes(In("readonly"), "locked");
    fs::permissions(In("readonly"), fs::perms::owner_read);
    const ProcessResult result =
        Run({"shred", "--yes", "--passes", "2", "empty", "short", "chunks", "odd", "readonly"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "empty\nshort\nchunks\nodd\nreadonly\n");
    EXPECT_EQ(WithoutStorageWarnings(result.Err), "");
    EXPECT_TRUE(fs::is_empty(folder_.Path()));
}

// Without --yes the command asks once and goes on only for a yes.
TEST_F(CliTest, ShredAsksOnceWithoutYes)
{
    const struct {
        const char* Answer;
        bool Shredded;
    } cases[] = {{"y\n", true}, {"yes\r\n", true}, {"n\n", false},
                 {"\n", false}, {"", false},       {"yess\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Answer);
        WriteBytes(In("a"), "first");
        WriteBytes(In("b"), "second");
        const ProcessResult result = Run({"shred", "a", "b"}, c.Answer);
        EXPECT_EQ(result.ExitCode, c.Shredded ? 0 : 1);
        EXPECT_EQ(
            WithoutStorageWarnings(result.Err).find("Are you sure you want to wipe this file?"), 0U)
            << result.Err;
        EXPECT_EQ(result.Err.find("Are you sure", 1), std::string::npos) << "asked once";
        const std::vector<std::string> left =
            c.Shredded ? std::vector<std::string>{} : std::vector<std::string>{"a", "b"};
        EXPECT_EQ(Names(folder_.Path()), left);
        if (!c.Shredded) {
            EXPECT_EQ(ReadBytes(In("a")), "first");
            fs::remove(In("a"));
            fs::remove(In("b"));
        }
    }
}

// Other names of a file are found before the question, even with --yes,
// and the file is then not called shredded: it remains under them.
TEST_F(CliTest, ShredTellsWhatOverwritingCannotReach)
{
    WriteBytes(In("secret"), "the secret");
    WriteBytes(In("plain"), "plain");
    std::filesystem::create_hard_link(In("secret"), In("other name"));
    const std::string warning =
        "ciphra2k-cli: warning: secret: it has 1 other name (a hard link): overwriting reaches "
        "the data they share, but a file is only deleted with its last name, so it stays on "
        "disk under that name, holding the overwritten bytes.\n";
    const ProcessResult declined = Run({"shred", "secret", "plain"}, "n\n");
    EXPECT_EQ(declined.ExitCode, 1);
    const std::size_t warned = declined.Err.find(warning);
    EXPECT_NE(warned, std::string::npos) << declined.Err;
    EXPECT_LT(warned, declined.Err.find("Are you sure")) << "told before the question";
    EXPECT_NE(declined.Err.find("ciphra2k-cli: note: What helps instead: keep such files "
                                "encrypted from the start"),
              std::string::npos)
        << declined.Err;

    const ProcessResult result = Run({"shred", "--yes", "--passes", "1", "secret", "plain"});
    EXPECT_EQ(result.ExitCode, 1) << "no claim of success";
    EXPECT_EQ(result.Out, "plain\n");
    EXPECT_NE(result.Err.find(warning), std::string::npos) << result.Err;
    EXPECT_NE(result.Err.find("ciphra2k-cli: secret: the name was removed and the data "
                              "overwritten, but the file remains under its other names (hard "
                              "links)\n"),
              std::string::npos)
        << result.Err;
    EXPECT_FALSE(std::filesystem::exists(In("secret")));
    EXPECT_EQ(ReadBytes(In("other name")).size(), 10U);
    EXPECT_NE(ReadBytes(In("other name")), "the secret") << "the data was overwritten";

    // With -r each limit is told once, with the number of files it concerns.
    std::filesystem::create_directory(In("tree"));
    for (const char* name : {"a", "b"}) {
        WriteBytes(In(std::string("tree/") + name), name);
        std::filesystem::create_hard_link(In(std::string("tree/") + name),
                                          In(std::string("link-") + name));
    }
    const ProcessResult tree = Run({"shred", "-r", "--yes", "--passes", "1", "tree"});
    EXPECT_EQ(tree.ExitCode, 1);
    EXPECT_NE(tree.Err.find("ciphra2k-cli: warning: tree/a and 1 other file: it has 1 other "
                            "name"),
              std::string::npos)
        << tree.Err;
    EXPECT_NE(tree.Err.find("ciphra2k-cli: 0 files shredded, 2 removed but not all gone, 0 "
                            "failed, 0 skipped\n"),
              std::string::npos)
        << tree.Err;
}

TEST_F(CliTest, ShredRefusesBadPassCounts)
{
    WriteBytes(In("f"), "data");
    const std::vector<std::vector<std::string>> cases = {
        {"shred", "--yes", "--passes", "0", "f"}, {"shred", "--yes", "--passes=-1", "f"},
        {"shred", "--yes", "--passes", "x", "f"}, {"shred", "--yes", "--passes", "3x", "f"},
        {"shred", "--yes", "f", "--passes"},      {"shred", "--yes"},
        {"shred", "--yes", "--bogus", "f"},
    };
    for (const auto& args : cases) {
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.ExitCode, 2);
        EXPECT_NE(result.Err.find("Usage: ciphra2k-cli shred"), std::string::npos) << result.Err;
        EXPECT_EQ(ReadBytes(In("f")), "data");
    }
}

// A file that cannot be opened is reported and kept; the others are wiped.
TEST_F(CliTest, ShredGoesOnPastWhatItCannotOpen)
{
    WriteBytes(In("a"), "first");
    fs::create_directory(In("folder"));
    WriteBytes(In("folder/inside"), "kept");
    WriteBytes(In("b"), "second");
    fs::create_symlink("folder/inside", In("link"));
    const ProcessResult result = Run({"shred", "--yes", "a", "missing", "folder", "link", "b"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "a\nb\n");
    EXPECT_NE(result.Err.find("missing: Unable to get file from disk"), std::string::npos);
    EXPECT_NE(result.Err.find("folder: is a folder, not a file"), std::string::npos);
    EXPECT_NE(result.Err.find("link: is a symbolic link"), std::string::npos);
    EXPECT_EQ(Names(folder_.Path()), (std::vector<std::string>{"folder", "link"}));
    EXPECT_EQ(ReadBytes(In("folder/inside")), "kept");
}

TEST_F(CliTest, ShredLeavesAFileOfTheTemporaryNameAlone)
{
    WriteBytes(In(TemporaryName), "not mine");
    WriteBytes(In("mine"), "secret");
    const ProcessResult result = Run({"shred", "--yes", "mine"});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(Names(folder_.Path()), std::vector<std::string>{TemporaryName});
    EXPECT_EQ(ReadBytes(In(TemporaryName)), "not mine");
}

TEST_F(CliTest, HashReportHasTheTenLines)
{
    WriteBytes(In("data.bin"), "abc");
    const struct {
        bool Base64;
        const char* Hash;
    } cases[] = {{false, "0xA9993E364706816ABA3E25717850C26C9CD0D89D"},
                 {true, "qZk+NkcGgWq6PiVxeFDCbJzQ2J0="}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Hash);
        std::vector<std::string> args = {"hash", "--report", "out.hsh", "data.bin"};
        if (c.Base64) {
            args.insert(args.begin() + 1, "--base64");
        }
        const ProcessResult result = Run(args);
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out, std::string(c.Hash) + "\n");
        const std::vector<std::string> lines = Lines(ReadBytes(In("out.hsh")));
        ASSERT_EQ(lines.size(), 10U);
        EXPECT_EQ(lines[0], "--- Ciphra 2K v1.0.2 HASH using SHA-1 ------");
        EXPECT_EQ(lines[1], "--- HASH of file%");
        EXPECT_EQ(lines[2], "data.bin");
        EXPECT_TRUE(lines[3].starts_with("--- date/time: ")) << lines[3];
        EXPECT_GT(lines[3].size(), std::string("--- date/time: ").size());
        const std::vector<std::string> rest(lines.begin() + 4, lines.end());
        EXPECT_EQ(rest,
                  (std::vector<std::string>{"", "- Begin block", "", c.Hash, "", "- End block"}));
        fs::remove(In("out.hsh"));
    }
}

TEST_F(CliTest, HashReportNeverReplacesAFile)
{
    WriteBytes(In("data.bin"), "abc");
    WriteBytes(In("taken.hsh"), "old");
    const struct {
        const char* Out;
        const char* Source;
        const char* Message;
    } cases[] = {
        {"taken.hsh", "data.bin", "ERROR #142, file already exists, cannot overwrite."},
        {"no/such/out.hsh", "data.bin",
         "ERROR #132, Cannot create: disk is read-only or disk failure."},
        {"new.hsh", "missing", "missing: File not found"},
    };
    const auto before = Snapshot(folder_.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Out);
        const ProcessResult result = Run({"hash", "--report", c.Out, c.Source});
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
        EXPECT_EQ(result.Out, "");
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
    EXPECT_EQ(Run({"hash", "data.bin", "--report"}).ExitCode, 2);
}

} // namespace
} // namespace ciphra::test
