#include "crypto/wipe.h"

#include <string.h>

namespace ciphra {

void SecureWipe(void* data, std::size_t size) noexcept
{
    if (data == nullptr || size == 0) {
        return;
    }
#if defined(__GLIBC__) || defined(__OpenBSD__) || defined(__FreeBSD__)
    explicit_bzero(data, size);
#else
    volatile auto* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        p[i] = 0;
    }
    __asm__ __volatile__("" : : "r"(data) : "memory");
#endif
}

__attribute__((noinline)) void SecureWipeStack(std::size_t depth) noexcept
{
    SecureWipe(__builtin_alloca(depth), depth);
}

} // namespace ciphra
