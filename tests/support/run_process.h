#pragma once
// Runs a built program as a child process, the way a script or a user at a
// terminal would, with the conditions a test asks for: standard input, extra
// environment (the fault library among them), limits, another user, and
// moments in the middle of the run at which the test acts.
//
// Every run has a deadline. When it passes, the child's whole process group
// is killed with SIGKILL and the result says so, so that a hanging program
// fails its test instead of hanging the suite.

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <termios.h>
#include <vector>

namespace ciphra::test {

struct ProcessRun {
    std::string Program;
    std::vector<std::string> Args; // after the program's own name
    std::string Stdin;             // what standard input holds (a file)
    // When set, standard input is a pipe instead, and this runs in the test
    // with the pipe's writing end, which it must close. SIGPIPE is ignored
    // meanwhile, so feeding a program that has gone fails with EPIPE.
    std::function<void(int pid, int stdinFd)> FeedStdin;
    std::string WorkingFolder = ".";
    int WorkingFolderFd = -1; // used instead of WorkingFolder when set (paths over PATH_MAX)
    // Added to the test's own environment. DISPLAY is removed, so that no
    // program opens a window, unless it is set here.
    std::map<std::string, std::string> Environment;
    bool PreloadFaultLibrary = false; // LD_PRELOAD the fault library (tests/reliability)
    bool AsOtherUser = false;         // as root: run as nobody, so permissions count
    long FileSizeLimit = -1;          // RLIMIT_FSIZE in bytes when >= 0; SIGXFSZ ignored
    int Umask = -1;                   // the program's umask when >= 0
    bool StdoutToDevFull = false;     // every write to standard output fails with ENOSPC
    bool StderrToStdout = false;      // both in Out, in the order they were written
    // Runs in the child just before the program starts: after the settings
    // above, before the switch to the other user. Between fork and exec, so
    // system calls only when the test has threads.
    std::function<void()> ChildSetup;
    // Runs in the test while the program runs (after FeedStdin, when both are set).
    std::function<void(int pid)> WhileRunning;
    std::chrono::milliseconds Deadline = std::chrono::seconds(60);
};

struct ProcessResult {
    int ExitCode = -1;     // -1 unless the program exited normally
    int Signal = 0;        // the signal that ended it, 0 when it exited
    bool TimedOut = false; // the deadline passed and the process group was killed
    std::string Out;
    std::string Err;
};

// Starts the program in a session of its own (so without a controlling
// terminal), waits for it and returns what it wrote.
ProcessResult RunProcess(const ProcessRun& run);

// One step of a conversation with a program on a terminal.
struct TerminalStep {
    enum class Kind {
        WaitFor,     // until the output since the last WaitFor match contains Text
        Type,        // writes Text to the terminal, as typed keys
        ReadMode,    // keeps the terminal's termios in TerminalResult::Modes
        WaitForEcho, // until the terminal's ECHO flag equals Echo
        Signal,      // sends Number to the program's process group, as the terminal does
        WaitStopped, // until the program stops (each stop is waited for once)
    };
    Kind What;
    std::string Text;
    int Number = 0;
    bool Echo = false;
};

TerminalStep WaitFor(std::string text);
TerminalStep Type(std::string keys); // "\r" ends a line, "\x03" is Ctrl+C, "\x1a" Ctrl+Z
TerminalStep ReadMode();
TerminalStep WaitForEcho(bool on);
TerminalStep SendSignal(int number);
TerminalStep WaitStopped();

struct TerminalResult : ProcessResult {
    std::vector<termios> Modes; // one per ReadMode step, in order
    // Why the script stopped early ("" when every step ran): the program
    // ended, or the deadline passed, while a step waited.
    std::string ScriptError;
};

inline bool EchoOn(const termios& mode)
{
    return (mode.c_lflag & ECHO) != 0;
}

// Starts the program on a new pseudo-terminal, its controlling terminal in a
// session of its own, runs `script` against it, then waits for the program
// to end. As under a shell, the program runs as a job: in a process group of
// its own, in the terminal's foreground, its parent the session's leader, so
// that Ctrl+Z stops it. Everything the program wrote to the terminal is in
// Out, with the terminal's line ends ("\r\n"). Stdin, FeedStdin,
// StdoutToDevFull, StderrToStdout and WhileRunning do not apply.
TerminalResult RunOnTerminal(const ProcessRun& run, const std::vector<TerminalStep>& script);

// The user and group a program runs as with AsOtherUser (nobody as root, else ours).
unsigned OtherUserId();
unsigned OtherGroupId();

} // namespace ciphra::test
