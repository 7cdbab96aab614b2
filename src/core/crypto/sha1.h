#pragma once
// SHA-1 message digest (FIPS 180-1), fed in pieces. No allocation; the state
// wipes its block after every compression and itself after Sha1Finish, so no
// password-derived data stays behind.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ciphra {

inline constexpr std::size_t Sha1DigestSize = 20;

struct Sha1State {
    std::uint32_t HashWords[5];
    std::uint32_t BitCountHi;
    std::uint32_t BitCountLo;
    std::uint8_t Block[64];
    std::uint32_t BlockFill; // 0..63 between calls; Block is zero from BlockFill on
};

void Sha1Start(Sha1State& state) noexcept;
void Sha1Add(Sha1State& state, const void* bytes, std::size_t count) noexcept;
// Pads, writes the 20-byte digest to `out`, then zeroes the whole state.
void Sha1Finish(Sha1State& state, std::uint8_t out[Sha1DigestSize]) noexcept;

// Digest of the text's bytes as they stand (no terminator, no trimming).
void Sha1OfText(std::string_view text, std::uint8_t out[Sha1DigestSize]) noexcept;

} // namespace ciphra
