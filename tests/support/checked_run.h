#pragma once
// The runner for GoogleTest tests: a program stopped at its deadline, or a
// terminal script that could not run to its end, fails the test that ran it.

#include <gtest/gtest.h>

#include "support/run_process.h"

namespace ciphra::test {

inline std::string CommandLine(const ProcessRun& run)
{
    std::string line = run.Program;
    for (const std::string& arg : run.Args) {
        line += " " + arg;
    }
    return line;
}

inline ProcessResult CheckedRun(const ProcessRun& run)
{
    ProcessResult result = RunProcess(run);
    EXPECT_FALSE(result.TimedOut) << CommandLine(run) << " was still running after "
                                  << run.Deadline.count() << " ms and was killed";
    return result;
}

inline TerminalResult CheckedRun(const ProcessRun& run, const std::vector<TerminalStep>& script)
{
    TerminalResult result = RunOnTerminal(run, script);
    EXPECT_FALSE(result.TimedOut) << CommandLine(run) << " was still running after "
                                  << run.Deadline.count() << " ms and was killed";
    EXPECT_EQ(result.ScriptError, "") << CommandLine(run) << " on the terminal; it showed:\n"
                                      << result.Out;
    return result;
}

} // namespace ciphra::test
