#pragma once
// ciphra2k-cli: the command-line tool on the same core as the windows.
// Each command is one function that takes its arguments (without the command
// name) and the tool's streams and returns the exit code.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace ciphra::cli {

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1; // the operation failed; the message is on Err
inline constexpr int ExitUsage = 2;  // the command line was wrong

class PasswordPrompt;

struct CliIo {
    std::istream& In;
    std::ostream& Out;
    std::ostream& Err;
    PasswordPrompt& Prompt; // asked when no --password-file is given
    // Where "-" reads and writes its data: raw descriptors, so that any
    // length streams through in constant memory. Nothing else goes to
    // DataOut while data does.
    int DataIn = 0;
    int DataOut = 1;
};

using Arguments = std::vector<std::string>;

// Runs "ciphra2k-cli ARGS...": picks the command by args[0].
int RunCli(const Arguments& args, CliIo& io);

int RunEncryptCommand(const Arguments& args, CliIo& io);
int RunDecryptCommand(const Arguments& args, CliIo& io);
int RunHashCommand(const Arguments& args, CliIo& io);
// "hash --check LIST...": checks the files each list names.
int RunHashCheck(const Arguments& lists, CliIo& io);
int RunShredCommand(const Arguments& args, CliIo& io);
int RunTextCommand(const Arguments& args, CliIo& io);
int RunSfxCommand(const Arguments& args, CliIo& io);
int RunKeygenCommand(const Arguments& args, CliIo& io);

// "Usage: ciphra2k-cli <synopsis>" of a command, every form on a line of its own.
std::string UsageOf(std::string_view command);

// "ciphra2k-cli: <message>" on Err; returns ExitFailed.
int ReportFailure(CliIo& io, const std::string& message);
// The usage line and a pointer to --help on Err; returns ExitUsage.
int ReportUsage(CliIo& io, const std::string& problem, const std::string& usage);

} // namespace ciphra::cli
