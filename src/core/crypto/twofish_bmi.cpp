// CBC encryption is one chain: each block waits for the one before it, and
// each of its sixteen rounds waits for the round before. So what counts is
// the latency of a round, from a new word to the next new word: take its
// four bytes, look them up, combine the lookups, add the round key, and
// rotate. This path shortens that walk where the portable code cannot:
//   - a byte is taken out of a word by one bextr wherever it sits, and the
//     table offset goes into the load's displacement;
//   - the words a and c, which rounds rotate right by one after the XOR,
//     are kept unrotated: bextr and rorx read the bytes of the rotated word
//     straight from the unrotated one, so the rotation leaves the chain;
//   - the four lookups are combined as a tree, the latest one last, and the
//     round key joins the word that is ready first.
// The compiler would otherwise regroup the XORs into a chain and fold the
// rotations back in; Pinned stops it where that matters.

#include "core/crypto/twofish_bmi.h"

#include "core/crypto/twofish_core.h"

#if defined(__x86_64__)

#include <bit>
#include <immintrin.h>

#define CIPHRA_BMI __attribute__((target("bmi,bmi2"), always_inline)) inline

namespace ciphra::twofish_detail {

namespace {

// The value as it stands: the compiler may not regroup what made it.
template <typename T> CIPHRA_BMI T Pinned(T value)
{
    __asm__("" : "+r"(value));
    return value;
}

// Byte j of x, as a table index.
CIPHRA_BMI std::uint64_t Byte0(std::uint32_t x)
{
    return static_cast<std::uint8_t>(x);
}
CIPHRA_BMI std::uint64_t Byte1(std::uint32_t x)
{
    return _bextr_u64(x, 8, 8);
}
CIPHRA_BMI std::uint64_t Byte2(std::uint32_t x)
{
    return _bextr_u64(x, 16, 8);
}
CIPHRA_BMI std::uint64_t Byte3(std::uint32_t x)
{
    return static_cast<std::uint64_t>(x) >> 24;
}

// Byte j of rotr(u, 1), read from u.
CIPHRA_BMI std::uint64_t RotatedByte0(std::uint32_t u)
{
    return _bextr_u64(u, 1, 8);
}
CIPHRA_BMI std::uint64_t RotatedByte1(std::uint32_t u)
{
    return _bextr_u64(u, 9, 8);
}
CIPHRA_BMI std::uint64_t RotatedByte2(std::uint32_t u)
{
    return _bextr_u64(u, 17, 8);
}
// Bits 25 to 31 and bit 0 of u: one rorx, then the byte.
CIPHRA_BMI std::uint64_t RotatedByte3(std::uint32_t u)
{
    return static_cast<std::uint8_t>(std::rotr(u, 25));
}

// g(rotr(u, 1)); the keyed boxes are stored one after another (box j at
// words 256*j). The fourth byte takes a step more to find, so its lookup
// joins last.
CIPHRA_BMI std::uint32_t G0OfRotated(const std::uint32_t* s, std::uint32_t u)
{
    const std::uint32_t low = s[RotatedByte0(u)] ^ s[256 + RotatedByte1(u)];
    const std::uint32_t three = Pinned(low) ^ s[512 + RotatedByte2(u)];
    return Pinned(three) ^ s[768 + RotatedByte3(u)];
}

// g(rotl(x, 8)), as G1 of the portable code.
CIPHRA_BMI std::uint32_t G1(const std::uint32_t* s, std::uint32_t x)
{
    const std::uint32_t low = s[Byte3(x)] ^ s[256 + Byte0(x)];
    const std::uint32_t high = s[512 + Byte1(x)] ^ s[768 + Byte2(x)];
    return Pinned(low) ^ Pinned(high);
}

// The state with a and c unrotated: a = rotr(ua, 1), c = rotr(uc, 1).
struct HeldState {
    std::uint32_t ua, b, uc, d;
};

// Two rounds, as EncryptStep of the portable code.
CIPHRA_BMI void EncryptStepHeld(const std::uint32_t* s, const std::uint32_t* k, HeldState& x)
{
    std::uint32_t t1 = G1(s, x.b);
    std::uint32_t t0 = G0OfRotated(s, x.ua);
    x.uc = Pinned(std::rotr(x.uc, 1) ^ (t0 + (t1 + k[0])));
    x.d = std::rotl(x.d, 1) ^ (t0 + (2 * t1 + k[1]));
    t1 = G1(s, x.d);
    t0 = G0OfRotated(s, x.uc);
    x.ua = Pinned(std::rotr(x.ua, 1) ^ (t0 + (t1 + k[2])));
    x.b = std::rotl(x.b, 1) ^ (t0 + (2 * t1 + k[3]));
}

} // namespace

__attribute__((target("bmi,bmi2"))) void CbcEncryptBlocksBmi(TwofishContext& ctx,
                                                             const std::uint8_t* in,
                                                             std::uint8_t* out,
                                                             std::size_t blocks) noexcept
{
    const std::uint32_t* k = ctx.RoundKeys;
    const std::uint32_t* s = ctx.KeyedSBoxes;
    Block chain = LoadBlock(ctx.ChainVector);
    for (std::size_t i = 0; i < blocks; ++i) {
        const Block p = LoadBlock(in);
        // Whitened a and c enter held as rotl(word, 1), which the first
        // rounds' rotations right take back.
        HeldState x{std::rotl(p.w[0] ^ chain.w[0] ^ k[0], 1), p.w[1] ^ chain.w[1] ^ k[1],
                    std::rotl(p.w[2] ^ chain.w[2] ^ k[2], 1), p.w[3] ^ chain.w[3] ^ k[3]};
        EncryptStepHeld(s, k + 8, x);
        EncryptStepHeld(s, k + 12, x);
        EncryptStepHeld(s, k + 16, x);
        EncryptStepHeld(s, k + 20, x);
        EncryptStepHeld(s, k + 24, x);
        EncryptStepHeld(s, k + 28, x);
        EncryptStepHeld(s, k + 32, x);
        EncryptStepHeld(s, k + 36, x);
        chain = {{std::rotr(x.uc, 1) ^ k[4], x.d ^ k[5], std::rotr(x.ua, 1) ^ k[6], x.b ^ k[7]}};
        StoreBlock(out, chain);
        in += TwofishBlockSize;
        out += TwofishBlockSize;
    }
    StoreBlock(ctx.ChainVector, chain);
}

} // namespace ciphra::twofish_detail

#endif
