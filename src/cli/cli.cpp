#include "cli/cli.h"

#include <ostream>
#include <string_view>

namespace ciphra::cli {

namespace {

// The one synopsis of each command: the top help lists it, and the
// command's usage message and help begin with it.
struct Command {
    std::string_view Name;
    std::string_view Forms[3]; // the later ones may be empty
    int (*Run)(const Arguments&, CliIo&);
};

constexpr Command Commands[] = {
    {"encrypt",
     {"encrypt [--in-place] [--force] [--raw-key] [--password-file F] [-r] [-o OUT] FILE...",
      "encrypt --format age [--recipient KEY]... [--recipients-file F]... [--armor] [--in-place] "
      "[--force] [--password-file F] [-r] [-o OUT] FILE...",
      "encrypt [OPTIONS] - [-o OUT]    (standard input to standard output or OUT)"},
     &RunEncryptCommand},
    {"decrypt",
     {"decrypt [--in-place] [--force] [--raw-key] [--password-file F] [-r] [-o OUT] FILE...",
      "decrypt --identity F [--identity F]... [--in-place] [--force] [--password-file F] [-r] "
      "[-o OUT] FILE...",
      "decrypt [OPTIONS] - [-o OUT]    (standard input to standard output or OUT)"},
     &RunDecryptCommand},
    {"hash",
     {"hash [--algorithm sha1|sha256] [--base64] [--report OUT] FILE",
      "hash [--algorithm sha1|sha256] [--base64] -r FILE|FOLDER...", "hash --check LIST..."},
     &RunHashCommand},
    {"shred", {"shred [--passes N] [--yes] [-r] FILE|FOLDER..."}, &RunShredCommand},
    {"text", {"text encrypt|decrypt [--password-file F]"}, &RunTextCommand},
    {"sfx",
     {"sfx [--target linux|windows] [--password-file F] [--stub PATH] FILE"},
     &RunSfxCommand},
    {"keygen", {"keygen [-o FILE]"}, &RunKeygenCommand},
};

constexpr const char* TopUsage = "Usage: ciphra2k-cli COMMAND [OPTIONS] [ARGS]";

void PrintTopHelp(std::ostream& out)
{
    out << TopUsage << "\n\n"
        << "Encrypts and decrypts files and text with Twofish, hashes files with SHA-1\n"
        << "or SHA-256 and checks them against checksum lists, and shreds files.\n"
        << "Encrypts and decrypts files in the age format too, and makes its keys.\n\n"
        << "Commands:\n";
    for (const Command& command : Commands) {
        for (const std::string_view form : command.Forms) {
            if (!form.empty()) {
                out << "  ciphra2k-cli " << form << '\n';
            }
        }
    }
    out << "\nRun \"ciphra2k-cli COMMAND --help\" for what a command does and its options,\n"
        << "\"ciphra2k-cli --version\" for the version.\n"
        << "Passwords are read from --password-file or asked on the terminal, never\n"
        << "taken from the command line or the environment.\n";
}

} // namespace

int ReportFailure(CliIo& io, const std::string& message)
{
    std::string text = message;
    for (char& c : text) {
        if (c == '\r') { // the key-length message separates its lines with CR
            c = '\n';
        }
    }
    io.Err << "ciphra2k-cli: " << text << '\n';
    return ExitFailed;
}

std::string UsageOf(std::string_view command)
{
    std::string usage;
    for (const Command& each : Commands) {
        if (each.Name != command) {
            continue;
        }
        for (const std::string_view form : each.Forms) {
            if (form.empty()) {
                continue;
            }
            usage.append(usage.empty() ? "Usage: " : "\n       ")
                .append("ciphra2k-cli ")
                .append(form);
        }
    }
    return usage;
}

int ReportUsage(CliIo& io, const std::string& problem, const std::string& usage)
{
    io.Err << "ciphra2k-cli: " << problem << '\n' << usage << '\n';
    return ExitUsage;
}

int RunCli(const Arguments& args, CliIo& io)
{
    if (args.empty()) {
        return ReportUsage(io, "no command given", TopUsage);
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintTopHelp(io.Out);
        return ExitOk;
    }
    if (args[0] == "--version") {
        io.Out << "ciphra2k-cli " << CIPHRA_VERSION << '\n';
        return ExitOk;
    }
    for (const Command& command : Commands) {
        if (args[0] == command.Name) {
            return command.Run(Arguments(args.begin() + 1, args.end()), io);
        }
    }
    return ReportUsage(io, "unknown command " + args[0], TopUsage);
}

} // namespace ciphra::cli
