#pragma once
// A scratch layout for the fault tests: a folder "work" holding the plain file
// "plain.bin", and a password file beside that folder, all reachable by the
// other user that permission tests run the program as.

#include <gtest/gtest.h>
#include <map>
#include <string>

#include "reliability/commands.h"
#include "reliability/password_pipe.h"
#include "support/checked_run.h"
#include "support/test_files.h"

namespace ciphra::test {

class ReliabilityTest : public ::testing::Test {
protected:
    static constexpr std::size_t PlainSize = 100000;

    ReliabilityTest();
    ~ReliabilityTest() override;

    std::string Work() const { return root_ / "work"; }
    std::string Plain() const { return Work() + "/plain.bin"; }
    std::string PasswordFile() const { return root_ / "password"; }
    std::string Root() const { return root_.Path().string(); }
    std::map<std::string, std::string> WorkSnapshot() const { return Snapshot(Work()); }

    // Mounts a tmpfs of `kilobytes` on the work folder (before the plain file
    // is written again). False when this system does not let the test mount.
    bool MountSmallWorkFolder(unsigned kilobytes);
    void WritePlain(const std::string& bytes) const;

    ProcessRun CliRun(Command command) const;
    ProcessRun CliRun(std::vector<std::string> args) const; // ciphra2k-cli in the work folder
    // The program "plain.exe" (written by CliRun(Command::Sfx)) restoring its
    // file, with the password on standard input.
    ProcessRun StubRun() const;
    // `run` with the fault library preloaded, logging to FaultLog().
    ProcessRun Logged(ProcessRun run) const;
    std::string FaultLog() const { return root_ / "fault.log"; }

    // A failed run: exit 1, the reason on standard error, the work folder as it was.
    void ExpectCleanFailure(const ProcessResult& result, const std::string& reason,
                            const std::map<std::string, std::string>& before) const;

    const std::string plain_;

private:
    TempFolder root_;
    bool mounted_ = false;
};

} // namespace ciphra::test
