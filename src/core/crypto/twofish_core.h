#pragma once
// The Twofish round function over words, shared by the single-block and the
// chaining operations. Internal to the engine.

#include "core/crypto/twofish.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace ciphra::twofish_detail {

inline std::uint32_t LoadLE32(const std::uint8_t* p) noexcept
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap32(v);
    }
    return v;
}

inline void StoreLE32(std::uint8_t* p, std::uint32_t v) noexcept
{
    if constexpr (std::endian::native == std::endian::big) {
        v = __builtin_bswap32(v);
    }
    std::memcpy(p, &v, 4);
}

struct Block {
    std::uint32_t w[4];
};

inline Block LoadBlock(const void* in) noexcept
{
    const auto* p = static_cast<const std::uint8_t*>(in);
    return {{LoadLE32(p), LoadLE32(p + 4), LoadLE32(p + 8), LoadLE32(p + 12)}};
}

inline void StoreBlock(void* out, const Block& b) noexcept
{
    auto* p = static_cast<std::uint8_t*>(out);
    StoreLE32(p, b.w[0]);
    StoreLE32(p + 4, b.w[1]);
    StoreLE32(p + 8, b.w[2]);
    StoreLE32(p + 12, b.w[3]);
}

// The keyed boxes are stored one after another: box j at words 256*j.
inline std::uint32_t G0(const std::uint32_t* s, std::uint32_t x) noexcept
{
    return s[x & 0xFF] ^ s[256 + ((x >> 8) & 0xFF)] ^ s[512 + ((x >> 16) & 0xFF)] ^
           s[768 + (x >> 24)];
}

// g(RotateLeft32(x, 8)) without the rotation.
inline std::uint32_t G1(const std::uint32_t* s, std::uint32_t x) noexcept
{
    return s[x >> 24] ^ s[256 + (x & 0xFF)] ^ s[512 + ((x >> 8) & 0xFF)] ^
           s[768 + ((x >> 16) & 0xFF)];
}

// Two rounds per step; the second round of each step works on the other
// word pair, so no words are swapped. k points at the step's four round keys.
struct State {
    std::uint32_t a, b, c, d;
};

inline void EncryptStep(const std::uint32_t* s, const std::uint32_t* k, State& x) noexcept
{
    std::uint32_t t0 = G0(s, x.a);
    std::uint32_t t1 = G1(s, x.b);
    x.c = std::rotr(x.c ^ (t0 + t1 + k[0]), 1);
    x.d = std::rotl(x.d, 1) ^ (t0 + 2 * t1 + k[1]);
    t0 = G0(s, x.c);
    t1 = G1(s, x.d);
    x.a = std::rotr(x.a ^ (t0 + t1 + k[2]), 1);
    x.b = std::rotl(x.b, 1) ^ (t0 + 2 * t1 + k[3]);
}

inline void DecryptStep(const std::uint32_t* s, const std::uint32_t* k, State& x) noexcept
{
    std::uint32_t t0 = G0(s, x.c);
    std::uint32_t t1 = G1(s, x.d);
    x.a = std::rotl(x.a, 1) ^ (t0 + t1 + k[2]);
    x.b = std::rotr(x.b ^ (t0 + 2 * t1 + k[3]), 1);
    t0 = G0(s, x.a);
    t1 = G1(s, x.b);
    x.c = std::rotl(x.c, 1) ^ (t0 + t1 + k[0]);
    x.d = std::rotr(x.d ^ (t0 + 2 * t1 + k[1]), 1);
}

inline State Whiten(const Block& in, const std::uint32_t* k) noexcept
{
    return {in.w[0] ^ k[0], in.w[1] ^ k[1], in.w[2] ^ k[2], in.w[3] ^ k[3]};
}

inline Block EncryptWords(const TwofishContext& ctx, const Block& in) noexcept
{
    const std::uint32_t* k = ctx.RoundKeys;
    const std::uint32_t* s = ctx.KeyedSBoxes;
    State x = Whiten(in, k);
    for (int step = 0; step < 8; ++step) {
        EncryptStep(s, k + 8 + 4 * step, x);
    }
    return {{x.c ^ k[4], x.d ^ k[5], x.a ^ k[6], x.b ^ k[7]}};
}

inline Block DecryptWords(const TwofishContext& ctx, const Block& in) noexcept
{
    const std::uint32_t* k = ctx.RoundKeys;
    const std::uint32_t* s = ctx.KeyedSBoxes;
    // The state is kept in encryption's naming: (c, d, a, b) are the output words.
    State x{in.w[2] ^ k[6], in.w[3] ^ k[7], in.w[0] ^ k[4], in.w[1] ^ k[5]};
    for (int step = 7; step >= 0; --step) {
        DecryptStep(s, k + 8 + 4 * step, x);
    }
    return {{x.a ^ k[0], x.b ^ k[1], x.c ^ k[2], x.d ^ k[3]}};
}

// Two independent blocks at once, so that their lookups overlap.
inline void DecryptWords2(const TwofishContext& ctx, Block& p, Block& q) noexcept
{
    const std::uint32_t* k = ctx.RoundKeys;
    const std::uint32_t* s = ctx.KeyedSBoxes;
    State x{p.w[2] ^ k[6], p.w[3] ^ k[7], p.w[0] ^ k[4], p.w[1] ^ k[5]};
    State y{q.w[2] ^ k[6], q.w[3] ^ k[7], q.w[0] ^ k[4], q.w[1] ^ k[5]};
    for (int step = 7; step >= 0; --step) {
        DecryptStep(s, k + 8 + 4 * step, x);
        DecryptStep(s, k + 8 + 4 * step, y);
    }
    p = {{x.a ^ k[0], x.b ^ k[1], x.c ^ k[2], x.d ^ k[3]}};
    q = {{y.a ^ k[0], y.b ^ k[1], y.c ^ k[2], y.d ^ k[3]}};
}

} // namespace ciphra::twofish_detail
