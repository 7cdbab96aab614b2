#pragma once
// What an interrupting signal (SIGINT, SIGTERM, SIGHUP, SIGQUIT) must undo
// before the tool dies: the temporary output being written is removed, and a
// terminal whose echo was turned off gets its settings back. One of each at a
// time; the tool is single-threaded.

#include <string>
#include <termios.h>

namespace ciphra::cli {

void RememberTemporary(const std::string& path);
void ForgetTemporary() noexcept;

void RememberTerminal(int fd, const termios& settings) noexcept;
void ForgetTerminal() noexcept;

} // namespace ciphra::cli
