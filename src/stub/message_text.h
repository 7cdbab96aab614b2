#pragma once
// A text the stub builds for a message ("The file name NAME is already
// taken..."): bytes in a fixed buffer, so that the routine allocates nothing.
// A text longer than the buffer is cut where a UTF-8 character begins.

#include <cstddef>

namespace ciphra::stub {

class MessageText {
public:
    // Room for a folder path of 4096 bytes and the words around it.
    static constexpr std::size_t Capacity = 8192;

    MessageText() = default;
    explicit MessageText(const char* text) { *this << text; }

    // Appends the first n bytes of `text`.
    MessageText& Append(const char* text, std::size_t n)
    {
        std::size_t i = 0;
        for (; i < n && length_ + 1 < Capacity; ++i) {
            bytes_[length_++] = text[i];
        }
        if (i < n && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
            // Full inside a character: its first bytes go too.
            while (length_ > 0 && (static_cast<unsigned char>(bytes_[--length_]) & 0xC0) == 0x80) {
            }
        }
        bytes_[length_] = '\0';
        return *this;
    }

    MessageText& operator<<(const char* text)
    {
        std::size_t n = 0;
        while (text[n] != '\0') {
            ++n;
        }
        return Append(text, n);
    }

    MessageText& operator<<(unsigned number)
    {
        char digits[12];
        char* first = digits + sizeof digits - 1;
        *first = '\0';
        do {
            *--first = static_cast<char>('0' + number % 10);
            number /= 10;
        } while (number != 0);
        return *this << first;
    }

    const char* Get() const noexcept { return bytes_; }
    std::size_t Length() const noexcept { return length_; }

private:
    char bytes_[Capacity] = {};
    std::size_t length_ = 0;
};

} // namespace ciphra::stub
