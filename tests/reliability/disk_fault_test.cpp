// Failing disks under every file command of ciphra2k-cli: a read error in the
// middle of the plain file, a flush to disk that fails, a file size limit, a
// full file system, a folder the user may not write in, and an output name
// taken by a folder. Each must end in exit 1 with the reason, the plain file
// exactly as it was, and no partial or temporary output.

#include <sys/stat.h>
#include <unistd.h>

#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

enum class Fault { ReadError, FlushFails, SizeLimit, DiskFull, ReadOnlyFolder, OutputIsFolder };

struct FaultCase {
    Fault Kind;
    Command Target;
    const char* Reason; // on standard error
};

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info)
{
    static const char* const faults[] = {"ReadError", "FlushFails",     "SizeLimit",
                                         "DiskFull",  "ReadOnlyFolder", "OutputIsFolder"};
    return std::string(faults[static_cast<int>(info.param.Kind)]) + "_" + NameOf(info.param.Target);
}

class DiskFaultTest : public ReliabilityTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DiskFaultTest, FailsCleanlyAndKeepsThePlainFile)
{
    const FaultCase& c = GetParam();
    ProcessRun run = CliRun(c.Target);
    switch (c.Kind) {
    case Fault::ReadError:
        run.PreloadFaultLibrary = true;
        run.Environment = {{"CIPHRA_FAULT_READ_PATH", "plain.bin"},
                           {"CIPHRA_FAULT_READ_FROM", std::to_string(PlainSize / 2)}};
        break;
    case Fault::FlushFails:
        run.PreloadFaultLibrary = true;
        run.Environment = {{"CIPHRA_FAULT_FSYNC", "1"}};
        break;
    case Fault::SizeLimit:
        run.FileSizeLimit = PlainSize / 2;
        break;
    case Fault::DiskFull:
        // Room for the plain file and a little more, not for a second copy.
        if (!MountSmallWorkFolder(160)) {
            GTEST_SKIP() << "this system does not let the test mount a tmpfs";
        }
        break;
    case Fault::ReadOnlyFolder:
        // The file is the runner's own and writable; only its folder is not.
        ASSERT_EQ(::chown(Plain().c_str(), OtherUserId(), OtherGroupId()), 0);
        ASSERT_EQ(::chmod(Work().c_str(), 0555), 0);
        run.AsOtherUser = true;
        break;
    case Fault::OutputIsFolder:
        ASSERT_EQ(::mkdir((Work() + "/" + OutputFor(c.Target, "plain.bin")).c_str(), 0755), 0);
        break;
    }
    const auto before = WorkSnapshot();
    const ProcessResult result = CheckedRun(run);
    ASSERT_NE(result.ExitCode, 125) << "cannot run as another user";
    ExpectCleanFailure(result, c.Reason, before);
}

constexpr Command Writers[] = {Command::EncryptBeside, Command::EncryptInPlace,
                               Command::DecryptBeside, Command::DecryptInPlace, Command::Sfx};

std::vector<FaultCase> AllCases()
{
    std::vector<FaultCase> cases;
    for (const Command command : Writers) {
        cases.push_back({Fault::ReadError, command, "I/O error 5"});
        cases.push_back({Fault::FlushFails, command, "I/O error 5"});
        cases.push_back({Fault::SizeLimit, command, "I/O error 27"});
        cases.push_back({Fault::DiskFull, command, "Disk full"});
        cases.push_back({Fault::ReadOnlyFolder, command, "File access denied"});
    }
    cases.push_back({Fault::ReadError, Command::Hash, "I/O error 5"});
    for (const Command command : {Command::EncryptBeside, Command::DecryptBeside, Command::Sfx}) {
        cases.push_back({Fault::OutputIsFolder, command, "file exists, not replaced"});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cli, DiskFaultTest, ::testing::ValuesIn(AllCases()), CaseName);

// Output is flushed in the background while it is written. Linux reports a
// failed flush to one flush call only, so a failure there must fail the run
// although the final flush then succeeds. Encryption, the slower direction,
// takes well over the flush interval for this file, as does shredding it.
TEST_F(ReliabilityTest, AFailedBackgroundFlushFailsTheRun)
{
    WritePlain(PatternBytes(96 << 20, 3));
    ProcessRun run = CliRun(Command::EncryptBeside);
    run.PreloadFaultLibrary = true;
    run.Environment = {{"CIPHRA_FAULT_FDATASYNC", "1"}};
    const auto before = WorkSnapshot();
    ExpectCleanFailure(CheckedRun(run), "I/O error 5", before);

    // The shredder stops at the failed overwrite and keeps the file.
    run.Args = {"shred", "--yes", "plain.bin"};
    const ProcessResult result = CheckedRun(run);
    EXPECT_EQ(result.ExitCode, 1) << result.Err;
    EXPECT_NE(result.Err.find("I/O error 5"), std::string::npos) << result.Err;
    EXPECT_EQ(WorkSnapshot().size(), 1U) << "the file was deleted";
}

// A standard output that cannot be written is a failure too: a digest or a
// name nobody received was not delivered.
TEST_F(ReliabilityTest, AFullStandardOutputIsReportedAsAFailure)
{
    for (const Command command : {Command::Hash, Command::EncryptBeside}) {
        ProcessRun run = CliRun(command);
        run.StdoutToDevFull = true;
        const ProcessResult result = CheckedRun(run);
        EXPECT_EQ(result.ExitCode, 1) << NameOf(command);
        EXPECT_NE(result.Err.find("cannot write to standard output"), std::string::npos)
            << result.Err;
        EXPECT_EQ(ReadBytes(Plain()), plain_);
    }
}

} // namespace
} // namespace ciphra::test
