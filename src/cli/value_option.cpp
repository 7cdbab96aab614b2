#include "cli/value_option.h"

namespace ciphra::cli {

std::optional<std::string> TakeValueOption(std::vector<std::string>& args, std::string_view name,
                                           std::optional<std::string>& value)
{
    std::vector<std::string> values;
    auto problem = TakeValueOptions(args, name, values);
    if (!problem && !values.empty()) {
        value = values.back();
    }
    return problem;
}

std::optional<std::string> TakeValueOptions(std::vector<std::string>& args, std::string_view name,
                                            std::vector<std::string>& values)
{
    const std::string withEquals = std::string(name) + "=";
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
            break;
        }
        if (args[i] == name) {
            if (i + 1 == args.size()) {
                return "option " + std::string(name) + " needs a value";
            }
            values.push_back(args[++i]);
        } else if (args[i].starts_with(withEquals)) {
            values.push_back(args[i].substr(withEquals.size()));
        } else {
            rest.push_back(args[i]);
        }
    }
    args = std::move(rest);
    return std::nullopt;
}

} // namespace ciphra::cli
