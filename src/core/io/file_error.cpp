#include "core/io/file_error.h"

#include <cerrno>

namespace ciphra {

FileError::FileError(int errnum) : Exception(IoErrorText(errnum)), errnum_(errnum) {}

FileError::FileError(int errnum, const std::string& text) : Exception(text), errnum_(errnum) {}

std::string IoErrorText(int errnum)
{
    switch (errnum) {
    case ENOENT:
        return "File not found";
    case EACCES:
    case EPERM:
        return "File access denied";
    case ENOSPC:
        return "Disk full";
    case NotRegularFile:
        return NotRegularFileMessage;
    default:
        return "I/O error " + std::to_string(errnum);
    }
}

} // namespace ciphra
