#pragma once
// What a signal that ends the process must undo first, and what a stop at a
// password prompt must undo while the process waits.
//
// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGXFSZ (a file grew past the size
// limit) end the process: before it dies, each working file being written is
// removed, so nothing half written is left, and a terminal whose echo was
// turned off gets its settings back. SIGTSTP (Ctrl+Z) while a terminal is
// remembered gives the terminal its settings back for as long as the process
// is stopped, and turns the echo off again when it continues.
//
// The handlers may run on any thread of the process; InterruptsHeld holds the
// signals back on its own thread only, so it guards the steps in which a
// file and its record must appear or go together.

#include <csignal>
#include <termios.h>

namespace ciphra {

// Holds the ending signals back while it lives.
class InterruptsHeld {
public:
    InterruptsHeld() noexcept;
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
    ~InterruptsHeld();

private:
    sigset_t previous_;
};

// How many working files can be remembered at once: a batch of outputs
// waiting for one flush (cipher_batch.h) holds up to 128.
inline constexpr int WorkingFileSlots = 160;

// Remembers the working file `name` (a name of at most 255 bytes) in the
// open folder `folderFd` for removal by a signal. Returns its slot, or -1
// when every slot is taken (the file is then not removed by a signal).
int RememberWorkingFile(int folderFd, const char* name) noexcept;
void ForgetWorkingFile(int slot) noexcept;

// Remembers the terminal `fd` whose settings were `saved` and are now
// `quiet` (echo off), until ForgetTerminal. One terminal at a time.
void RememberTerminal(int fd, const termios& saved, const termios& quiet) noexcept;
void ForgetTerminal() noexcept;

} // namespace ciphra
