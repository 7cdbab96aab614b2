// Every file the programs create is created exclusively: an open with
// O_CREAT but without O_EXCL follows a link, or opens a file, that someone
// else put under the name in the meantime. The fault library logs every
// open with O_CREAT, and each writing command must have been seen creating
// its output that way.

#include "reliability/fault_log.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

enum class Writer { Cli, HashReport, Stub };

struct CreateCase {
    const char* Name;
    Writer Program;
    Command Target; // for Writer::Cli
    // Whether today's code creates its output through open. Outputs created
    // by mkostemp are not seen: it opens the file inside libc, past the
    // library.
    bool CreatedThroughOpen;
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
    if (!c.CreatedThroughOpen) {
        // enabled once outputs are created through open
        GTEST_SKIP() << "the output is created by mkostemp, which the log cannot see";
    }
    EXPECT_NE(creates, 0U) << "the output file was not seen being created: no open with O_CREAT "
                              "inside the folder was logged";
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ExclusiveCreateTest,
    ::testing::Values(CreateCase{"Encrypt", Writer::Cli, Command::EncryptBeside, false},
                      CreateCase{"EncryptInPlace", Writer::Cli, Command::EncryptInPlace, false},
                      CreateCase{"Decrypt", Writer::Cli, Command::DecryptBeside, false},
                      CreateCase{"DecryptInPlace", Writer::Cli, Command::DecryptInPlace, false},
                      CreateCase{"Sfx", Writer::Cli, Command::Sfx, false},
                      CreateCase{"HashReport", Writer::HashReport, Command::Hash, true},
                      CreateCase{"StubRestoring", Writer::Stub, Command::Sfx, false}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace ciphra::test
