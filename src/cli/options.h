#pragma once
// The options of one command: known flags, "--password-file F" (or
// "--password-file=F"), "--help", and operands; "--" ends the options.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ciphra::cli {

struct CommandLine {
    std::vector<std::string> Flags;
    std::optional<std::string> PasswordFile;
    std::vector<std::string> Operands;
    bool Help = false;

    bool Has(std::string_view flag) const;
};

// Returns the problem text for an unknown option or a missing value.
std::optional<std::string> ParseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<std::string_view>& knownFlags,
                                            bool takesPasswordFile, CommandLine& out);

} // namespace ciphra::cli
