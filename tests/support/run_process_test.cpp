// The process runner itself: what it hands the program, that a deadline ends
// a hanging program with everything it started, and the terminal's steps.

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/run_process.h"
#include "support/test_files.h"

namespace ciphra::test {
namespace {

using namespace std::chrono_literals;

ProcessRun Shell(const std::string& script)
{
    ProcessRun run;
    run.Program = "/bin/sh";
    run.Args = {"-c", script};
    return run;
}

// Gone, or only waiting to be reaped by whoever adopted it.
bool Ended(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string fields;
    std::getline(stat, fields);
    const std::size_t end = fields.rfind(')');
    return !stat || end == std::string::npos || fields.substr(end + 2, 1) == "Z";
}

TEST(RunProcess, HandsTheProgramWhatTheRunAsksFor)
{
    TempFolder folder;
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display != nullptr ? display : "";
    ::setenv("DISPLAY", ":77", 1); // as under a desktop
    const int usr = ::open("/usr", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(usr, 0);
    const struct {
        const char* Name;
        const char* Script;
        std::function<void(ProcessRun&)> Set;
        int ExitCode;
        std::string Out;
        std::string Err;
    } cases[] = {
        {"exit status and both streams", "echo out; echo err >&2; exit 3", {}, 3, "out\n", "err\n"},
        {"streams merged in order", "echo a; echo b >&2; echo c",
         [](ProcessRun& run) { run.StderrToStdout = true; }, 0, "a\nb\nc\n", ""},
        {"standard input", "cat", [](ProcessRun& run) { run.Stdin = "typed\n"; }, 0, "typed\n", ""},
        {"no display unless given", "echo \"${DISPLAY-none}\"", {}, 0, "none\n", ""},
        {"environment", "echo \"$DISPLAY $EXTRA\"",
         [](ProcessRun& run) {
             run.Environment = {{"DISPLAY", ":5"}, {"EXTRA", "x"}};
         },
         0, ":5 x\n", ""},
        {"fault library", "case \"$LD_PRELOAD\" in *ciphra_fault_shim*) echo preloaded;; esac",
         [](ProcessRun& run) { run.PreloadFaultLibrary = true; }, 0, "preloaded\n", ""},
        {"umask", "umask", [](ProcessRun& run) { run.Umask = 027; }, 0, "0027\n", ""},
        {"file size limit", "printf 0123456789 > f 2>/dev/null; wc -c < f",
         [&](ProcessRun& run) {
             run.FileSizeLimit = 4;
             run.WorkingFolder = folder.Path().string();
         },
         0, "4\n", ""},
        {"standard output on /dev/full", "echo x 2>/dev/null || echo failed >&2",
         [](ProcessRun& run) { run.StdoutToDevFull = true; }, 0, "", "failed\n"},
        {"working folder", "pwd", [](ProcessRun& run) { run.WorkingFolder = "/"; }, 0, "/\n", ""},
        {"working folder by descriptor", "pwd", [&](ProcessRun& run) { run.WorkingFolderFd = usr; },
         0, "/usr\n", ""},
        {"other user", "id -u", [](ProcessRun& run) { run.AsOtherUser = true; }, 0,
         std::to_string(OtherUserId()) + "\n", ""},
        {"child setup", "ulimit -n",
         [](ProcessRun& run) {
             run.ChildSetup = [] {
                 const rlimit files{64, 64};
                 ::setrlimit(RLIMIT_NOFILE, &files);
             };
         },
         0, "64\n", ""},
        {"no controlling terminal",
         "(: </dev/tty) 2>/dev/null && echo terminal || echo none",
         {},
         0,
         "none\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ProcessRun run = Shell(c.Script);
        if (c.Set) {
            c.Set(run);
        }
        const ProcessResult result = RunProcess(run);
        EXPECT_FALSE(result.TimedOut);
        EXPECT_EQ(result.ExitCode, c.ExitCode);
        EXPECT_EQ(result.Signal, 0);
        EXPECT_EQ(result.Out, c.Out);
        EXPECT_EQ(result.Err, c.Err);
    }
    ::close(usr);
    if (display != nullptr) {
        ::setenv("DISPLAY", savedDisplay.c_str(), 1);
    } else {
        ::unsetenv("DISPLAY");
    }
}

TEST(RunProcess, ReportsTheSignalThatEndedTheProgram)
{
    const ProcessResult result = RunProcess(Shell("kill -TERM $$"));
    EXPECT_EQ(result.ExitCode, -1);
    EXPECT_EQ(result.Signal, SIGTERM);
    EXPECT_FALSE(result.TimedOut);
}

TEST(RunProcess, FeedsStandardInputThroughAPipe)
{
    ProcessRun run = Shell("cat");
    run.FeedStdin = [](int, int fd) {
        EXPECT_EQ(::write(fd, "fed\n", 4), 4);
        ::close(fd);
    };
    EXPECT_EQ(RunProcess(run).Out, "fed\n");

    // Feeding a program that has ended fails, instead of ending the test by SIGPIPE.
    run = Shell("exit 0");
    run.FeedStdin = [](int pid, int fd) {
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
        EXPECT_EQ(::write(fd, "late\n", 5), -1);
        EXPECT_EQ(errno, EPIPE);
        ::close(fd);
    };
    EXPECT_EQ(RunProcess(run).ExitCode, 0);
}

// A program that never ends, that ignores the polite signals, or that left a
// process behind: each is killed at the deadline, with all it started.
TEST(RunProcess, TheDeadlineKillsTheWholeProcessGroup)
{
    TempFolder folder;
    for (const char* script : {"exec sleep 30", "trap '' INT TERM HUP; sleep 30",
                               "sleep 30 & echo $! > pid; sleep 30"}) {
        SCOPED_TRACE(script);
        ProcessRun run = Shell(script);
        run.WorkingFolder = folder.Path().string();
        run.Deadline = 300ms;
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult result = RunProcess(run);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_TRUE(result.TimedOut);
        EXPECT_EQ(result.Signal, SIGKILL);
    }
    const int left = std::stoi(ReadBytes(folder / "pid"));
    for (int tries = 0; tries < 200 && !Ended(left); ++tries) {
        ::usleep(10000);
    }
    EXPECT_TRUE(Ended(left)) << "the program's own child outlived the deadline";
}

// The conversation a password prompt has with a user who suspends it: echo
// off at the prompt, Ctrl+Z stops the program (here a shell script that does
// not give the echo back), SIGCONT lets it go on, and the typed line arrives.
TEST(RunOnTerminal, FollowsTheScriptThroughASuspension)
{
    const TerminalResult result = RunOnTerminal(
        Shell("stty -echo; printf 'Password: '; read line; stty echo; "
              "echo \"got $line\""),
        {WaitFor("Password: "), ReadMode(), Type("\x1a"), WaitStopped(), ReadMode(),
         SendSignal(SIGCONT), Type("secret\r"), WaitFor("got secret"), WaitForEcho(true)});
    EXPECT_EQ(result.ScriptError, "");
    EXPECT_EQ(result.ExitCode, 0);
    ASSERT_EQ(result.Modes.size(), 2U);
    EXPECT_FALSE(EchoOn(result.Modes[0]));
    EXPECT_FALSE(EchoOn(result.Modes[1]));
    EXPECT_EQ(result.Out.find("secret\r\ngot"), std::string::npos) << "echoed: " << result.Out;
    EXPECT_NE(result.Out.find("got secret\r\n"), std::string::npos) << result.Out;
}

TEST(RunOnTerminal, EndsAsTheProgramEnds)
{
    const struct {
        const char* Name;
        const char* Script;
        std::vector<TerminalStep> Steps;
        int ExitCode;
        int Signal;
        bool TimedOut;
        const char* ScriptError; // its beginning
    } cases[] = {
        {"exit status", "read line; exit 4", {Type("\r")}, 4, 0, false, ""},
        {"Ctrl+C",
         "echo ready; exec sleep 30",
         {WaitFor("ready"), Type("\x03")},
         -1,
         SIGINT,
         false,
         ""},
        {"signal from the test",
         "echo ready; exec sleep 30",
         {WaitFor("ready"), SendSignal(SIGTERM)},
         -1,
         SIGTERM,
         false,
         ""},
        {"ended before the text",
         "echo bye",
         {WaitFor("never")},
         0,
         0,
         false,
         "the program ended while waiting for \"never\""},
        {"never stops",
         "echo ready; exec sleep 30",
         {WaitFor("ready"), WaitStopped()},
         -1,
         SIGKILL,
         true,
         "the deadline passed while waiting for the program to stop"},
        {"waits forever", "exec sleep 30", {}, -1, SIGKILL, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ProcessRun run = Shell(c.Script);
        run.Deadline = 500ms;
        const auto start = std::chrono::steady_clock::now();
        const TerminalResult result = RunOnTerminal(run, c.Steps);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_EQ(result.ExitCode, c.ExitCode);
        EXPECT_EQ(result.Signal, c.Signal);
        EXPECT_EQ(result.TimedOut, c.TimedOut);
        EXPECT_TRUE(result.ScriptError.starts_with(c.ScriptError)) << result.ScriptError;
        EXPECT_EQ(result.ScriptError.empty(), std::string(c.ScriptError).empty());
    }
}

} // namespace
} // namespace ciphra::test
