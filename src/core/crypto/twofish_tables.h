#pragma once
// Fixed Twofish tables, computed at compile time: the byte permutations q0
// and q1 (built from their 4-bit halves as published) and the four lookup
// tables that fold the last q stage and the MDS matrix together. Internal to
// the engine; nothing outside src/core/crypto includes this.

#include <array>
#include <cstdint>

namespace ciphra::twofish_detail {

using ByteTable = std::array<std::uint8_t, 256>;
using WordTables = std::array<std::array<std::uint32_t, 256>, 4>;

// The four nibble permutations t0..t3 of one q permutation.
using Nibbles = std::array<std::array<std::uint8_t, 16>, 4>;

inline constexpr Nibbles Q0Nibbles{{
    {0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
    {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
    {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
    {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA},
}};

inline constexpr Nibbles Q1Nibbles{{
    {0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
    {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
    {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
    {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA},
}};

constexpr std::uint8_t RotateNibbleRight(std::uint8_t v) noexcept
{
    return static_cast<std::uint8_t>(((v >> 1) | (v << 3)) & 0xF);
}

constexpr ByteTable MakeQ(const Nibbles& t) noexcept
{
    ByteTable q{};
    for (unsigned x = 0; x < 256; ++x) {
        std::uint8_t a = static_cast<std::uint8_t>(x >> 4);
        std::uint8_t b = static_cast<std::uint8_t>(x & 0xF);
        for (unsigned stage = 0; stage < 2; ++stage) {
            const auto na = static_cast<std::uint8_t>(a ^ b);
            const auto nb = static_cast<std::uint8_t>(a ^ RotateNibbleRight(b) ^ ((a << 3) & 0xF));
            a = t[2 * stage][na];
            b = t[2 * stage + 1][nb];
        }
        q[x] = static_cast<std::uint8_t>((b << 4) | a);
    }
    return q;
}

inline constexpr ByteTable Q0 = MakeQ(Q0Nibbles);
inline constexpr ByteTable Q1 = MakeQ(Q1Nibbles);

// Whether the stage of h that takes key word `stage` (3 down to 0, the
// stages running from the last key word to word 0) uses q1 rather than q0 at
// byte position `pos`. The q after word 0 is folded into TwofishTables.
constexpr bool StageUsesQ1(unsigned stage, unsigned pos) noexcept
{
    switch (stage) {
    case 3:
        return pos == 0 || pos == 3;
    case 2:
        return pos <= 1;
    case 1:
        return (pos & 1) != 0;
    default:
        return pos >= 2;
    }
}

// The 40 round keys from h of the key indices 0..39, each index's MDS
// product given as the XOR of four byte-position columns of 64 words (the
// vector key setups compute h a column at a time): A + B' and
// rotl(A + 2B', 9), with A from the even index and B' = rotl(B, 8) from the
// odd one.
inline void RoundKeysFromColumns(const std::uint32_t (&words)[4][64],
                                 std::uint32_t* roundKeys) noexcept
{
    for (unsigned i = 0; i < 20; ++i) {
        const std::uint32_t a =
            words[0][2 * i] ^ words[1][2 * i] ^ words[2][2 * i] ^ words[3][2 * i];
        std::uint32_t b =
            words[0][2 * i + 1] ^ words[1][2 * i + 1] ^ words[2][2 * i + 1] ^ words[3][2 * i + 1];
        b = (b << 8) | (b >> 24);
        roundKeys[2 * i] = a + b;
        const std::uint32_t c = a + 2 * b;
        roundKeys[2 * i + 1] = (c << 9) | (c >> 23);
    }
}

// Multiplication by 0x5B and 0xEF in GF(2^8) modulo x^8+x^6+x^5+x^3+1.
constexpr std::uint32_t Lfsr1(std::uint32_t v) noexcept
{
    return (v >> 1) ^ ((v & 1) ? 0xB4U : 0U);
}
constexpr std::uint32_t Lfsr2(std::uint32_t v) noexcept
{
    return (v >> 2) ^ ((v & 2) ? 0xB4U : 0U) ^ ((v & 1) ? 0x5AU : 0U);
}
constexpr std::uint32_t Mul5B(std::uint32_t v) noexcept
{
    return v ^ Lfsr2(v);
}
constexpr std::uint32_t MulEF(std::uint32_t v) noexcept
{
    return v ^ Lfsr1(v) ^ Lfsr2(v);
}

constexpr std::uint32_t Pack(std::uint32_t b0, std::uint32_t b1, std::uint32_t b2,
                             std::uint32_t b3) noexcept
{
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
}

// Entry x of table j: MDS column j times q(x), q = q1, q0, q1, q0 for j = 0..3.
constexpr WordTables MakeMdsTables() noexcept
{
    WordTables t{};
    for (unsigned x = 0; x < 256; ++x) {
        const std::uint32_t a = Q1[x];
        const std::uint32_t b = Q0[x];
        t[0][x] = Pack(a, Mul5B(a), MulEF(a), MulEF(a));
        t[1][x] = Pack(MulEF(b), MulEF(b), Mul5B(b), b);
        t[2][x] = Pack(Mul5B(a), MulEF(a), a, MulEF(a));
        t[3][x] = Pack(Mul5B(b), b, MulEF(b), Mul5B(b));
    }
    return t;
}

// Built by the compiler, so it exists before any key setup can run.
inline constexpr WordTables TwofishTables = MakeMdsTables();

} // namespace ciphra::twofish_detail
