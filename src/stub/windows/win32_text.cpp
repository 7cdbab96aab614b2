#include "stub/windows/win32_text.h"

#include <windows.h>

#include "stub/message_text.h"

namespace ciphra::stub {

std::size_t ToUtf8(const wchar_t* wide, std::size_t length, char* out, std::size_t capacity)
{
    if (capacity == 0) {
        return 0;
    }
    // Converted a character at a time, so that a text too long for `out`
    // is cut between characters rather than refused.
    std::size_t written = 0;
    for (std::size_t i = 0; i < length;) {
        const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < length;
        const int units = pair ? 2 : 1;
        char bytes[4];
        const int n =
            WideCharToMultiByte(CP_UTF8, 0, wide + i, units, bytes, sizeof bytes, nullptr, nullptr);
        if (n <= 0 || written + static_cast<std::size_t>(n) + 1 > capacity) {
            break;
        }
        for (int j = 0; j < n; ++j) {
            out[written++] = bytes[j];
        }
        i += static_cast<std::size_t>(units);
    }
    out[written] = '\0';
    return written;
}

bool ToWide(const char* utf8, wchar_t* out, std::size_t capacity, bool breakLines)
{
    std::size_t written = 0;
    for (const char* line = utf8;;) {
        const char* end = line;
        while (*end != '\0' && !(breakLines && *end == '\r')) {
            ++end;
        }
        const int bytes = static_cast<int>(end - line);
        const int room = static_cast<int>(capacity - written);
        const int n = bytes == 0 ? 0
                                 : MultiByteToWideChar(CP_UTF8, 0, line, bytes, out + written,
                                                       room > 0 ? room : 0);
        if (bytes > 0 && n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
        if (*end == '\0') {
            if (written < capacity) {
                out[written] = L'\0';
                return true;
            }
            break;
        }
        if (written + 2 >= capacity) {
            break;
        }
        out[written++] = L'\r';
        out[written++] = L'\n';
        line = end + 1;
    }
    if (capacity > 0) {
        out[0] = L'\0';
    }
    return false;
}

std::size_t WideLength(const wchar_t* text)
{
    std::size_t n = 0;
    while (text[n] != L'\0') {
        ++n;
    }
    return n;
}

bool AppendWide(wchar_t* out, std::size_t capacity, const wchar_t* tail)
{
    const std::size_t start = WideLength(out);
    const std::size_t length = WideLength(tail);
    if (start + length + 1 > capacity) {
        return false;
    }
    for (std::size_t i = 0; i <= length; ++i) {
        out[start + i] = tail[i];
    }
    return true;
}

const char* ErrorText(unsigned long code, char* buffer, std::size_t capacity)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "File not found";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return "File access denied";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return "Disk full";
    default:
        break;
    }
    MessageText text;
    text << "I/O error " << static_cast<unsigned>(code);
    std::size_t i = 0;
    for (; i + 1 < capacity && text.Get()[i] != '\0'; ++i) {
        buffer[i] = text.Get()[i];
    }
    buffer[i] = '\0';
    return buffer;
}

} // namespace ciphra::stub
