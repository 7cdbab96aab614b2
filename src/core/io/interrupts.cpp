#include "core/io/interrupts.h"

#include <climits>
#include <csignal>
#include <cstring>

#include "core/io/posix_file.h"

namespace ciphra {

namespace {

constexpr int CaughtSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Only async-signal-safe work happens in the handler: the path is a plain
// buffer, and a flag says whether it is current.
char temporaryPath[PATH_MAX];
volatile std::sig_atomic_t haveTemporary = 0;
termios terminalSettings;
volatile std::sig_atomic_t terminalFd = -1;

extern "C" void OnInterrupt(int signal)
{
    if (haveTemporary != 0) {
        RemoveFileQuietly(temporaryPath);
    }
    if (terminalFd >= 0) {
        ::tcsetattr(terminalFd, TCSAFLUSH, &terminalSettings);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallHandlers() noexcept
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (const int signal : CaughtSignals) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        for (const int blocked : CaughtSignals) {
            sigaddset(&action.sa_mask, blocked);
        }
        ::sigaction(signal, &action, nullptr);
    }
}

} // namespace

InterruptsHeld::InterruptsHeld() noexcept
{
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : CaughtSignals) {
        sigaddset(&held, signal);
    }
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
}

InterruptsHeld::~InterruptsHeld()
{
    ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void RememberTemporary(const std::string& path)
{
    InstallHandlers();
    haveTemporary = 0;
    if (path.size() < sizeof temporaryPath) {
        std::memcpy(temporaryPath, path.c_str(), path.size() + 1);
        haveTemporary = 1;
    }
}

void ForgetTemporary() noexcept
{
    haveTemporary = 0;
}

void RememberTerminal(int fd, const termios& settings) noexcept
{
    InstallHandlers();
    terminalFd = -1;
    terminalSettings = settings;
    terminalFd = fd;
}

void ForgetTerminal() noexcept
{
    terminalFd = -1;
}

} // namespace ciphra
