// -r: encrypt, decrypt, hash and shred every regular file below folders,
// end to end on the built program, on a tree with a FIFO and a loop of links.

#include <filesystem>
#include <sys/stat.h>

#include "cli/cli_fixture.h"
#include "support/stream_reference.h"

namespace ciphra::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* Password = "tree password";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// tree/a, tree/sub/b, tree/sub/deeper/c, a FIFO, a link loop and a link out
// of the tree to a file that must stay as it is.
class CliTreeTest : public CliTest {
protected:
    std::string passwordFile_ = PasswordFile(Password);

    void SetUp() override
    {
        fs::create_directories(folder_.Path() / "tree/sub/deeper");
        WriteBytes(In("tree/a"), "file a");
        WriteBytes(In("tree/sub/b"), "file b");
        WriteBytes(In("tree/sub/deeper/c"), "file c");
        WriteBytes(In("outside"), "not below the tree");
        ASSERT_EQ(::mkfifo(In("tree/sub/fifo").c_str(), 0600), 0);
        fs::create_directory_symlink("..", folder_.Path() / "tree/sub/loop");
        fs::create_symlink("../outside", folder_.Path() / "tree/out-link");
    }

    // The notes every run over the tree gives, in the walk's order.
    static std::string Notes()
    {
        return "ciphra2k-cli: note: tree/out-link: is a symbolic link; not followed\n"
               "ciphra2k-cli: note: tree/sub/fifo: is not a regular file (a FIFO, device or "
               "socket); passed by\n"
               "ciphra2k-cli: note: tree/sub/loop: is a symbolic link; not followed\n";
    }
};

TEST_F(CliTreeTest, EncryptAndDecryptEveryFileBelowAFolder)
{
    const ProcessResult sealed = Run({"encrypt", "-r", "--password-file", passwordFile_, "tree"});
    ASSERT_EQ(sealed.ExitCode, 0) << sealed.Err;
    EXPECT_EQ(sealed.Out, "tree/a.CPH\ntree/sub/b.CPH\ntree/sub/deeper/c.CPH\n");
    EXPECT_EQ(sealed.Err, Notes() + "ciphra2k-cli: 3 files encrypted, 0 failed, 3 skipped\n");
    EXPECT_EQ(ReadBytes(In("tree/sub/b.CPH")), Encrypted("file b", Password));
    EXPECT_EQ(ReadBytes(In("outside")), "not below the tree");

    // Decrypting takes the encrypted files only: the plain ones stay as they are.
    const ProcessResult opened =
        Run({"decrypt", "--recursive", "--password-file", passwordFile_, "tree"});
    ASSERT_EQ(opened.ExitCode, 0) << opened.Err;
    EXPECT_EQ(opened.Out, "tree/a.dec\ntree/sub/b.dec\ntree/sub/deeper/c.dec\n");
    EXPECT_EQ(opened.Err, Notes() + "ciphra2k-cli: 3 files decrypted, 0 failed, 3 skipped\n");
    EXPECT_EQ(ReadBytes(In("tree/sub/deeper/c.dec")), "file c");
    EXPECT_FALSE(fs::exists(In("tree/a.dec.dec")));
}

// A file that fails is reported; the others are still done, and the run
// ends with exit status 1.
TEST_F(CliTreeTest, AFailedFileFailsTheRunAndTheOthersGoOn)
{
    WriteBytes(In("tree/sub/b.CPH"), "in the way");
    const ProcessResult result =
        Run({"encrypt", "-r", "--password-file", passwordFile_, "tree/sub", "tree/a"});
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_EQ(result.Out, "tree/sub/b.CPH.CPH\ntree/sub/deeper/c.CPH\ntree/a.CPH\n");
    EXPECT_TRUE(Has(result.Err, "ciphra2k-cli: tree/sub/b.CPH: file exists, not replaced\n"))
        << result.Err;
    EXPECT_TRUE(Has(result.Err, "ciphra2k-cli: 3 files encrypted, 1 failed, 2 skipped\n"))
        << result.Err;
    EXPECT_EQ(ReadBytes(In("tree/sub/b.CPH")), "in the way");
}

