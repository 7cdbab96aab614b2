#include <iostream>

#include "cli/cli.h"
#include "cli/password.h"

int main(int argc, char** argv)
{
    ciphra::cli::TerminalPrompt prompt;
    ciphra::cli::CliIo io{std::cin, std::cout, std::cerr, prompt};
    const int code = ciphra::cli::RunCli(ciphra::cli::Arguments(argv + 1, argv + argc), io);
    std::cout.flush();
    return code;
}
