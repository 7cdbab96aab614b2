// Secrets as other processes could see them: the programs are not dumpable
// while they hold a password (no core dump, no attaching by the same user),
// every file they create is owner-only from its creation, and the password
// reaches no file.

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "reliability/fault_log.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

// The kernel gives a process's /proc files to root while the process is not
// dumpable, and to the process's own user otherwise.
unsigned ProcOwner(int pid)
{
    struct stat info {};
    if (::stat(("/proc/" + std::to_string(pid) + "/status").c_str(), &info) != 0) {
        return ~0U;
    }
    return info.st_uid;
}

// Waits until `pid` runs `program` (no longer the test's forked copy), then
// a little longer for the program's first steps.
void WaitUntilRunning(int pid, const std::string& program)
{
    const std::string expected = std::filesystem::canonical(program).string();
    const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    for (int tries = 0; tries < 500; ++tries) {
        std::error_code error;
        if (std::filesystem::read_symlink(exe, error).string() == expected) {
            break;
        }
        ::usleep(10000);
    }
    ::usleep(200000);
}

enum class Holder { Cli, Stub, PlainProgram };

struct DumpCase {
    const char* Name;
    Holder Program;
    bool Dumpable;
};

class DumpableTest : public ReliabilityTest, public ::testing::WithParamInterface<DumpCase> {};

TEST_P(DumpableTest, APasswordHolderCannotBeDumped)
{
    const DumpCase& c = GetParam();
    if (::geteuid() != 0 && OtherUserId() == 0) {
        GTEST_SKIP() << "needs a user other than root";
    }
    unsigned owner = ~0U;
    ProcessRun run;
    run.AsOtherUser = true;
    run.WorkingFolder = Work();
    if (c.Program == Holder::Cli) {
        const PasswordPipe pipe(Root() + "/password-pipe");
        run = CliRun(Command::EncryptBeside);
        run.AsOtherUser = true;
        run.Args = ArgumentsFor(Command::EncryptBeside, pipe.Path(), "plain.bin");
        ::chmod(Work().c_str(), 0777);
        run.WhileRunning = [&](int pid) {
            pipe.Serve(TestPassword, [&] { owner = ProcOwner(pid); });
        };
        EXPECT_EQ(CheckedRun(run).ExitCode, 0);
    } else {
        if (c.Program == Holder::Stub) {
            ProcessRun sfx = CliRun(Command::Sfx);
            ASSERT_EQ(CheckedRun(sfx).ExitCode, 0);
            run.Program = Work() + "/plain.exe";
        } else {
            run.Program = "/bin/cat";
        }
        run.FeedStdin = [&](int pid, int fd) {
            // The program waits on its standard input: the password prompt.
            WaitUntilRunning(pid, run.Program);
            owner = ProcOwner(pid);
            ::close(fd);
        };
        CheckedRun(run);
    }
    EXPECT_EQ(owner, c.Dumpable ? OtherUserId() : 0U);
}

INSTANTIATE_TEST_SUITE_P(Programs, DumpableTest,
                         ::testing::Values(DumpCase{"Cli", Holder::Cli, false},
                                           DumpCase{"Stub", Holder::Stub, false},
                                           DumpCase{"PlainProgram", Holder::PlainProgram, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

class CreatedFileTest : public ReliabilityTest, public ::testing::WithParamInterface<Command> {
protected:
    ProcessRun Watched(ProcessRun run) const
    {
        run.Umask = 0; // nothing hides a careless mode
        return Logged(run);
    }

    void ExpectOwnerOnlyCreationAndNoPassword() const
    {
        std::size_t created = 0;
        for (const LogRecord& record : ReadFaultLog(FaultLog())) {
            if (record.Created()) {
                ++created;
                EXPECT_EQ(record.Mode, "600") << record.Line;
            }
        }
        EXPECT_NE(created, 0U) << "no file creation was seen";
        for (const auto& [name, content] : WorkSnapshot()) {
            EXPECT_EQ(content.find(TestPassword), std::string::npos) << name;
        }
    }
};

TEST_P(CreatedFileTest, WorkingFilesAreOwnerOnlyFromTheirCreation)
{
    const ProcessResult result = CheckedRun(Watched(CliRun(GetParam())));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    ExpectOwnerOnlyCreationAndNoPassword();
}

INSTANTIATE_TEST_SUITE_P(Cli, CreatedFileTest,
                         ::testing::Values(Command::EncryptBeside, Command::EncryptInPlace,
                                           Command::DecryptBeside, Command::DecryptInPlace,
                                           Command::Sfx),
                         [](const auto& info) { return std::string(NameOf(info.param)); });

TEST_F(CreatedFileTest, TheStubsWorkingFileIsOwnerOnlyFromItsCreation)
{
    ASSERT_EQ(CheckedRun(CliRun(Command::Sfx)).ExitCode, 0);
    const ProcessResult result = CheckedRun(Watched(StubRun()));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(ReadBytes(Work() + "/plain.dec"), plain_);
    ExpectOwnerOnlyCreationAndNoPassword();
}

} // namespace
} // namespace ciphra::test
