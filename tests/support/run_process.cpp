#include "support/run_process.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <grp.h>
#include <map>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/test_files.h"

extern char** environ;

namespace ciphra::test {

namespace {

constexpr unsigned Nobody = 65534;
using Clock = std::chrono::steady_clock;

// Kills the process groups it watches when the deadline passes, unless it
// was disarmed first. Disarm before reaping the child: its process id, and so
// its group's, may be reused once it is reaped.
class Deadline {
public:
    Deadline(pid_t group, std::chrono::milliseconds length)
        : groups_{group}, at_(Clock::now() + length), thread_([this] { Watch(); })
    {
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
    ~Deadline() { Disarm(); }

    // Only for a group that cannot be gone before the first one's leader is reaped.
    void AlsoKill(pid_t group)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        groups_.push_back(group);
    }
    void Disarm()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            disarmed_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Kills every watched group at once (a test hook failed).
    void KillNow()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const pid_t group : groups_) {
            ::kill(-group, SIGKILL);
        }
    }
    bool Passed() const { return fired_ || Clock::now() >= at_; }
    bool Fired() const { return fired_; }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!wake_.wait_until(lock, at_, [this] { return disarmed_; })) {
            for (const pid_t group : groups_) {
                ::kill(-group, SIGKILL);
            }
            fired_ = true;
        }
    }

    std::vector<pid_t> groups_;
    const Clock::time_point at_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool disarmed_ = false;
    std::atomic<bool> fired_ = false;
    std::thread thread_; // last: it starts watching once the rest is ready
};