TEST_F(CliTreeTest, HashListsEveryFileOneLineEach)
{
    WriteBytes(In("tree/sub/two\nlines"), "odd name");
    const ProcessResult result = Run({"hash", "-r", "tree"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const auto line = [](const std::string& digest, const std::string& path) {
        return digest + "  " + path + "\n";
    };
    EXPECT_EQ(
        result.Out,
        line(Run({"hash", "tree/a"}).Out.substr(0, 42), "tree/a") +
            line(Run({"hash", "tree/sub/b"}).Out.substr(0, 42), "tree/sub/b") +
            line(Run({"hash", "tree/sub/deeper/c"}).Out.substr(0, 42), "tree/sub/deeper/c") + "\\" +
            line(Run({"hash", "tree/sub/two\nlines"}).Out.substr(0, 42), "tree/sub/two\\nlines"));
    EXPECT_TRUE(Has(result.Err, "ciphra2k-cli: 4 files hashed, 0 failed, 3 skipped\n"))
        << result.Err;
    EXPECT_EQ(Run({"hash", "-r", "--report", "r.hsh", "tree"}).ExitCode, 2);
}

// -r hashes with the algorithm chosen, and hash --check reads its lines back
// (escaped names too): every file OK, then a changed one FAILED.
TEST_F(CliTreeTest, HashListOfEitherAlgorithmIsCheckedBack)
{
    WriteBytes(In("tree/sub/two\nlines\r"), "odd name");
    for (const char* algorithm : {"sha1", "sha256"}) {
        SCOPED_TRACE(algorithm);
        const ProcessResult listed = Run({"hash", "-r", "--algorithm", algorithm, "tree"});
        ASSERT_EQ(listed.ExitCode, 0) << listed.Err;
        const std::string digest = Run({"hash", "--algorithm", algorithm, "tree/a"}).Out;
        EXPECT_TRUE(listed.Out.starts_with(digest.substr(0, digest.size() - 1) + "  tree/a\n"))
            << listed.Out;
        WriteBytes(In("SUMS"), listed.Out);
        const ProcessResult checked = Run({"hash", "--check", "SUMS"});
        EXPECT_EQ(checked.ExitCode, 0) << checked.Err;
        EXPECT_EQ(checked.Out, "tree/a: OK\ntree/sub/b: OK\ntree/sub/deeper/c: OK\n"
                               "\\tree/sub/two\\nlines\\r: OK\n");
    }
    WriteBytes(In("tree/sub/b"), "changed");
    const ProcessResult failed = Run({"hash", "--check", "SUMS"});
    EXPECT_EQ(failed.ExitCode, 1);
    EXPECT_TRUE(Has(failed.Out, "tree/sub/b: FAILED\n")) << failed.Out;
}

TEST_F(CliTreeTest, ShredWipesEveryFileAndLeavesTheRest)
{
    const ProcessResult declined = Run({"shred", "-r", "tree"}, "n\n");
    EXPECT_EQ(declined.ExitCode, 1);
    EXPECT_TRUE(Has(declined.Err, "3 files below the folders named will be wiped.\n"))
        << declined.Err;
    EXPECT_TRUE(fs::exists(In("tree/a")));

    const ProcessResult result = Run({"shred", "-r", "--yes", "--passes", "1", "tree"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "tree/a\ntree/sub/b\ntree/sub/deeper/c\n");
    EXPECT_TRUE(Has(result.Err, "ciphra2k-cli: 3 files shredded, 0 failed, 3 skipped\n"))
        << result.Err;
    EXPECT_FALSE(fs::exists(In("tree/a")));
    EXPECT_FALSE(fs::exists(In("tree/sub/deeper/c")));
    EXPECT_TRUE(fs::is_directory(In("tree/sub/deeper")));
    EXPECT_TRUE(fs::is_fifo(In("tree/sub/fifo")));
    EXPECT_TRUE(fs::is_symlink(In("tree/sub/loop")));
    EXPECT_EQ(ReadBytes(In("outside")), "not below the tree");
}

} // namespace
} // namespace ciphra::test
