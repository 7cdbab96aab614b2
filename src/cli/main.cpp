#include <csignal>
#include <iostream>
#include <sys/prctl.h>

#include "cli/cli.h"
#include "cli/password.h"

int main(int argc, char** argv)
{
    // The tool holds a password for most of its run: no core dump may carry
    // it, and no process of the same user may attach to read it.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    // A reader of standard output that goes away early is a failure to
    // report (EPIPE), not a reason to die without a word.
    ::signal(SIGPIPE, SIG_IGN);
    ciphra::cli::TerminalPrompt prompt;
    ciphra::cli::CliIo io{std::cin, std::cout, std::cerr, prompt};
    const int code = ciphra::cli::RunCli(ciphra::cli::Arguments(argv + 1, argv + argc), io);
    // What a command printed (a digest, the names written) is part of its
    // result: when it cannot be delivered, the run did not succeed.
    if (!std::cout.flush() && code == ciphra::cli::ExitOk) {
        return ciphra::cli::ReportFailure(io, "cannot write to standard output");
    }
    return code;
}
