// What users lost data to, end to end on the built program: the password
// file among the files, one typo at a prompt, Ctrl+Z at a prompt, endless
// inputs, a file size limit, long names, a wrong stub, in-place rewrites of
// other users' and hard-linked files, and replacing an output on request.

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_fixture.h"
#include "support/stream_reference.h"

namespace ciphra::test {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The password file is never one of the files, by whatever name; a file
// named twice is transformed once.
TEST_F(CliTest, ThePasswordFileIsNeverAFileAndEachFileIsDoneOnce)
{
    WriteBytes(In("pass.txt"), "secret\n");
    WriteBytes(In("a"), "contents of a");
    fs::create_hard_link(In("pass.txt"), In("pass-link"));
    fs::create_hard_link(In("a"), In("alink"));
    const auto before = Snapshot(folder_.Path());
    for (const char* named : {"pass.txt", "./pass.txt", "pass-link"}) {
        SCOPED_TRACE(named);
        const ProcessResult result =
            Run({"encrypt", "--in-place", "--password-file", "pass.txt", "a", named});
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(Contains(result.Err, std::string(named) + ": is the password file"))
            << result.Err;
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }

    const ProcessResult inPlace =
        Run({"encrypt", "--in-place", "--password-file", "pass.txt", "a", "./a", "alink"});
    ASSERT_EQ(inPlace.ExitCode, 0) << inPlace.Err;
    EXPECT_EQ(inPlace.Out, "a\n");
    EXPECT_EQ(ReadBytes(In("a")), Encrypted("contents of a", "secret"));

    EXPECT_EQ(ReadBytes(In("alink")), "contents of a") << "a hard link keeps the old bytes";

    WriteBytes(In("b"), "contents of b");
    fs::create_symlink("b", In("bsym"));
    const ProcessResult beside =
        Run({"encrypt", "--password-file", "pass.txt", "b", "./b", "bsym"});
    ASSERT_EQ(beside.ExitCode, 0) << beside.Err;
    EXPECT_EQ(beside.Out, "b.CPH\n");
    EXPECT_FALSE(fs::exists(In("bsym.CPH")));
}

// A password typed for encrypting is asked twice; a difference ends the
// command with nothing written. Decrypting asks once.
TEST_F(CliTest, TypedPasswordsForEncryptingMustMatch)
{
    WriteBytes(In("doc"), "only copy");
    const auto before = Snapshot(folder_.Path());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"encrypt", "--in-place", "doc"},
          std::vector<std::string>{"sfx", "doc"}}) {
        SCOPED_TRACE(args[0]);
        const TerminalResult result =
            CheckedRun(Cli(args), {WaitFor("Password: "), Type("secret\r"),
                                   WaitFor("Repeat password: "), Type("secrte\r")});
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(Contains(result.Out, "the two passwords typed differ")) << result.Out;
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
    const TerminalResult decrypt =
        CheckedRun(Cli({"decrypt", "doc"}), {WaitFor("Password: "), Type("secret\r")});
    EXPECT_EQ(decrypt.ExitCode, 0) << decrypt.Out;
    EXPECT_FALSE(Contains(decrypt.Out, "Repeat"));
}

// Ctrl+Z at the prompt gives the shell its echo back while the tool is
// stopped; once continued, the echo is off again and the password still
// reaches the tool.
TEST_F(CliTest, CtrlZAtThePromptKeepsTheEchoOffAfterwards)
{
    WriteBytes(In("doc"), "stop and go");
    const TerminalResult result =
        CheckedRun(Cli({"encrypt", "doc"}),
                   {WaitFor("Password: "), ReadMode(), Type("\x1a"), WaitStopped(), ReadMode(),
                    SendSignal(SIGCONT), WaitForEcho(false), ReadMode(), Type("go on\r"),
                    WaitFor("Repeat password: "), ReadMode(), Type("go on\r")});
    ASSERT_EQ(result.ExitCode, 0) << result.Out;
    ASSERT_EQ(result.Modes.size(), 4U);
    EXPECT_FALSE(EchoOn(result.Modes[0])) << "at the prompt";
    EXPECT_TRUE(EchoOn(result.Modes[1])) << "while stopped";
    EXPECT_FALSE(EchoOn(result.Modes[2])) << "after fg";
    EXPECT_FALSE(EchoOn(result.Modes[3])) << "at the second prompt";
    EXPECT_FALSE(Contains(result.Out, "go on")) << "echoed: " << result.Out;
    EXPECT_EQ(ReadBytes(In("doc.CPH")), Encrypted("stop and go", "go on"));
}

// Nothing longer than a password is read from a password file, and no
// endless text from standard input: each ends with a clear message.
TEST_F(CliTest, EndlessInputsEndWithAMessage)
{
    WriteBytes(In("doc"), "x");
    const ProcessResult zeros = Run({"encrypt", "--password-file", "/dev/zero", "doc"});
    EXPECT_EQ(zeros.ExitCode, 1);
    EXPECT_TRUE(Contains(zeros.Err, "/dev/zero: the password is longer than 4096 bytes"))
        << zeros.Err;
    EXPECT_FALSE(fs::exists(In("doc.CPH")));

    ProcessRun text = Cli({"text", "encrypt", "--password-file", PasswordFile("pw")});
    text.FeedStdin = [](int, int fd) {
        const std::string piece(1 << 16, 'y');
        while (::write(fd, piece.data(), piece.size()) > 0) {
        }
        ::close(fd);
    };
    const ProcessResult endless = CheckedRun(text);
    EXPECT_EQ(endless.ExitCode, 1);
    EXPECT_TRUE(Contains(endless.Err, "more than 32 MiB")) << endless.Err;
    EXPECT_TRUE(endless.Out.empty());
}

