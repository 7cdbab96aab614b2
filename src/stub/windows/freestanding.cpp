// The few C library functions that the compiler calls on its own (block
// copies and clears, a string's length) for a program built without the C
// run time. Built without link-time optimisation and with loops left as
// loops (CMakeLists.txt), so that none of them turns into a call to itself.

#include <cstddef>

extern "C" {

void* memset(void* destination, int value, std::size_t n)
{
    auto* d = static_cast<unsigned char*>(destination);
    for (std::size_t i = 0; i < n; ++i) {
        d[i] = static_cast<unsigned char>(value);
    }
    return destination;
}

void* memcpy(void* destination, const void* source, std::size_t n)
{
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    for (std::size_t i = 0; i < n; ++i) {
        d[i] = s[i];
    }
    return destination;
}

void* memmove(void* destination, const void* source, std::size_t n)
{
    auto* d = static_cast<unsigned char*>(destination);
    const auto* s = static_cast<const unsigned char*>(source);
    if (d < s) {
        for (std::size_t i = 0; i < n; ++i) {
            d[i] = s[i];
        }
    } else {
        for (std::size_t i = n; i > 0; --i) {
            d[i - 1] = s[i - 1];
        }
    }
    return destination;
}

int memcmp(const void* left, const void* right, std::size_t n)
{
    const auto* a = static_cast<const unsigned char*>(left);
    const auto* b = static_cast<const unsigned char*>(right);
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            return a[i] < b[i] ? -1 : 1;
        }
    }
    return 0;
}

std::size_t strlen(const char* text)
{
    std::size_t n = 0;
    while (text[n] != '\0') {
        ++n;
    }
    return n;
}

} // extern "C"
