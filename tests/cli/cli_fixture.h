#pragma once
// A scratch folder in which the tests run the real ciphra2k-cli.

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "support/checked_run.h"
#include "support/test_files.h"

namespace ciphra::test {

// Standard error less what the shredder tells of the storage before it
// asks: that depends on the disk the tests run on (an SSD, btrfs).
inline std::string WithoutStorageWarnings(const std::string& err)
{
    std::string rest;
    std::size_t start = 0;
    while (start < err.size()) {
        const std::size_t end = std::min(err.find('\n', start), err.size() - 1) + 1;
        const std::string line = err.substr(start, end - start);
        if (!line.starts_with("ciphra2k-cli: warning: ") &&
            !line.starts_with("ciphra2k-cli: note: What helps instead: ")) {
            rest += line;
        }
        start = end;
    }
    return rest;
}

class CliTest : public ::testing::Test {
protected:
    TempFolder folder_;

    std::string In(const std::string& name) const { return folder_ / name; }

    // ciphra2k-cli with `args`, in the folder.
    ProcessRun Cli(std::vector<std::string> args) const
    {
        ProcessRun run;
        run.Program = CIPHRA_CLI_PATH;
        run.Args = std::move(args);
        run.WorkingFolder = folder_.Path().string();
        return run;
    }

    ProcessResult Run(std::vector<std::string> args, std::string stdinBytes = {}) const
    {
        ProcessRun run = Cli(std::move(args));
        run.Stdin = std::move(stdinBytes);
        return CheckedRun(run);
    }

    // A password file outside the working folder, so that snapshots of the
    // folder show only what the command did.
    std::string PasswordFile(const std::string& content)
    {
        passwords_.push_back(std::make_unique<TempFolder>());
        const std::string path = *passwords_.back() / "password";
        WriteBytes(path, content);
        return path;
    }

private:
    std::vector<std::unique_ptr<TempFolder>> passwords_;
};

} // namespace ciphra::test
