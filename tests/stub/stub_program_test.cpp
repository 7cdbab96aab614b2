// The real stub program end to end on the terminal: programs written by the
// writer, run without a display, answered on standard input.

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "core/jobs/sfx_writer.h"
#include "support/checked_run.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::CheckedRun;
using test::PatternBytes;
using test::ProcessResult;
using test::ProcessRun;
using test::ReadBytes;
using test::ReadMode;
using test::Snapshot;
using test::TempFolder;
using test::TerminalResult;
using test::Type;
using test::WaitFor;
using test::WriteBytes;

// Runs `program` without DISPLAY (or with `display`, when given), with
// `input` on its standard input; with `interruptAfterMs`, sends SIGINT that
// long after the start. Standard output and standard error land together in Out.
ProcessResult RunWithoutDisplay(const std::string& program, const std::string& input,
                                int interruptAfterMs = -1, const char* display = nullptr)
{
    ProcessRun run;
    run.Program = program;
    run.Stdin = input;
    run.StderrToStdout = true;
    if (display != nullptr)
        run.Environment["DISPLAY"] = display;
    if (interruptAfterMs >= 0) {
        run.WhileRunning = [interruptAfterMs](int pid) {
            usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
            kill(pid, SIGINT);
        };
    }
    return CheckedRun(run);
}

std::string WriteProgram(const TempFolder& folder, const std::string& plain,
                         const std::string& password)
{
    WriteBytes(folder / "report.doc", plain);
    return WriteSelfDecryptingProgram(folder / "report.doc", password, CIPHRA_STUB_FILE).Program;
}

TEST(StubProgram, RestoresFilesOfEveryLength)
{
    for (std::size_t length : {0, 1, 5, 16, 8193, 1 << 20}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const std::string plain = PatternBytes(length, 11);
        const std::string program = WriteProgram(folder, plain, "correct horse");
        const ProcessResult result = RunWithoutDisplay(program, "correct horse\n");
        EXPECT_EQ(result.ExitCode, 0) << result.Out;
        EXPECT_EQ(result.Out, "Password: \nFile decrypted!\n");
        EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
        EXPECT_EQ(Snapshot(folder.Path()).size(), 3U); // .doc, .exe, .dec
    }
}