// The program's arguments and environment, made before the fork: between
// fork and exec the child only makes system calls, as a child of a process
// with threads must.
class Launch {
public:
    explicit Launch(const ProcessRun& run) : run_(run)
    {
        args_.push_back(run.Program);
        args_.insert(args_.end(), run.Args.begin(), run.Args.end());
        std::map<std::string, std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            const std::size_t equals = text.find('=');
            if (equals != std::string::npos) {
                environment[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        environment.erase("DISPLAY");
        for (const auto& [name, value] : run.Environment) {
            environment[name] = value;
        }
        if (run.PreloadFaultLibrary) {
            environment["LD_PRELOAD"] = CIPHRA_FAULT_SHIM;
            // The sanitizer runtime need not come first when the library is preloaded.
            environment["ASAN_OPTIONS"] = "verify_asan_link_order=0";
        }
        for (const auto& [name, value] : environment) {
            entries_.push_back(name + "=" + value);
        }
        for (std::string& arg : args_) {
            argv_.push_back(arg.data());
        }
        argv_.push_back(nullptr);
        for (std::string& entry : entries_) {
            envp_.push_back(entry.data());
        }
        envp_.push_back(nullptr);
    }

    // Everything but standard input, output and error, shared by both ways
    // of starting a program. Runs in the child.
    [[noreturn]] void Start() const
    {
        if (run_.Umask >= 0) {
            ::umask(static_cast<mode_t>(run_.Umask));
        }
        if (run_.FileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(run_.FileSizeLimit),
                               static_cast<rlim_t>(run_.FileSizeLimit)};
            ::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (run_.ChildSetup) {
            run_.ChildSetup();
        }
        if (run_.AsOtherUser && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(Nobody) != 0 || ::setuid(Nobody) != 0)) {
            ::_exit(125);
        }
        const int entered = run_.WorkingFolderFd >= 0 ? ::fchdir(run_.WorkingFolderFd)
                                                      : ::chdir(run_.WorkingFolder.c_str());
        if (entered == 0) {
            ::execve(argv_[0], argv_.data(), envp_.data());
        }
        ::_exit(127);
    }

private:
    const ProcessRun& run_;
    std::vector<std::string> args_;
    std::vector<std::string> entries_;
    std::vector<char*> argv_;
    std::vector<char*> envp_;
};

// What the shell stand-in tells the test, one line each: "J<pid>" when the
// job has started, "S" each time it stops and "C" each time it continues.
void Report(int fd, char what, long number = 0)
{
    char line[32];
    std::size_t n = 0;
    line[n++] = what;
    char digits[24];
    std::size_t count = 0;
    for (; number > 0; number /= 10) {
        digits[count++] = static_cast<char>('0' + number % 10);
    }
    while (count > 0) {
        line[n++] = digits[--count];
    }
    line[n++] = '\n';
    if (::write(fd, line, n) != static_cast<ssize_t>(n)) {
        ::_exit(126);
    }
}

// Runs in the child forkpty made, the session's leader, in place of a shell:
// it starts the program as a job in a process group of its own, in the
// terminal's foreground, and reports the job's stops and continues. A
// process group whose parent is outside its session is orphaned, and the
// kernel drops stop signals sent to one, Ctrl+Z's SIGTSTP among them; a job
// under a leader of its own session is stopped by them as under a shell.
// Ends as the job ended, with its exit status or by its signal.
[[noreturn]] void RunAsShell(const Launch& launch, int report)
{
    int go[2];
    if (::pipe(go) != 0) {
        ::_exit(126);
    }
    const pid_t job = ::fork();
    if (job < 0) {
        ::_exit(126);
    }
    if (job == 0) {
        ::close(report);
        ::close(go[1]);
        ::setpgid(0, 0);
        // In the foreground before the program touches the terminal.
        char byte = 0;
        while (::read(go[0], &byte, 1) < 0 && errno == EINTR) {
        }
        ::close(go[0]);
        launch.Start();
    }
    ::close(go[0]);
    ::setpgid(job, job);
    ::tcsetpgrp(STDIN_FILENO, job);
    ::close(go[1]);
    Report(report, 'J', job);
    for (;;) {
        siginfo_t seen{};
        if (::waitid(P_PID, static_cast<id_t>(job), &seen,
                     WEXITED | WSTOPPED | WCONTINUED | WNOWAIT) != 0) {
            if (errno == EINTR) {
                continue;
            }
            ::_exit(126);
        }
        if (seen.si_code == CLD_EXITED || seen.si_code == CLD_KILLED ||
            seen.si_code == CLD_DUMPED) {
            break; // the job stays unreaped until this process ends, so its id stays its own
        }
        siginfo_t change{};
        change.si_pid = 0;
        if (::waitid(P_PID, static_cast<id_t>(job), &change, WSTOPPED | WCONTINUED | WNOHANG) ==
                0 &&
            change.si_pid == job) {
            Report(report, change.si_code == CLD_CONTINUED ? 'C' : 'S');
        }
    }
    siginfo_t end{};
    ::waitid(P_PID, static_cast<id_t>(job), &end, WEXITED | WNOWAIT);
    if (end.si_code == CLD_EXITED) {
        ::_exit(end.si_status);
    }
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(end.si_status, SIG_DFL);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, end.si_status);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(end.si_status);
    ::_exit(128 + end.si_status);
}

// Waits for the child to end, then reaps it. Whatever the child started in
// its process group is killed with it.
void Reap(pid_t child, Deadline& deadline, ProcessResult& result)
{
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0 &&
           errno == EINTR) {
    }
    deadline.Disarm();
    result.TimedOut = deadline.Fired();
    ::kill(-child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.ExitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.Signal = WTERMSIG(status);
    }
}

// When a test hook throws, the program must not outlive the run.
void KillAndReap(pid_t child, Deadline& deadline)
{
    deadline.KillNow();
    deadline.Disarm();
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

class IgnoredSigpipe {
public:
    IgnoredSigpipe()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &saved_);
    }
    IgnoredSigpipe(const IgnoredSigpipe&) = delete;
    IgnoredSigpipe& operator=(const IgnoredSigpipe&) = delete;
    ~IgnoredSigpipe() { ::sigaction(SIGPIPE, &saved_, nullptr); }

private:
    struct sigaction saved_ {};
};

