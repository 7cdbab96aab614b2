#include "core/crypto/bitops.h"

#include <cstdint>
#include <cstring>

namespace ciphra {

void XorBuffers(const void* a, const void* b, void* out, std::size_t n) noexcept
{
    const auto* pa = static_cast<const std::uint8_t*>(a);
    const auto* pb = static_cast<const std::uint8_t*>(b);
    auto* po = static_cast<std::uint8_t*>(out);
    std::size_t i = 0;
    // Eight bytes at a time; each word is read in full before it is written,
    // so `out` may equal `a` or `b`.
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x;
        std::uint64_t y;
        std::memcpy(&x, pa + i, 8);
        std::memcpy(&y, pb + i, 8);
        x ^= y;
        std::memcpy(po + i, &x, 8);
    }
    for (; i < n; ++i) {
        po[i] = static_cast<std::uint8_t>(pa[i] ^ pb[i]);
    }
}

} // namespace ciphra
