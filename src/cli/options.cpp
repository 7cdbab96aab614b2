#include "cli/options.h"

#include <algorithm>

namespace ciphra::cli {

namespace {

constexpr std::string_view PasswordFileOption = "--password-file";

} // namespace

bool CommandLine::Has(std::string_view flag) const
{
    return std::find(Flags.begin(), Flags.end(), flag) != Flags.end();
}

std::optional<std::string> ParseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<std::string_view>& knownFlags,
                                            bool takesPasswordFile, CommandLine& out)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out.Operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            out.Help = true;
        } else if (takesPasswordFile && arg == PasswordFileOption) {
            if (i + 1 == args.size()) {
                return "option --password-file needs a file name";
            }
            out.PasswordFile = args[++i];
        } else if (takesPasswordFile && arg.starts_with(std::string(PasswordFileOption) + "=")) {
            out.PasswordFile = arg.substr(PasswordFileOption.size() + 1);
        } else if (std::find(knownFlags.begin(), knownFlags.end(), arg) != knownFlags.end()) {
            out.Flags.push_back(arg);
        } else {
            return "unknown option " + arg;
        }
    }
    return std::nullopt;
}

} // namespace ciphra::cli
