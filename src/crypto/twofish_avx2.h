#pragma once
// Twofish CBC decryption of eight blocks at a time with AVX2 vector gathers.
// Internal to the engine; the chaining code calls it when ActiveCpuFeatures()
// reports AVX2.

#include "crypto/twofish.h"

#include <cstddef>

namespace ciphra::twofish_detail {

#if defined(__x86_64__) || defined(__i386__)
// Decrypts the first blocks / 8 * 8 blocks of `in` in CBC mode, updating
// ctx.ChainVector; returns how many blocks it did. In place is allowed.
std::size_t CbcDecryptBlocksAvx2(TTwofishContext& ctx, const std::uint8_t* in, std::uint8_t* out,
                                 std::size_t blocks) noexcept;
#endif

} // namespace ciphra::twofish_detail
