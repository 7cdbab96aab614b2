#pragma once
// Runs the built ciphra2k-cli as a child process, the way a script would.

#include <functional>
#include <string>
#include <vector>

namespace ciphra::test {

struct CliResult {
    int ExitCode = -1; // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

struct CliRun {
    std::vector<std::string> Args;
    std::string Stdin;
    std::string WorkingFolder = ".";
    // Runs in the child just before the program starts (limits, sessions).
    std::function<void()> ChildSetup;
    // Runs in the test while the program runs (to interrupt it).
    std::function<void(int pid)> WhileRunning;
};

// Starts the program in its own session, so it has no terminal unless the
// test gives it one.
CliResult RunCli(const CliRun& run);

// Starts the program on a new pseudo-terminal, answers its password prompt
// with `password` and returns what appeared on the terminal.
CliResult RunCliOnTerminal(const std::vector<std::string>& args, const std::string& password,
                           const std::string& workingFolder);

} // namespace ciphra::test
