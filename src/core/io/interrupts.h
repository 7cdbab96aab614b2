#pragma once
// What an interrupting signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT) must undo
// before the tool dies: the temporary output being written is removed, and a
// terminal whose echo was turned off gets its settings back. One of each at a
// time. The handler may run on any of the tool's threads; InterruptsHeld only
// holds the signals back on its own thread, so it guards steps taken while
// no other thread runs.

#include <csignal>
#include <string>
#include <termios.h>

namespace ciphra {

// Holds the interrupting signals back while it lives, so that none arrives
// between creating a file and remembering it, or removing it and forgetting it.
class InterruptsHeld {
public:
    InterruptsHeld() noexcept;
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
    ~InterruptsHeld();

private:
    sigset_t previous_;
};

void RememberTemporary(const std::string& path);
void ForgetTemporary() noexcept;

void RememberTerminal(int fd, const termios& settings) noexcept;
void ForgetTerminal() noexcept;

} // namespace ciphra