// The test's side of a program on a terminal: it reads everything the
// program writes, and what the shell stand-in reports, while it runs the steps.
class Conversation {
public:
    Conversation(int master, int reports, Deadline& deadline, TerminalResult& result)
        : master_(master), reports_(reports), deadline_(deadline), result_(result)
    {
    }

    void Run(const std::vector<TerminalStep>& script)
    {
        if (!Until("for the program to start", [&] { return job_ > 0; })) {
            return;
        }
        for (const TerminalStep& step : script) {
            if (!Do(step)) {
                return;
            }
        }
    }

    // Reads until the program's side of the terminal is closed; past the
    // deadline (the program killed) for two seconds at most.
    void Finish()
    {
        std::optional<Clock::time_point> last;
        while (!closed_) {
            if (deadline_.Passed()) {
                if (!last) {
                    last = Clock::now() + std::chrono::seconds(2);
                } else if (Clock::now() >= *last) {
                    return;
                }
            }
            Pump(std::chrono::milliseconds(100));
        }
    }

private:
    bool Do(const TerminalStep& step)
    {
        using Kind = TerminalStep::Kind;
        switch (step.What) {
        case Kind::WaitFor:
            return Until("for \"" + step.Text + "\"", [&] {
                const std::size_t at = result_.Out.find(step.Text, searchFrom_);
                if (at == std::string::npos) {
                    return false;
                }
                searchFrom_ = at + step.Text.size();
                return true;
            });
        case Kind::Type:
            return Write(step.Text);
        case Kind::ReadMode: {
            termios mode{};
            if (::tcgetattr(master_, &mode) != 0) {
                return Fail("cannot read the terminal's mode");
            }
            result_.Modes.push_back(mode);
            return true;
        }
        case Kind::WaitForEcho:
            return Until(step.Echo ? "for echo on" : "for echo off", [&] {
                termios mode{};
                return ::tcgetattr(master_, &mode) == 0 && EchoOn(mode) == step.Echo;
            });
        case Kind::Signal:
            if (::kill(-job_, step.Number) != 0) {
                return Fail("cannot send signal " + std::to_string(step.Number));
            }
            return true;
        case Kind::WaitStopped:
            if (!Until("for the program to stop", [&] { return stops_ > stopsWaitedFor_; })) {
                return false;
            }
            ++stopsWaitedFor_;
            return true;
        }
        return Fail("unknown step");
    }

    template <typename Done> bool Until(const std::string& what, Done done)
    {
        while (!done()) {
            if (deadline_.Passed()) {
                return Fail("the deadline passed while waiting " + what);
            }
            if (closed_) {
                return Fail("the program ended while waiting " + what);
            }
            Pump(std::chrono::milliseconds(20));
        }
        return true;
    }

