// "-" as the file and -o: encrypt and decrypt through pipes, end to end on
// the built program, with the failures a pipeline meets.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_fixture.h"
#include "support/stream_reference.h"

namespace ciphra::test {
namespace {

constexpr const char* Password = "pipe password";

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliPipeTest : public CliTest {
protected:
    std::string passwordFile_ = PasswordFile(Password);

    // The program with `bytes` written into a pipe on its standard input.
    ProcessResult Piped(std::vector<std::string> args, const std::string& bytes,
                        std::function<void()> childSetup = {}) const
    {
        ProcessRun run = Cli(std::move(args));
        run.ChildSetup = std::move(childSetup);
        run.FeedStdin = [&bytes](int, int fd) {
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (put <= 0) {
                    break; // the program stopped reading
                }
                done += static_cast<std::size_t>(put);
            }
            ::close(fd);
        };
        return CheckedRun(run);
    }

    // A fresh identity of our own keygen; returns its public key.
    std::string Keygen(const std::string& name) const
    {
        const ProcessResult made = Run({"keygen", "-o", name});
        EXPECT_EQ(made.ExitCode, 0) << made.Err;
        return made.Out.substr(0, made.Out.find('\n'));
    }
};

// Standard input to standard output in every format, through real pipes and
// past the stream's chunks; nothing is written in the folder.
TEST_F(CliPipeTest, EncryptsAndDecryptsStandardInputToStandardOutput)
{
    const std::string plain = PatternBytes(std::size_t{1} << 20 | 5);
    const std::string key = Keygen("key.txt");
    const struct {
        const char* Name;
        std::vector<std::string> Encrypt;
        std::vector<std::string> Decrypt;
    } formats[] = {
        {"cph",
         {"encrypt", "--password-file", passwordFile_, "-"},
         {"decrypt", "--password-file", passwordFile_, "-"}},
        {"age",
         {"encrypt", "--format", "age", "--recipient", key, "-"},
         {"decrypt", "--identity", "key.txt", "-"}},
        {"armored age",
         {"encrypt", "--format", "age", "--recipient", key, "--armor", "-"},
         {"decrypt", "--identity", "key.txt", "-"}},
    };
    const auto before = Snapshot(folder_.Path());
    for (const auto& format : formats) {
        SCOPED_TRACE(format.Name);
        const ProcessResult sealed = Piped(format.Encrypt, plain);
        ASSERT_EQ(sealed.ExitCode, 0) << sealed.Err;
        EXPECT_EQ(sealed.Err, "");
        if (format.Encrypt.size() == 4) {
            EXPECT_EQ(sealed.Out, Encrypted(plain, Password)) << "the bytes a file gets";
        }
        const ProcessResult opened = Piped(format.Decrypt, sealed.Out);
        ASSERT_EQ(opened.ExitCode, 0) << opened.Err;
        EXPECT_EQ(opened.Err, "");
        EXPECT_TRUE(opened.Out == plain) << "decrypted data differs";
    }
    EXPECT_EQ(Snapshot(folder_.Path()), before);
}

// -o names the output of one input: standard input into a file, or a file
// to standard output.
TEST_F(CliPipeTest, OutputOptionNamesTheOneOutput)
{
    const ProcessResult made =
        Piped({"encrypt", "--password-file", passwordFile_, "-", "-o", "out.CPH"}, "piped data");
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    EXPECT_EQ(made.Out, "out.CPH\n");
    EXPECT_EQ(ReadBytes(In("out.CPH")), Encrypted("piped data", Password));

    const ProcessResult again =
        Piped({"encrypt", "--password-file", passwordFile_, "-", "--output", "out.CPH"}, "other");
    EXPECT_EQ(again.ExitCode, 1);
    EXPECT_TRUE(Has(again.Err, "out.CPH: file exists, not replaced")) << again.Err;
    EXPECT_EQ(ReadBytes(In("out.CPH")), Encrypted("piped data", Password));

    const ProcessResult opened =
        Piped({"decrypt", "--password-file", passwordFile_, "-", "-o", "out.CPH", "--force"},
              Encrypted("secret", Password));
    ASSERT_EQ(opened.ExitCode, 0) << opened.Err;
    EXPECT_EQ(ReadBytes(In("out.CPH")), "secret");
    struct stat info {};
    ASSERT_EQ(::stat(In("out.CPH").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600U) << "decrypted from a pipe: the owner's only";

    const ProcessResult nowhere =
        Piped({"encrypt", "--password-file", passwordFile_, "-", "-o", "no/such/out"}, "data");
    EXPECT_EQ(nowhere.ExitCode, 1);
    EXPECT_EQ(nowhere.Err, "ciphra2k-cli: cannot write in no/such: File not found\n");

    WriteBytes(In("a.txt"), "a file");
    const ProcessResult toOut =
        Run({"encrypt", "--password-file", passwordFile_, "a.txt", "-o", "-"});
    ASSERT_EQ(toOut.ExitCode, 0) << toOut.Err;
    EXPECT_EQ(toOut.Out, Encrypted("a file", Password));
    const ProcessResult named =
        Run({"encrypt", "--password-file", passwordFile_, "a.txt", "-o", "named.bin"});
    ASSERT_EQ(named.ExitCode, 0) << named.Err;
    EXPECT_EQ(named.Out, "named.bin\n");
    EXPECT_EQ(ReadBytes(In("named.bin")), Encrypted("a file", Password));
    EXPECT_FALSE(std::filesystem::exists(In("a.txt.CPH")));
}

TEST_F(CliPipeTest, CommandLinesThatCannotWork)
{
    WriteBytes(In("a"), "a");
    WriteBytes(In("b"), "b");
    const std::vector<std::vector<std::string>> usage = {
        {"encrypt", "-", "a"},
        {"decrypt", "--in-place", "-"},
        {"encrypt", "-r", "-"},
        {"encrypt", "-o", "x", "a", "b"},
        {"decrypt", "-o", "x", "--in-place", "a"},
        {"encrypt", "-r", "-o", "x", "a"},
        {"encrypt", "a", "-o"},
    };
    for (const auto& args : usage) {
        SCOPED_TRACE(args.back());
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.ExitCode, 2) << result.Err;
        EXPECT_EQ(result.Out, "");
    }
    // The password cannot come from standard input: it carries the data.
    const ProcessResult noTerminal = Piped({"encrypt", "-"}, "data");
    EXPECT_EQ(noTerminal.ExitCode, 1);
    EXPECT_TRUE(Has(noTerminal.Err, "no terminal to ask for the password on")) << noTerminal.Err;
    EXPECT_EQ(noTerminal.Out, "");
    const ProcessResult sameFile = Run({"encrypt", "--password-file", "/dev/stdin", "-"}, "pw");
    EXPECT_EQ(sameFile.ExitCode, 1);
    EXPECT_TRUE(Has(sameFile.Err, "the password file is what carries the data")) << sameFile.Err;
    EXPECT_EQ(sameFile.Out, "");
}

// A reader that goes away early: the command fails and says so, it is not
// killed silently and never claims success.
TEST_F(CliPipeTest, AnOutputPipeClosedEarlyIsAFailure)
{
    const ProcessResult result =
        Piped({"encrypt", "--password-file", passwordFile_, "-"}, PatternBytes(1 << 20), [] {
            int ends[2];
            if (::pipe(ends) == 0) {
                ::dup2(ends[1], 1);
                ::close(ends[0]); // nobody reads
                ::close(ends[1]);
            }
        });
    EXPECT_EQ(result.Signal, 0) << "killed by a signal";
    EXPECT_EQ(result.ExitCode, 1);
    EXPECT_TRUE(Has(result.Err, "standard output was closed before all of the data was written"))
        << result.Err;
}

// A writer that stops early: an age stream knows it was cut and fails.
TEST_F(CliPipeTest, AnAgeStreamCutShortIsAFailure)
{
    const std::string key = Keygen("key.txt");
    const ProcessResult sealed =
        Piped({"encrypt", "--format", "age", "--recipient", key, "-"}, PatternBytes(300000));
    ASSERT_EQ(sealed.ExitCode, 0) << sealed.Err;
    const ProcessResult opened = Piped({"decrypt", "--identity", "key.txt", "-"},
                                       sealed.Out.substr(0, sealed.Out.size() - 1000));
    EXPECT_EQ(opened.ExitCode, 1);
    EXPECT_TRUE(Has(opened.Err, "ciphra2k-cli: standard input: it ")) << opened.Err;
    EXPECT_EQ(opened.Out, PatternBytes(300000).substr(0, opened.Out.size()))
        << "only checked chunks went out";
}

// Standard input and output redirected to files in the folder, the way a
// shell does before the program starts; the terminal stays the one it runs on.
std::function<void()> Redirect(const std::string& in, const std::string& out)
{
    return [in, out] {
        if (!in.empty()) {
            ::dup2(::open(in.c_str(), O_RDONLY), 0);
        }
        if (!out.empty()) {
            ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        }
    };
}

// With data on standard input, the password is typed on the terminal itself.
TEST_F(CliPipeTest, AsksForThePasswordOnTheTerminalWhileDataFlows)
{
    WriteBytes(In("data"), "streamed plain text");
    ProcessRun run = Cli({"encrypt", "-"});
    run.ChildSetup = Redirect(In("data"), In("sealed"));
    const TerminalResult result = CheckedRun(run, {WaitFor("Password: "), Type("typed\r"),
                                                   WaitFor("Repeat password: "), Type("typed\r")});
    ASSERT_EQ(result.ExitCode, 0) << result.Out;
    EXPECT_EQ(ReadBytes(In("sealed")), Encrypted("streamed plain text", "typed"));
}

// Bytes that are not text are never written to a terminal; armored age is text.
TEST_F(CliPipeTest, BinaryOutputToATerminalIsRefused)
{
    WriteBytes(In("data"), "to the terminal");
    const std::string key = Keygen("key.txt");
    const struct {
        std::vector<std::string> Args;
        const char* Said;
    } cases[] = {
        {{"encrypt", "--password-file", passwordFile_, "-"},
         "encrypted data is not written to a terminal"},
        {{"decrypt", "--password-file", passwordFile_, "-"},
         "decrypted data is not written to a terminal"},
        {{"encrypt", "--format", "age", "--recipient", key, "-"},
         "encrypted data is not written to a terminal"},
        {{"encrypt", "--password-file", passwordFile_, "data", "-o", "-"},
         "encrypted data is not written to a terminal"},
        {{"encrypt", "--format", "age", "--recipient", key, "--armor", "-"},
         "-----BEGIN AGE ENCRYPTED FILE-----"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Said);
        ProcessRun run = Cli(c.Args);
        run.ChildSetup = Redirect(In("data"), "");
        const TerminalResult result = CheckedRun(run, {});
        EXPECT_TRUE(Has(result.Out, c.Said)) << result.Out;
        EXPECT_EQ(result.ExitCode, Has(c.Said, "BEGIN") ? 0 : 1);
    }
}

} // namespace
} // namespace ciphra::test
