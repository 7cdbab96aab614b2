#pragma once
// Options that carry a value ("--passes 3", "--report=out.hsh"), taken out of
// the arguments before the common parser sees the rest.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ciphra::cli {

// Removes every "NAME VALUE" and "NAME=VALUE" before "--" from args; the last
// one given wins and lands in `value`. Returns the problem text when NAME is
// the last argument.
std::optional<std::string> TakeValueOption(std::vector<std::string>& args, std::string_view name,
                                           std::optional<std::string>& value);

// The same for an option that may be given many times: every value, in order.
std::optional<std::string> TakeValueOptions(std::vector<std::string>& args, std::string_view name,
                                            std::vector<std::string>& values);

} // namespace ciphra::cli
