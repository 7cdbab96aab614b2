#pragma once
// Twofish CBC encryption, one block after another, shaped for the chain's
// latency with BMI1 and BMI2. Internal to the engine; the chaining code
// calls it when the code path chosen for this CPU says so (code_paths.h).

#include "core/crypto/twofish.h"

#include <cstddef>
#include <cstdint>

namespace ciphra::twofish_detail {

#if defined(__x86_64__)
// Encrypts `blocks` blocks of `in` in CBC mode, updating ctx.ChainVector.
// In place is allowed. Gives the portable code's results exactly.
void CbcEncryptBlocksBmi(TwofishContext& ctx, const std::uint8_t* in, std::uint8_t* out,
                         std::size_t blocks) noexcept;
#endif

} // namespace ciphra::twofish_detail
