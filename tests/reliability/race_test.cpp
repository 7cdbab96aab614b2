// Files that change between the command's checks and its work: the tool
// checks every file, then reads the password (here from a pipe, which holds
// it at that moment while the test changes the folder), then works. A file
// that vanished is a failure; a file that grew or shrank is transformed as it
// is then, whole; an output name that was taken meanwhile is never replaced.

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

enum class Change { Vanishes, Grows, Shrinks, OutputTakenByFile, OutputTakenByFolder };

struct RaceCase {
    Change Kind;
    Command Target;
};

std::string CaseName(const ::testing::TestParamInfo<RaceCase>& info)
{
    static const char* const changes[] = {"Vanishes", "Grows", "Shrinks", "OutputTakenByFile",
                                          "OutputTakenByFolder"};
    return std::string(changes[static_cast<int>(info.param.Kind)]) + "_" +
           NameOf(info.param.Target);
}

class RaceTest : public ReliabilityTest, public ::testing::WithParamInterface<RaceCase> {};

TEST_P(RaceTest, TheFileAsItIsWhenTheWorkStartsDecides)
{
    const RaceCase& c = GetParam();
    const PasswordPipe pipe(Root() + "/password-pipe");
    ProcessRun run = CliRun(c.Target);
    run.Args = ArgumentsFor(c.Target, pipe.Path(), "plain.bin");
    const std::string output = OutputFor(c.Target, Plain());
    const std::string theirs = "someone else's file";
    std::string plainThen = plain_;
    std::map<std::string, std::string> before;
    run.WhileRunning = [&](int) {
        pipe.Serve(TestPassword, [&] {
            switch (c.Kind) {
            case Change::Vanishes:
                std::filesystem::remove(Plain());
                break;
            case Change::Grows:
                plainThen = plain_ + PatternBytes(9000, 3);
                WritePlain(plainThen);
                break;
            case Change::Shrinks:
                plainThen = plain_.substr(0, 17);
                WritePlain(plainThen);
                break;
            case Change::OutputTakenByFile:
                WriteBytes(output, theirs);
                break;
            case Change::OutputTakenByFolder:
                std::filesystem::create_directory(output);
                break;
            }
            before = WorkSnapshot();
        });
    };
    const ProcessResult result = CheckedRun(run);

    switch (c.Kind) {
    case Change::Vanishes:
        ExpectCleanFailure(result, "File not found", before);
        break;
    case Change::OutputTakenByFile:
    case Change::OutputTakenByFolder:
        ExpectCleanFailure(result, "file exists, not replaced", before);
        break;
    case Change::Grows:
    case Change::Shrinks: {
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        const bool inPlace = output.empty();
        EXPECT_EQ(ReadBytes(inPlace ? Plain() : output), ExpectedOutput(c.Target, plainThen));
        EXPECT_EQ(WorkSnapshot().size(), inPlace ? 1U : 2U) << "a temporary file was left";
        break;
    }
    }
}

std::vector<RaceCase> AllCases()
{
    std::vector<RaceCase> cases;
    for (const Command command : {Command::EncryptBeside, Command::EncryptInPlace,
                                  Command::DecryptBeside, Command::DecryptInPlace, Command::Sfx}) {
        for (const Change change : {Change::Vanishes, Change::Grows, Change::Shrinks}) {
            cases.push_back({change, command});
        }
    }
    for (const Command command : {Command::EncryptBeside, Command::DecryptBeside, Command::Sfx}) {
        cases.push_back({Change::OutputTakenByFile, command});
        cases.push_back({Change::OutputTakenByFolder, command});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cli, RaceTest, ::testing::ValuesIn(AllCases()), CaseName);

} // namespace
} // namespace ciphra::test
