#include <gtest/gtest.h>
#include <sstream>

#include "cli/cli.h"
#include "cli/password.h"
#include "support/test_files.h"

namespace ciphra::cli {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

// Stands for the terminal: answers with a fixed password.
class FixedPrompt final : public PasswordPrompt {
public:
    void Ask(const char*, SecretText& password) override { password.Append("typed pw", 8); }
};

struct Outcome {
    int ExitCode;
    std::string Out;
    std::string Err;
};

Outcome RunSfx(const Arguments& args)
{
    std::istringstream in;
    std::ostringstream out, err;
    FixedPrompt prompt;
    CliIo io{in, out, err, prompt};
    Arguments full{"sfx"};
    full.insert(full.end(), args.begin(), args.end());
    const int code = RunCli(full, io);
    return {code, out.str(), err.str()};
}

TEST(SfxCommand, WritesTheProgramBesideTheFile)
{
    const std::string stub = ReadBytes(CIPHRA_STUB_FILE);
    const struct {
        const char* Name;
        Arguments Extra; // before FILE
    } cases[] = {
        {"password file, --stub PATH", {"--password-file", "PW", "--stub", CIPHRA_STUB_FILE}},
        {"--stub=PATH, asked password", {"--stub=" CIPHRA_STUB_FILE}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        WriteBytes(folder / "pw.txt", "from file\n");
        WriteBytes(folder / "data.bin", PatternBytes(1234));
        Arguments args;
        for (const std::string& arg : c.Extra)
            args.push_back(arg == "PW" ? folder / "pw.txt" : arg);
        args.push_back(folder / "data.bin");
        const Outcome outcome = RunSfx(args);
        EXPECT_EQ(outcome.ExitCode, ExitOk) << outcome.Err;
        EXPECT_EQ(outcome.Out, folder / "data.exe" + "\n");
        EXPECT_EQ(ReadBytes(folder / "data.exe").size(), stub.size() + 1234);
    }
}

#ifdef CIPHRA_WINDOWS_STUB_FILE
// Without --stub, the target's stub beside the tool goes in front (the
// test programs sit beside both stubs, as ciphra2k-cli does).
TEST(SfxCommand, TheTargetChoosesTheStub)
{
    const std::string linuxStub = ReadBytes(CIPHRA_STUB_FILE);
    const std::string windowsStub = ReadBytes(CIPHRA_WINDOWS_STUB_FILE);
    const struct {
        const char* Name;
        Arguments Extra; // before FILE
        const std::string& Stub;
    } cases[] = {
        {"no target", {}, linuxStub},
        {"--target linux", {"--target", "linux"}, linuxStub},
        {"--target windows", {"--target", "windows"}, windowsStub},
        {"--target=windows", {"--target=windows"}, windowsStub},
        {"--stub wins over --target",
         {"--target", "windows", "--stub", CIPHRA_STUB_FILE},
         linuxStub},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        WriteBytes(folder / "data.bin", PatternBytes(1234));
        Arguments args = c.Extra;
        args.push_back(folder / "data.bin");
        const Outcome outcome = RunSfx(args);
        EXPECT_EQ(outcome.ExitCode, ExitOk) << outcome.Err;
        const std::string program = ReadBytes(folder / "data.exe");
        EXPECT_EQ(program.size(), c.Stub.size() + 1234);
        EXPECT_EQ(program.substr(0, c.Stub.size()), c.Stub);
    }
}
#endif

TEST(SfxCommand, FailuresAndUsageErrors)
{
    const struct {
        const char* Name;
        Arguments Args; // "FOLDER/" stands for the scratch folder
        int ExitCode;
        std::string Err; // a part of standard error
    } cases[] = {
        {"no FILE", {"--stub", CIPHRA_STUB_FILE}, ExitUsage, "give exactly one FILE"},
        {"two FILEs", {"FOLDER/data.bin", "FOLDER/data.bin"}, ExitUsage, "give exactly one FILE"},
        {"--stub without value", {"FOLDER/data.bin", "--stub"}, ExitUsage, "--stub needs"},
        {"--target without value", {"FOLDER/data.bin", "--target"}, ExitUsage, "--target needs"},
        {"unknown target",
         {"--target", "macos", "FOLDER/data.bin"},
         ExitUsage,
         "--target takes linux or windows, not macos"},
        {"unknown option", {"--raw-key", "FOLDER/data.bin"}, ExitUsage, "unknown option --raw-key"},
        {"password too long",
         {"--password-file", "FOLDER/long.txt", "--stub", CIPHRA_STUB_FILE, "FOLDER/data.bin"},
         ExitFailed,
         "must be 1 to 32 bytes"},
        {"program name taken",
         {"--stub", CIPHRA_STUB_FILE, "FOLDER/taken.txt"},
         ExitFailed,
         "taken.exe: file exists, not replaced"},
        {"missing stub",
         {"--stub", "FOLDER/none.dtt", "FOLDER/data.bin"},
         ExitFailed,
         "none.dtt: File not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        WriteBytes(folder / "data.bin", PatternBytes(100));
        WriteBytes(folder / "long.txt", std::string(33, 'x'));
        WriteBytes(folder / "taken.txt", "plain");
        WriteBytes(folder / "taken.exe", "the user's");
        const auto before = Snapshot(folder.Path());
        Arguments args;
        for (std::string arg : c.Args) {
            if (arg.rfind("FOLDER/", 0) == 0)
                arg = folder / arg.substr(7);
            args.push_back(arg);
        }
        const Outcome outcome = RunSfx(args);
        EXPECT_EQ(outcome.ExitCode, c.ExitCode);
        EXPECT_NE(outcome.Err.find(c.Err), std::string::npos) << outcome.Err;
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

} // namespace
} // namespace ciphra::cli
