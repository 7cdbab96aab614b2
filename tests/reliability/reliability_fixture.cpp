#include "reliability/reliability_fixture.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ciphra::test {

ReliabilityTest::ReliabilityTest() : plain_(PatternBytes(PlainSize, 7))
{
    ::chmod(Root().c_str(), 0755);
    ::mkdir(Work().c_str(), 0755);
    WritePlain(plain_);
    WriteBytes(PasswordFile(), std::string(TestPassword) + "\n");
    ::chmod(PasswordFile().c_str(), 0644);
}

ReliabilityTest::~ReliabilityTest()
{
    if (mounted_) {
        ::umount2(Work().c_str(), MNT_DETACH);
    }
}

void ReliabilityTest::WritePlain(const std::string& bytes) const
{
    WriteBytes(Plain(), bytes);
    ::chmod(Plain().c_str(), 0644);
}

bool ReliabilityTest::MountSmallWorkFolder(unsigned kilobytes)
{
    // A mount namespace of the test's own, so that nothing stays mounted
    // when the test process ends, whatever happens.
    static const bool ownNamespace =
        ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    if (!ownNamespace || ::mount("tmpfs", Work().c_str(), "tmpfs", 0, options.c_str()) != 0) {
        return false;
    }
    mounted_ = true;
    WritePlain(plain_);
    return true;
}

ProcessRun ReliabilityTest::CliRun(Command command) const
{
    return CliRun(ArgumentsFor(command, PasswordFile(), "plain.bin"));
}

ProcessRun ReliabilityTest::CliRun(std::vector<std::string> args) const
{
    ProcessRun run;
    run.Program = CIPHRA_CLI_PATH;
    run.Args = std::move(args);
    run.WorkingFolder = Work();
    return run;
}

ProcessRun ReliabilityTest::StubRun() const
{
    ProcessRun run;
    run.Program = Work() + "/plain.exe";
    run.WorkingFolder = Work();
    run.Stdin = std::string(TestPassword) + "\n";
    return run;
}

ProcessRun ReliabilityTest::Logged(ProcessRun run) const
{
    run.PreloadFaultLibrary = true;
    run.Environment["CIPHRA_FAULT_LOG"] = FaultLog();
    return run;
}

void ReliabilityTest::ExpectCleanFailure(const ProcessResult& result, const std::string& reason,
                                         const std::map<std::string, std::string>& before) const
{
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_TRUE(result.Err.starts_with("ciphra2k-cli: ")) << result.Err;
    EXPECT_NE(result.Err.find(reason), std::string::npos) << result.Err;
    EXPECT_EQ(result.Out, "");
    const auto after = WorkSnapshot();
    EXPECT_EQ(after.size(), before.size()) << "a file was left behind or lost";
    EXPECT_TRUE(after == before) << "the work folder changed";
}

} // namespace ciphra::test
