#pragma once
// Runs a built program as a child process with the faults a test asks for:
// environment settings (the fault library among them), limits, another user,
// and a moment in the middle of the run at which the test changes files.

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace ciphra::test {

struct ProgramRun {
    std::string Program;
    std::vector<std::string> Args;
    std::string Stdin;
    std::string WorkingFolder = ".";
    int WorkingFolderFd = -1; // used instead of WorkingFolder when set (paths over PATH_MAX)
    std::map<std::string, std::string> Environment; // added to the test's own
    bool Preload = false;                           // load the fault library into the program
    bool AsOtherUser = false;                       // as root: run as nobody, so permissions count
    long FileSizeLimit = -1;                        // RLIMIT_FSIZE in bytes, when >= 0
    bool StdoutToDevFull = false;                   // every write to standard output fails
    int Umask = -1;                                 // the program's umask, when >= 0
    // Runs in the test while the program runs, with its process id.
    std::function<void(int pid)> WhileRunning;
    // When set, standard input is a pipe instead of Stdin, and this runs in
    // the test (instead of WhileRunning) with the pipe's writing end, which
    // it must close.
    std::function<void(int pid, int stdinFd)> FeedStdin;
};

struct ProgramResult {
    int ExitCode = -1; // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

ProgramResult RunProgram(const ProgramRun& run);

// The user id the program runs as with AsOtherUser (nobody as root, else ours).
unsigned OtherUserId();
unsigned OtherGroupId();

// A password file read through a named pipe: the program blocks on opening
// it, after its checks, until the test has done what it wants in between.
class PasswordPipe {
public:
    explicit PasswordPipe(std::string path);
    const std::string& Path() const { return path_; }
    // Waits for the program to open the pipe, runs `between`, then hands
    // over `password` and closes the pipe.
    void Serve(const std::string& password, const std::function<void()>& between) const;

private:
    std::string path_;
};

} // namespace ciphra::test
