#pragma once
// Bit helpers shared by Twofish and SHA-1.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace ciphra {

// 32-bit rotations; n is taken modulo 32.
constexpr std::uint32_t RotateLeft32(std::uint32_t value, unsigned n) noexcept
{
    return std::rotl(value, static_cast<int>(n & 31U));
}

constexpr std::uint32_t RotateRight32(std::uint32_t value, unsigned n) noexcept
{
    return std::rotr(value, static_cast<int>(n & 31U));
}

// out[i] = a[i] ^ b[i] for i < n. `out` may be `a` (or `b`).
void XorBuffers(const void* a, const void* b, void* out, std::size_t n) noexcept;

} // namespace ciphra
