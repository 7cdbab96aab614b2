#pragma once
// Twofish key setup with AVX-512 VBMI: every q stage of h is a 256-entry byte
// permutation, looked up 64 bytes at a time with two vpermi2b. Internal to
// the engine; the key setup calls it when ActiveCpuFeatures() reports it.

#include "core/crypto/twofish.h"

namespace ciphra::twofish_detail {

#if defined(__x86_64__) || defined(__i386__)
// ctx.RoundKeys from the key's even and odd words (ctx.KeyBits / 64 each),
// and ctx.KeyedSBoxes from ctx.SBoxKeys.
void ScheduleAvx512(TwofishContext& ctx, const std::uint32_t* even,
                    const std::uint32_t* odd) noexcept;
#endif

} // namespace ciphra::twofish_detail
