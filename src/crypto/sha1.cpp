// SHA-1 (FIPS 180-1).

#include "crypto/sha1.h"

#include "crypto/bitops.h"
#include "crypto/wipe.h"

#include <cstring>

namespace ciphra {

namespace {

std::uint32_t LoadBE32(const std::uint8_t* p) noexcept
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

void StoreBE32(std::uint8_t* p, std::uint32_t v) noexcept
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// Compresses one 64-byte block into the chaining words. The expanded words
// are kept as a rolling window of 16 and wiped before returning.
void Compress(std::uint32_t h[5], const std::uint8_t* block) noexcept
{
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) {
        w[t] = LoadBE32(block + 4 * t);
    }
    std::uint32_t a = h[0];
    std::uint32_t b = h[1];
    std::uint32_t c = h[2];
    std::uint32_t d = h[3];
    std::uint32_t e = h[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t wt;
        if (t < 16) {
            wt = w[t];
        } else {
            wt = RotateLeft32(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
            w[t & 15] = wt;
        }
        std::uint32_t f;
        std::uint32_t k;
        if (t < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (t < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (t < 60) {
            f = (b & c) | (d & (b | c));
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t temp = RotateLeft32(a, 5) + f + e + wt + k;
        e = d;
        d = c;
        c = RotateLeft32(b, 30);
        b = a;
        a = temp;
    }
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
    SecureWipe(w, sizeof w);
}

void CompressStateBlock(TSha1State& state) noexcept
{
    Compress(state.HashWords, state.Block);
    SecureWipe(state.Block, sizeof state.Block);
    state.BlockFill = 0;
}

} // namespace

void Sha1Start(TSha1State& state) noexcept
{
    std::memset(&state, 0, sizeof state);
    state.HashWords[0] = 0x67452301;
    state.HashWords[1] = 0xEFCDAB89;
    state.HashWords[2] = 0x98BADCFE;
    state.HashWords[3] = 0x10325476;
    state.HashWords[4] = 0xC3D2E1F0;
}

void Sha1Add(TSha1State& state, const void* bytes, std::size_t count) noexcept
{
    // The message length in bits is kept modulo 2^64, as SHA-1 defines it.
    const std::uint64_t bits =
        ((static_cast<std::uint64_t>(state.BitCountHi) << 32) | state.BitCountLo) +
        (static_cast<std::uint64_t>(count) << 3);
    state.BitCountHi = static_cast<std::uint32_t>(bits >> 32);
    state.BitCountLo = static_cast<std::uint32_t>(bits);

    const auto* src = static_cast<const std::uint8_t*>(bytes);
    if (state.BlockFill != 0) {
        const std::size_t room = 64 - state.BlockFill;
        const std::size_t take = count < room ? count : room;
        std::memcpy(state.Block + state.BlockFill, src, take);
        state.BlockFill += static_cast<std::uint32_t>(take);
        src += take;
        count -= take;
        if (state.BlockFill < 64) {
            return;
        }
        CompressStateBlock(state);
    }
    // Whole blocks are compressed straight from the caller's buffer.
    for (; count >= 64; count -= 64, src += 64) {
        Compress(state.HashWords, src);
    }
    std::memcpy(state.Block, src, count);
    state.BlockFill = static_cast<std::uint32_t>(count);
}

void Sha1Finish(TSha1State& state, std::uint8_t out[Sha1DigestSize]) noexcept
{
    state.Block[state.BlockFill] = 0x80;
    if (state.BlockFill >= 56) {
        CompressStateBlock(state);
    }
    StoreBE32(state.Block + 56, state.BitCountHi);
    StoreBE32(state.Block + 60, state.BitCountLo);
    CompressStateBlock(state);
    for (int i = 0; i < 5; ++i) {
        StoreBE32(out + 4 * i, state.HashWords[i]);
    }
    SecureWipeObject(state);
}

void Sha1OfText(std::string_view text, std::uint8_t out[Sha1DigestSize]) noexcept
{
    TSha1State state;
    Sha1Start(state);
    Sha1Add(state, text.data(), text.size());
    Sha1Finish(state, out);
}

} // namespace ciphra
