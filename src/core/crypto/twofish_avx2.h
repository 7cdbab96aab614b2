#pragma once
// Twofish with AVX2: CBC decryption of eight or sixteen blocks at a time
// with vector gathers, and the key schedule with byte shuffles. Internal to
// the engine; the chaining code and the key setup call it when
// ActiveCpuFeatures() reports AVX2.

#include "core/crypto/twofish.h"

#include <cstddef>

namespace ciphra::twofish_detail {

#if defined(__x86_64__) || defined(__i386__)
// Decrypts the first blocks / 8 * 8 blocks of `in` in CBC mode, updating
// ctx.ChainVector; returns how many blocks it did. In place is allowed.
std::size_t CbcDecryptBlocksAvx2(TwofishContext& ctx, const std::uint8_t* in, std::uint8_t* out,
                                 std::size_t blocks) noexcept;

// ctx.KeyedSBoxes from ctx.SBoxKeys and ctx.KeyBits, the byte stages done
// 32 bytes at a time with vpshufb on the q permutations' 4-bit tables.
void BuildKeyedSBoxesAvx2(TwofishContext& ctx) noexcept;

// ctx.RoundKeys from the key's even and odd words (ctx.KeyBits / 64 each),
// the same way.
void RoundKeysAvx2(TwofishContext& ctx, const std::uint32_t* even,
                   const std::uint32_t* odd) noexcept;
#endif

} // namespace ciphra::twofish_detail