TEST(StubProgram, AnswersOnTheTerminal)
{
    const struct {
        const char* Name;
        std::string Input;
        int ExitCode;
        std::string Output;
        bool Restored;
    } cases[] = {
        {"line ends in CR LF", "pw\r\n", 0, "Password: \nFile decrypted!\n", true},
        {"no line end", "pw", 0, "Password: \nFile decrypted!\n", true},
        {"empty password", "\n", 1, "Password: \nPassword is required.\n", false},
        {"no input at all", "", 1, "Password: \nPassword is required.\n", false},
        {"overlong password", std::string(40, 'x') + "\n", 1,
         "Password: \nKey length must be between 1 and 32 bytes\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        const std::string program = WriteProgram(folder, PatternBytes(100), "pw");
        const ProcessResult result = RunWithoutDisplay(program, c.Input);
        EXPECT_EQ(result.ExitCode, c.ExitCode);
        EXPECT_EQ(result.Out, c.Output);
        EXPECT_EQ(std::filesystem::exists(folder.Path() / "report.dec"), c.Restored);
    }
}

// On a terminal the password is read with the echo off: only the line end
// shows.
TEST(StubProgram, ThePasswordIsNotEchoedOnATerminal)
{
    TempFolder folder;
    const std::string plain = PatternBytes(300);
    ProcessRun run;
    run.Program = WriteProgram(folder, plain, "hidden pw");
    const TerminalResult result =
        CheckedRun(run, {WaitFor("Password: "), ReadMode(), Type("hidden pw\r")});
    EXPECT_EQ(result.Out, "Password: \r\nFile decrypted!\r\n");
    ASSERT_EQ(result.Modes.size(), 1U);
    EXPECT_FALSE(test::EchoOn(result.Modes[0])) << "echo is on at the prompt";
    EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
}

// Ctrl+Z at the prompt gives the shell the echo back while the stub is
// stopped, and takes it away again when it goes on.
TEST(StubProgram, CtrlZAtThePromptKeepsTheEchoOffAfterwards)
{
    TempFolder folder;
    const std::string plain = PatternBytes(300);
    ProcessRun run;
    run.Program = WriteProgram(folder, plain, "hidden pw");
    const TerminalResult result =
        CheckedRun(run, {WaitFor("Password: "), Type("\x1a"), test::WaitStopped(), ReadMode(),
                         test::SendSignal(SIGCONT), test::WaitForEcho(false), Type("hidden pw\r")});
    ASSERT_EQ(result.Modes.size(), 1U);
    EXPECT_TRUE(test::EchoOn(result.Modes[0])) << "echo is off while the stub is stopped";
    EXPECT_EQ(result.ExitCode, 0) << result.Out;
    EXPECT_EQ(result.Out.find("hidden pw"), std::string::npos) << "echoed: " << result.Out;
    EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
}

// The stub keeps no large buffer on its stack: under a small stack limit it
// still restores a file of many chunks.
TEST(StubProgram, RunsUnderASmallStackLimit)
{
    TempFolder folder;
    const std::string plain = PatternBytes(3 << 20, 5);
    ProcessRun run;
    run.Program = WriteProgram(folder, plain, "pw");
    run.Stdin = "pw\n";
    run.StderrToStdout = true;
    run.ChildSetup = [] {
        const rlimit stack{128 * 1024, 128 * 1024};
        ::setrlimit(RLIMIT_STACK, &stack);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
    };
    const ProcessResult result = CheckedRun(run);
    EXPECT_EQ(result.ExitCode, 0) << result.Out;
    EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
    EXPECT_EQ(Snapshot(folder.Path()).size(), 3U);
}

// A display that cannot be opened sends the stub to the terminal as well.
TEST(StubProgram, AnUnreachableDisplayFallsBackToTheTerminal)
{
    for (const char* display : {"", ":9999"}) {
        SCOPED_TRACE(display);
        TempFolder folder;
        const ProcessResult result =
            RunWithoutDisplay(WriteProgram(folder, PatternBytes(40), "pw"), "pw\n", -1, display);
        EXPECT_EQ(result.ExitCode, 0);
        EXPECT_EQ(result.Out, "Password: \nFile decrypted!\n");
    }
}

TEST(StubProgram, AWrongPasswordGivesOtherBytesOfTheRightLength)
{
    TempFolder folder;
    const std::string plain = PatternBytes(5000);
    const ProcessResult result = RunWithoutDisplay(WriteProgram(folder, plain, "right"), "wrong\n");
    EXPECT_EQ(result.ExitCode, 0);
    const std::string restored = ReadBytes(folder / "report.dec");
    EXPECT_EQ(restored.size(), plain.size());
    EXPECT_NE(restored, plain);
}

TEST(StubProgram, ASecondRunFindsTheNameTaken)
{
    TempFolder folder;
    const std::string plain = PatternBytes(777);
    const std::string program = WriteProgram(folder, plain, "pw");
    ASSERT_EQ(RunWithoutDisplay(program, "pw\n").ExitCode, 0);
    const ProcessResult second = RunWithoutDisplay(program, "pw\n");
    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_EQ(second.Out, "Password: \nThe file name report.dec is already taken.\n"
                          "The decrypted file was saved as report (2).dec.\n");
    EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
    EXPECT_EQ(ReadBytes(folder / "report (2).dec"), plain);
}

// Interrupted while it decrypts, the program leaves no working file behind
// (whether the signal came mid-way or after the end).
TEST(StubProgram, AnInterruptLeavesNoWorkingFile)
{
    TempFolder folder;
    const std::string program = WriteProgram(folder, PatternBytes(48 << 20), "pw");
    const ProcessResult result = RunWithoutDisplay(program, "pw\n", 150);
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    EXPECT_TRUE(result.Signal == SIGINT || result.ExitCode == 0)
        << result.ExitCode << " " << result.Signal;
}

} // namespace
} // namespace ciphra
