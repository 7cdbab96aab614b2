#include "core/io/interrupts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace ciphra {

namespace {

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ};

// Only async-signal-safe work happens in the handlers: names live in plain
// buffers, and a flag says whether a slot is current.
struct WorkingFileSlot {
    volatile std::sig_atomic_t Active;
    int Folder;
    char Name[256];
};

WorkingFileSlot workingFiles[WorkingFileSlots];
termios terminalSaved;
termios terminalQuiet;
volatile std::sig_atomic_t terminalFd = -1;
struct sigaction stopActionBefore;

void SetHandler(int signal, void (*handler)(int)) noexcept
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int blocked : EndingSignals) {
        sigaddset(&action.sa_mask, blocked);
    }
    ::sigaction(signal, &action, nullptr);
}

extern "C" void OnEndingSignal(int signal)
{
    for (const WorkingFileSlot& slot : workingFiles) {
        if (slot.Active != 0) {
            ::unlinkat(slot.Folder, slot.Name, 0);
        }
    }
    if (terminalFd >= 0) {
        ::tcsetattr(terminalFd, TCSAFLUSH, &terminalSaved);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal); // delivered once the handler returns: the signal is blocked in it
}

// Stops the process the way Ctrl+Z would, with the terminal as it was before
// the prompt, and turns the echo off again once the process continues.
extern "C" void OnStop(int)
{
    const int savedErrno = errno;
    const int fd = terminalFd;
    if (fd >= 0) {
        ::tcsetattr(fd, TCSANOW, &terminalSaved);
    }
    std::signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigset_t before;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    std::raise(SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &stop, &before); // the process stops here
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    SetHandler(SIGTSTP, OnStop);
    if (fd >= 0 && terminalFd == fd) {
        ::tcsetattr(fd, TCSANOW, &terminalQuiet);
    }
    errno = savedErrno;
}

void InstallEndingHandlers() noexcept
{
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (const int signal : EndingSignals) {
        // A signal the process was started to ignore (nohup, a file size
        // limit that makes writes fail instead) stays ignored.
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN) {
            SetHandler(signal, OnEndingSignal);
        }
    }
}

} // namespace

InterruptsHeld::InterruptsHeld() noexcept
{
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : EndingSignals) {
        sigaddset(&held, signal);
    }
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
}

InterruptsHeld::~InterruptsHeld()
{
    ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

int RememberWorkingFile(int folderFd, const char* name) noexcept
{
    InstallEndingHandlers();
    const std::size_t length = std::strlen(name);
    for (int i = 0; i < WorkingFileSlots; ++i) {
        WorkingFileSlot& slot = workingFiles[i];
        if (slot.Active == 0 && length < sizeof slot.Name) {
            slot.Folder = folderFd;
            std::memcpy(slot.Name, name, length + 1);
            slot.Active = 1;
            return i;
        }
    }
    return -1;
}

void ForgetWorkingFile(int slot) noexcept
{
    if (slot >= 0 && slot < WorkingFileSlots) {
        workingFiles[slot].Active = 0;
    }
}

void RememberTerminal(int fd, const termios& saved, const termios& quiet) noexcept
{
    InstallEndingHandlers();
    terminalFd = -1;
    terminalSaved = saved;
    terminalQuiet = quiet;
    struct sigaction action {};
    action.sa_handler = OnStop;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTSTP, &action, &stopActionBefore);
    if (stopActionBefore.sa_handler == SIG_IGN) {
        ::sigaction(SIGTSTP, &stopActionBefore, nullptr); // no stopping, nothing to undo
    }
    terminalFd = fd;
}

void ForgetTerminal() noexcept
{
    if (terminalFd < 0) {
        return;
    }
    terminalFd = -1;
    ::sigaction(SIGTSTP, &stopActionBefore, nullptr);
}

} // namespace ciphra
