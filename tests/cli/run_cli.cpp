#include "cli/run_cli.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_files.h"

namespace ciphra::test {

namespace {

std::vector<char*> Argv(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    return argv;
}

int WaitFor(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

[[noreturn]] void StartProgram(std::vector<std::string> args, const std::string& folder)
{
    args.insert(args.begin(), CIPHRA_CLI_PATH);
    std::vector<char*> argv = Argv(args);
    if (::chdir(folder.c_str()) == 0) {
        ::execv(CIPHRA_CLI_PATH, argv.data());
    }
    ::_exit(127);
}

} // namespace

CliResult RunCli(const CliRun& run)
{
    TempFolder streams;
    const std::string in = streams / "stdin";
    const std::string out = streams / "stdout";
    const std::string err = streams / "stderr";
    WriteBytes(in, run.Stdin);
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::setsid();
        const int inFd = ::open(in.c_str(), O_RDONLY);
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (inFd < 0 || outFd < 0 || errFd < 0 || ::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 ||
            ::dup2(errFd, 2) < 0) {
            ::_exit(126);
        }
        if (run.ChildSetup) {
            run.ChildSetup();
        }
        StartProgram(run.Args, run.WorkingFolder);
    }
    if (run.WhileRunning) {
        run.WhileRunning(child);
    }
    CliResult result;
    result.ExitCode = WaitFor(child);
    result.Out = ReadBytes(out);
    result.Err = ReadBytes(err);
    return result;
}

CliResult RunCliOnTerminal(const std::vector<std::string>& args, const std::string& password,
                           const std::string& workingFolder)
{
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (child == 0) {
        StartProgram(args, workingFolder);
    }
    CliResult result;
    bool answered = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd watch{master, POLLIN, 0};
        if (::poll(&watch, 1, 100) <= 0) {
            continue;
        }
        char piece[256];
        const ssize_t n = ::read(master, piece, sizeof piece);
        if (n <= 0) {
            break; // the program has gone and the terminal is closed
        }
        result.Out.append(piece, static_cast<std::size_t>(n));
        if (!answered && result.Out.find("Password: ") != std::string::npos) {
            const std::string line = password + "\n";
            if (::write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
                break;
            }
            answered = true;
        }
    }
    ::close(master);
    result.ExitCode = WaitFor(child);
    return result;
}

} // namespace ciphra::test
