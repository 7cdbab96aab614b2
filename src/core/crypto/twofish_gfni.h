#pragma once
// Twofish CBC decryption with AVX-512 VBMI and GFNI, 32 or 128 blocks per
// pass and no table lookups in memory: the four keyed S-boxes are 256-byte
// permutations applied 64 bytes at a time with vpermi2b, and the MDS matrix
// is multiplications by constants done by gf2p8affineqb. Internal to the
// engine; the chaining code calls it when ActiveCpuFeatures() reports it.

#include "core/crypto/twofish.h"

#include <cstddef>

namespace ciphra::twofish_detail {

#if defined(__x86_64__) || defined(__i386__)
inline constexpr std::size_t GfniPassBlocks = 32;

// Decrypts the first blocks / 32 * 32 blocks of `in` in CBC mode, updating
// ctx.ChainVector; returns how many blocks it did. In place is allowed.
// The S-box bytes it derives from ctx and the stack it used are overwritten
// before it returns.
std::size_t CbcDecryptBlocksGfni(TwofishContext& ctx, const std::uint8_t* in, std::uint8_t* out,
                                 std::size_t blocks) noexcept;
#endif

} // namespace ciphra::twofish_detail
