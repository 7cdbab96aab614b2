// Failing disks under a self-decrypting program restoring its file: a read
// error in its own payload, a flush to disk that fails, a file size limit, a
// full file system and a folder it may not write in. Each ends in exit 1 with a message, and leaves
// the folder as it was: the program intact, no partial or working file.

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

enum class StubFault { ReadError, FlushFails, SizeLimit, DiskFull, ReadOnlyFolder };

struct StubFaultCase {
    const char* Name;
    StubFault Kind;
    const char* Message; // on standard error
};

class StubFaultTest : public ReliabilityTest,
                      public ::testing::WithParamInterface<StubFaultCase> {};

TEST_P(StubFaultTest, FailsWithAMessageAndLeavesNothingBehind)
{
    const StubFaultCase& c = GetParam();
    ASSERT_EQ(CheckedRun(CliRun(Command::Sfx)).ExitCode, 0);
    const std::string program = Work() + "/plain.exe";
    const std::string programBytes = ReadBytes(program);
    std::filesystem::remove(Plain());

    ProcessRun run = StubRun();
    switch (c.Kind) {
    case StubFault::ReadError:
        run.PreloadFaultLibrary = true;
        run.Environment = {
            {"CIPHRA_FAULT_READ_PATH", "plain.exe"},
            {"CIPHRA_FAULT_READ_FROM", std::to_string(programBytes.size() - PlainSize / 2)}};
        break;
    case StubFault::FlushFails:
        // The file must be on disk before it takes its name.
        run.PreloadFaultLibrary = true;
        run.Environment = {{"CIPHRA_FAULT_FSYNC", "1"}};
        break;
    case StubFault::SizeLimit:
        run.FileSizeLimit = PlainSize / 2;
        break;
    case StubFault::DiskFull: {
        // Room for the program and half of what it restores.
        const auto kilobytes = static_cast<unsigned>((programBytes.size() + PlainSize / 2) / 1024);
        if (!MountSmallWorkFolder(kilobytes)) {
            GTEST_SKIP() << "this system does not let the test mount a tmpfs";
        }
        std::filesystem::remove(Plain());
        WriteBytes(program, programBytes);
        ::chmod(program.c_str(), 0755);
        break;
    }
    case StubFault::ReadOnlyFolder:
        ASSERT_EQ(::chmod(Work().c_str(), 0555), 0);
        run.AsOtherUser = true;
        break;
    }
    const auto before = WorkSnapshot();
    const ProcessResult result = CheckedRun(run);
    EXPECT_EQ(result.ExitCode, 1) << result.Out << result.Err;
    EXPECT_NE(result.Err.find(c.Message), std::string::npos) << result.Err;
    EXPECT_TRUE(WorkSnapshot() == before) << "the folder changed";
}

INSTANTIATE_TEST_SUITE_P(
    Stub, StubFaultTest,
    ::testing::Values(StubFaultCase{"ReadError", StubFault::ReadError, "I/O error 5"},
                      StubFaultCase{"FlushFails", StubFault::FlushFails, "I/O error 5"},
                      StubFaultCase{"SizeLimit", StubFault::SizeLimit, "I/O error 27"},
                      StubFaultCase{"DiskFull", StubFault::DiskFull, "Disk full"},
                      StubFaultCase{"ReadOnlyFolder", StubFault::ReadOnlyFolder,
                                    "File access denied"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ciphra::test
