#pragma once
// A password file read through a named pipe: the program blocks on opening
// it, after its checks, until the test has done what it wants in between.

#include <functional>
#include <string>

namespace ciphra::test {

class PasswordPipe {
public:
    explicit PasswordPipe(std::string path);
    const std::string& Path() const { return path_; }
    // Waits for the program to open the pipe, runs `between`, then hands
    // over `password` and closes the pipe.
    void Serve(const std::string& password, const std::function<void()>& between) const;

private:
    std::string path_;
};

} // namespace ciphra::test
