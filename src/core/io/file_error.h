#pragma once
// The error of the file layer. Its text is the one the general error report
// shows: "File not found" (ENOENT), "File access denied" (EACCES, EPERM),
// "Read beyond end of file" (a short read where bytes were required),
// "Disk full" (ENOSPC), otherwise "I/O error %d" with the errno value.

#include <string>

#include "core/error.h"

namespace ciphra {

class FileError : public Exception {
public:
    explicit FileError(int errnum);
    FileError(int errnum, const std::string& text);
    int ErrorNumber() const noexcept { return errnum_; }

private:
    int errnum_;
};

// The general error report's text for an errno value.
std::string IoErrorText(int errnum);

inline constexpr const char* ReadBeyondEndMessage = "Read beyond end of file";

// The error number of an entry that is neither a folder nor a regular file
// (a FIFO, a device, a socket): such entries are never opened for data.
// It lies outside errno's values; its text is NotRegularFileMessage.
inline constexpr int NotRegularFile = -1;
inline constexpr const char* NotRegularFileMessage = "not a regular file";

} // namespace ciphra
