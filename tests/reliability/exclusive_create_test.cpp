// Every file the programs create is created exclusively: an open with
// O_CREAT but without O_EXCL follows a link, or opens a file, that someone
// else put under the name in the meantime. The fault library logs every
// open with O_CREAT, and each writing command must have been seen creating
// its output that way. Each then flushes the folder it named the output in.

#include "reliability/fault_log.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

enum class Writer { Cli, HashReport, Stub };

struct CreateCase {
    const char* Name;
    Writer Program;
    Command Target; // for Writer::Cli
};

void PrintTo(const CreateCase& c, std::ostream* out)
{
    *out << c.Name;
}

class ExclusiveCreateTest : public ReliabilityTest,
                            public ::testing::WithParamInterface<CreateCase> {
protected:
    ProcessRun RunFor(const CreateCase& c)
    {
        switch (c.Program) {
        case Writer::Cli:
            return CliRun(c.Target);
        case Writer::HashReport:
            return CliRun({"hash", "--report", "plain.hsh", "--", "plain.bin"});
        case Writer::Stub:
            EXPECT_EQ(CheckedRun(CliRun(Command::Sfx)).ExitCode, 0);
            std::filesystem::remove(Plain());
            return StubRun();
        }
        return {};
    }
};

TEST_P(ExclusiveCreateTest, OutputsAreCreatedExclusively)
{
    const CreateCase& c = GetParam();
    const ProcessResult result = CheckedRun(Logged(RunFor(c)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;

    std::size_t creates = 0;
    for (const LogRecord& record : Inside(ReadFaultLog(FaultLog()), Work())) {
        if (record.Call == "create") {
            ++creates;
            EXPECT_TRUE(record.HasFlag("O_EXCL")) << "created without O_EXCL: " << record.Line;
        }
    }
    EXPECT_NE(creates, 0U) << "the output file was not seen being created: no open with O_CREAT "
                              "inside the folder was logged";
}

// A new name is on disk only once its folder is: after the output's last
// flush, the folder the output was named in is flushed too.
TEST_P(ExclusiveCreateTest, TheFolderIsFlushedAfterTheOutputIsNamed)
{
    const CreateCase& c = GetParam();
    const ProcessResult result = CheckedRun(Logged(RunFor(c)));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    const std::vector<LogRecord> records = ReadFaultLog(FaultLog());
    const std::string folder = std::filesystem::canonical(Work()).string();
    std::size_t lastFileFlush = records.size();
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].IsFlush() && records[i].Path.starts_with(folder + "/"))
            lastFileFlush = i;
    }
    ASSERT_LT(lastFileFlush, records.size()) << "the output was never flushed";
    bool folderFlushed = false;
    for (std::size_t i = lastFileFlush + 1; i < records.size(); ++i)
        folderFlushed = folderFlushed || (records[i].Call == "fsync" && records[i].Path == folder);
    EXPECT_TRUE(folderFlushed) << "no flush of " << folder << " after the output's";
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ExclusiveCreateTest,
    ::testing::Values(CreateCase{"Encrypt", Writer::Cli, Command::EncryptBeside},
                      CreateCase{"EncryptInPlace", Writer::Cli, Command::EncryptInPlace},
                      CreateCase{"Decrypt", Writer::Cli, Command::DecryptBeside},
                      CreateCase{"DecryptInPlace", Writer::Cli, Command::DecryptInPlace},
                      CreateCase{"Sfx", Writer::Cli, Command::Sfx},
                      CreateCase{"HashReport", Writer::HashReport, Command::Hash},
                      CreateCase{"StubRestoring", Writer::Stub, Command::Sfx}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ciphra::test