    bool Write(const std::string& keys)
    {
        std::size_t done = 0;
        while (done < keys.size()) {
            const ssize_t n = ::write(master_, keys.data() + done, keys.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return Fail("cannot write to the terminal");
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Fail(const std::string& why)
    {
        result_.ScriptError = why;
        return false;
    }

    // Takes what the terminal and the reports hold, waiting up to `wait`
    // for something.
    void Pump(std::chrono::milliseconds wait)
    {
        pollfd watch[2] = {{master_, POLLIN, 0}, {reports_, POLLIN, 0}};
        if (::poll(watch, reportsOpen_ ? 2 : 1, static_cast<int>(wait.count())) <= 0) {
            return;
        }
        char piece[4096];
        if (watch[0].revents != 0) {
            const ssize_t n = ::read(master_, piece, sizeof piece);
            if (n > 0) {
                result_.Out.append(piece, static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                closed_ = true; // EIO: every descriptor of the program's side is closed
            }
        }
        if (reportsOpen_ && watch[1].revents != 0) {
            const ssize_t n = ::read(reports_, piece, sizeof piece);
            if (n > 0) {
                Take(std::string_view(piece, static_cast<std::size_t>(n)));
            } else if (n == 0 || errno != EINTR) {
                reportsOpen_ = false;
            }
        }
    }

    void Take(std::string_view bytes)
    {
        reportLine_.append(bytes);
        for (std::size_t end; (end = reportLine_.find('\n')) != std::string::npos;
             reportLine_.erase(0, end + 1)) {
            switch (reportLine_[0]) {
            case 'J':
                job_ = static_cast<pid_t>(std::stol(reportLine_.substr(1, end - 1)));
                deadline_.AlsoKill(job_); // unreaped until the stand-in ends
                break;
            case 'S':
                ++stops_;
                break;
            default:
                break;
            }
        }
    }

    const int master_;
    const int reports_;
    Deadline& deadline_;
    TerminalResult& result_;
    std::size_t searchFrom_ = 0;
    bool closed_ = false;
    bool reportsOpen_ = true;
    std::string reportLine_;
    pid_t job_ = 0;
    int stops_ = 0;
    int stopsWaitedFor_ = 0;
};

} // namespace

ProcessResult RunProcess(const ProcessRun& run)
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
    int feed[2] = {-1, -1};
    if (run.FeedStdin && ::pipe2(feed, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const Launch launch(run);
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        ::setsid();
        const int inFd = feed[0] >= 0 ? feed[0] : ::open(in.c_str(), O_RDONLY);
        const int outFd =
            run.StdoutToDevFull ? ::open("/dev/full", O_WRONLY) : ::open(out.c_str(), O_WRONLY);
        const int errFd = run.StderrToStdout ? outFd : ::open(err.c_str(), O_WRONLY);
        if (inFd < 0 || outFd < 0 || errFd < 0 || ::dup2(inFd, 0) < 0 || ::dup2(outFd, 1) < 0 ||
            ::dup2(errFd, 2) < 0) {
            ::_exit(126);
        }
        launch.Start();
    }
    Deadline deadline(child, run.Deadline);
    try {
        if (run.FeedStdin) {
            ::close(feed[0]);
            const IgnoredSigpipe quiet;
            run.FeedStdin(child, feed[1]);
        }
        if (run.WhileRunning) {
            run.WhileRunning(child);
        }
    } catch (...) {
        KillAndReap(child, deadline);
        throw;
    }
    ProcessResult result;
    Reap(child, deadline, result);
    result.Out = ReadBytes(out);
    result.Err = run.StderrToStdout ? "" : ReadBytes(err);
    return result;
}

TerminalStep WaitFor(std::string text)
{
    return {TerminalStep::Kind::WaitFor, std::move(text)};
}

TerminalStep Type(std::string keys)
{
    return {TerminalStep::Kind::Type, std::move(keys)};
}

TerminalStep ReadMode()
{
    return {TerminalStep::Kind::ReadMode, {}};
}

TerminalStep WaitForEcho(bool on)
{
    return {TerminalStep::Kind::WaitForEcho, {}, 0, on};
}

TerminalStep SendSignal(int number)
{
    return {TerminalStep::Kind::Signal, {}, number};
}

TerminalStep WaitStopped()
{
    return {TerminalStep::Kind::WaitStopped, {}};
}

TerminalResult RunOnTerminal(const ProcessRun& run, const std::vector<TerminalStep>& script)
{
    int reports[2];
    if (::pipe2(reports, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const Launch launch(run);
    int master = -1;
    const pid_t shell = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (shell < 0) {
        ::close(reports[0]);
        ::close(reports[1]);
        throw std::runtime_error("forkpty failed");
    }
    if (shell == 0) {
        ::close(reports[0]);
        RunAsShell(launch, reports[1]);
    }
    ::close(reports[1]);
    Deadline deadline(shell, run.Deadline);
    TerminalResult result;
    try {
        Conversation conversation(master, reports[0], deadline, result);
        conversation.Run(script);
        conversation.Finish();
    } catch (...) {
        KillAndReap(shell, deadline);
        ::close(master);
        ::close(reports[0]);
        throw;
    }
    ::close(master);
    ::close(reports[0]);
    Reap(shell, deadline, result);
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

} // namespace ciphra::test
