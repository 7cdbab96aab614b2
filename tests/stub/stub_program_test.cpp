// The real stub program end to end on the terminal: programs written by the
// writer, run without a display, answered on standard input.

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "core/jobs/sfx_writer.h"
#include "support/test_files.h"

extern char** environ;

namespace ciphra {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

struct Result {
    int ExitCode;
    std::string Output; // standard output and standard error together
};

// Runs `program` without DISPLAY (or with `display`, when given), feeding
// `input` to its standard input; with `interruptAfterMs`, sends SIGINT that
// long after the input.
Result RunWithoutDisplay(const std::string& program, const std::string& input,
                         int interruptAfterMs = -1, const char* display = nullptr)
{
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0)
            environment.push_back(*entry);
    }
    std::string displayEntry = display != nullptr ? std::string("DISPLAY=") + display : "";
    if (display != nullptr)
        environment.push_back(displayEntry.data());
    environment.push_back(nullptr);

    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = fork();
    if (child == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        dup2(fromChild[1], STDERR_FILENO);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        execve(program.c_str(), argv, environment.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    if (!input.empty() && write(toChild[1], input.data(), input.size()) < 0)
        ADD_FAILURE() << "cannot feed the program";
    close(toChild[1]);
    if (interruptAfterMs >= 0) {
        usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
        kill(child, SIGINT);
    }
    Result result{-1, {}};
    char buffer[4096];
    for (ssize_t n; (n = read(fromChild[0], buffer, sizeof buffer)) > 0;)
        result.Output.append(buffer, static_cast<std::size_t>(n));
    close(fromChild[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

// Runs `program` without DISPLAY on a new pseudo-terminal, types `line` once
// the prompt is there, and returns all that appeared on the terminal.
std::string RunOnTerminal(const std::string& program, const std::string& line)
{
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0)
        throw std::runtime_error("forkpty");
    if (child == 0) {
        unsetenv("DISPLAY");
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string screen;
    char buffer[4096];
    bool typed = false;
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) {
        screen.append(buffer, static_cast<std::size_t>(n));
        if (!typed && screen.find("Password: ") != std::string::npos) {
            typed = write(master, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        }
    }
    close(master);
    waitpid(child, nullptr, 0);
    return screen;
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
        const Result result = RunWithoutDisplay(program, "correct horse\n");
        EXPECT_EQ(result.ExitCode, 0) << result.Output;
        EXPECT_EQ(result.Output, "Password: \nFile decrypted!\n");
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
        const Result result = RunWithoutDisplay(program, c.Input);
        EXPECT_EQ(result.ExitCode, c.ExitCode);
        EXPECT_EQ(result.Output, c.Output);
        EXPECT_EQ(std::filesystem::exists(folder.Path() / "report.dec"), c.Restored);
    }
}

// On a terminal the password is read with the echo off: only the line end
// shows.
TEST(StubProgram, ThePasswordIsNotEchoedOnATerminal)
{
    TempFolder folder;
    const std::string plain = PatternBytes(300);
    const std::string screen =
        RunOnTerminal(WriteProgram(folder, plain, "hidden pw"), "hidden pw\n");
    EXPECT_EQ(screen, "Password: \r\nFile decrypted!\r\n");
    EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
}

// A display that cannot be opened sends the stub to the terminal as well.
TEST(StubProgram, AnUnreachableDisplayFallsBackToTheTerminal)
{
    for (const char* display : {"", ":9999"}) {
        SCOPED_TRACE(display);
        TempFolder folder;
        const Result result =
            RunWithoutDisplay(WriteProgram(folder, PatternBytes(40), "pw"), "pw\n", -1, display);
        EXPECT_EQ(result.ExitCode, 0);
        EXPECT_EQ(result.Output, "Password: \nFile decrypted!\n");
    }
}

TEST(StubProgram, AWrongPasswordGivesOtherBytesOfTheRightLength)
{
    TempFolder folder;
    const std::string plain = PatternBytes(5000);
    const Result result = RunWithoutDisplay(WriteProgram(folder, plain, "right"), "wrong\n");
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
    const Result second = RunWithoutDisplay(program, "pw\n");
    EXPECT_EQ(second.ExitCode, 1);
    EXPECT_EQ(second.Output, "Password: \nThe file name report.dec is already taken.\n"
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
    const Result result = RunWithoutDisplay(program, "pw\n", 150);
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    EXPECT_TRUE(result.ExitCode == 128 + SIGINT || result.ExitCode == 0) << result.ExitCode;
}

} // namespace
} // namespace ciphra