// A file size limit ends the tool with SIGXFSZ like any ending signal: the
// hidden working file goes with it, plain text above all.
TEST_F(CliTest, AFileSizeLimitLeavesNoWorkingFile)
{
    WriteBytes(In("secret.CPH"), Encrypted(PatternBytes(1 << 20, 3), "pw"));
    for (const char* command : {"decrypt", "encrypt"}) {
        SCOPED_TRACE(command);
        const auto before = Snapshot(folder_.Path());
        ProcessRun run =
            Cli({command, "--in-place", "--password-file", PasswordFile("pw"), "secret.CPH"});
        run.ChildSetup = [] {
            const rlimit limit{65536, 65536};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_DFL);
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
        };
        const ProcessResult result = CheckedRun(run);
        EXPECT_EQ(result.Signal, SIGXFSZ);
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
}

// Every name up to the longest a folder entry may have can be encrypted
// beside (the output's name then has 255 bytes) and in place.
TEST_F(CliTest, NamesUpToTheLongestAllowed)
{
    const std::string password = PasswordFile("pw");
    for (std::size_t length = 239; length <= 255; ++length) {
        SCOPED_TRACE(length);
        const std::string name(length, 'n');
        WriteBytes(In(name), "named");
        if (length <= 251) {
            const ProcessResult beside = Run({"encrypt", "--password-file", password, name});
            EXPECT_EQ(beside.ExitCode, 0) << beside.Err;
            fs::remove(In(name + ".CPH"));
        }
        const ProcessResult inPlace =
            Run({"encrypt", "--in-place", "--password-file", password, name});
        EXPECT_EQ(inPlace.ExitCode, 0) << inPlace.Err;
        fs::remove(In(name));
        EXPECT_TRUE(fs::is_empty(folder_.Path()));
    }
}

// A stub must be a stub: any other file would make a program that cannot
// restore what it carries.
TEST_F(CliTest, SfxTakesOnlyAStub)
{
    WriteBytes(In("doc.txt"), "payload");
    WriteBytes(In("notes.txt"), "not a program");
    const auto before = Snapshot(folder_.Path());
    for (const char* stub : {"/bin/true", "notes.txt", CIPHRA_CLI_PATH}) {
        SCOPED_TRACE(stub);
        const ProcessResult result =
            Run({"sfx", "--password-file", PasswordFile("pw"), "--stub", stub, "doc.txt"});
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(Contains(result.Err, "not a stub of self-decrypting programs")) << result.Err;
        EXPECT_EQ(Snapshot(folder_.Path()), before);
    }
}

// In place keeps the file's owner, group and permissions, even as root on
// another user's file, and says when other hard links keep the old bytes.
TEST_F(CliTest, InPlaceKeepsTheOwnerAndTellsOfOtherLinks)
{
    WriteBytes(In("theirs"), "plain");
    ASSERT_EQ(::chmod(In("theirs").c_str(), 0640), 0);
    const bool asRoot = RunningAsRoot();
    if (asRoot) {
        ASSERT_EQ(::chown(In("theirs").c_str(), 65534, 65534), 0);
    }
    fs::create_hard_link(In("theirs"), In("second-name"));
    const ProcessResult result =
        Run({"encrypt", "--in-place", "--password-file", PasswordFile("pw"), "theirs"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Err, "ciphra2k-cli: note: theirs: 1 other hard link to this file still "
                          "holds its former contents\n");
    struct stat info {};
    ASSERT_EQ(::stat(In("theirs").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640U);
    EXPECT_EQ(info.st_uid, asRoot ? 65534U : ::geteuid());
    EXPECT_EQ(info.st_gid, asRoot ? 65534U : ::getegid());
    EXPECT_EQ(ReadBytes(In("second-name")), "plain");
}

// --force replaces an existing output's name; without it the output is
// refused. A link there is never written through.
TEST_F(CliTest, ForceReplacesTheNameOfAnExistingOutput)
{
    WriteBytes(In("doc"), "new contents");
    WriteBytes(In("victim"), "victim");
    fs::create_symlink("victim", In("doc.CPH"));
    const std::string password = PasswordFile("pw");
    const auto before = Snapshot(folder_.Path());
    const ProcessResult refused = Run({"encrypt", "--password-file", password, "doc"});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(Contains(refused.Err, "doc.CPH: file exists, not replaced")) << refused.Err;
    EXPECT_EQ(Snapshot(folder_.Path()), before);

    const ProcessResult forced = Run({"encrypt", "--force", "--password-file", password, "doc"});
    ASSERT_EQ(forced.ExitCode, 0) << forced.Err;
    EXPECT_FALSE(fs::is_symlink(In("doc.CPH")));
    EXPECT_EQ(ReadBytes(In("doc.CPH")), Encrypted("new contents", "pw"));
    EXPECT_EQ(ReadBytes(In("victim")), "victim");
}

} // namespace
} // namespace ciphra::test
