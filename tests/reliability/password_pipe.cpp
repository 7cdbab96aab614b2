#include "reliability/password_pipe.h"

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace ciphra::test {

PasswordPipe::PasswordPipe(std::string path) : path_(std::move(path))
{
    if (::mkfifo(path_.c_str(), 0666) != 0) {
        throw std::runtime_error("mkfifo failed");
    }
    ::chmod(path_.c_str(), 0666);
}

void PasswordPipe::Serve(const std::string& password, const std::function<void()>& between) const
{
    // Opening for writing succeeds once the program has opened the pipe.
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 2000; ++tries) {
        fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) {
            ::usleep(10000);
        }
    }
    if (fd < 0 || ::fcntl(fd, F_SETFL, 0) != 0) {
        throw std::runtime_error("the program never opened the password pipe");
    }
    between();
    const std::string line = password + "\n";
    const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    ::close(fd);
    if (!written) {
        throw std::runtime_error("cannot write the password pipe");
    }
}

} // namespace ciphra::test
