#include "reliability/run_program.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/test_files.h"

namespace ciphra::test {

namespace {

constexpr unsigned Nobody = 65534;

[[noreturn]] void StartChild(const ProgramRun& run, const std::string& in, const std::string& out,
                             const std::string& err, int stdinPipe)
{
    ::setsid();
    const int inFd = stdinPipe >= 0 ? stdinPipe : ::open(in.c_str(), O_RDONLY);
    const int outFd = run.StdoutToDevFull ? ::open("/dev/full", O_WRONLY)
                                          : ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (inFd < 0 || outFd < 0 || errFd < 0 || ::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 ||
        ::dup2(errFd, 2) < 0) {
        ::_exit(126);
    }
    ::unsetenv("DISPLAY");
    for (const auto& [name, value] : run.Environment) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    if (run.Preload) {
        ::setenv("LD_PRELOAD", CIPHRA_FAULT_SHIM, 1);
        // The sanitizer runtime need not come first when the library is preloaded.
        ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
    }
    if (run.Umask >= 0) {
        ::umask(static_cast<mode_t>(run.Umask));
    }
    if (run.FileSizeLimit >= 0) {
        const rlimit limit{static_cast<rlim_t>(run.FileSizeLimit),
                           static_cast<rlim_t>(run.FileSizeLimit)};
        ::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (run.AsOtherUser && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)) {
        ::_exit(125);
    }
    std::vector<std::string> args = run.Args;
    args.insert(args.begin(), run.Program);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const int entered = run.WorkingFolderFd >= 0 ? ::fchdir(run.WorkingFolderFd)
                                                 : ::chdir(run.WorkingFolder.c_str());
    if (entered == 0) {
        ::execv(run.Program.c_str(), argv.data());
    }
    ::_exit(127);
}

} // namespace

ProgramResult RunProgram(const ProgramRun& run)
{
    TempFolder streams;
    ::chmod(streams.Path().c_str(), 0755); // reachable when the program runs as nobody
    const std::string in = streams / "stdin";
    const std::string out = streams / "stdout";
    const std::string err = streams / "stderr";
    WriteBytes(in, run.Stdin);
    WriteBytes(out, "");
    WriteBytes(err, "");
    for (const std::string& path : {in, out, err}) {
        ::chmod(path.c_str(), 0666);
    }
    int stdinPipe[2] = {-1, -1};
    if (run.FeedStdin && ::pipe(stdinPipe) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        if (stdinPipe[1] >= 0) {
            ::close(stdinPipe[1]);
        }
        StartChild(run, in, out, err, stdinPipe[0]);
    }
    if (run.FeedStdin) {
        ::close(stdinPipe[0]);
        run.FeedStdin(child, stdinPipe[1]);
    } else if (run.WhileRunning) {
        run.WhileRunning(child);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ProgramResult result;
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Out = ReadBytes(out);
    result.Err = ReadBytes(err);
    return result;
}

unsigned OtherUserId()
{
    return ::geteuid() == 0 ? Nobody : ::geteuid();
}

unsigned OtherGroupId()
{
    return ::geteuid() == 0 ? Nobody : ::getegid();
}

PasswordPipe::PasswordPipe(std::string path) : path_(std::move(path))
{
    if (::mkfifo(path_.c_str(), 0666) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
    ::chmod(path_.c_str(), 0666);
}

void PasswordPipe::Serve(const std::string& password, const std::function<void()>& between) const
{
    // Opening for writing succeeds once the program has opened the pipe.
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 2000; ++tries) {
        fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            ::usleep(10000);
        }
    }
    if (fd < 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
        throw std::runtime_error("the program never opened the password pipe");
    }
    between();
    const std::string line = password + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) {
        throw std::runtime_error("cannot write the password pipe");
    }
}

} // namespace ciphra::test
