#pragma once
// The program's general error: every failure that reaches the user carries
// its message text in one of these (key length, Base64 format, I/O errors).

#include <stdexcept>
#include <string>

namespace ciphra {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    explicit Exception(const char* message) : std::runtime_error(message) {}
};

} // namespace ciphra
