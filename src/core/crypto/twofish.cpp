// Twofish key setup and single-block encryption and decryption.

#include "core/crypto/twofish.h"

#include "core/crypto/twofish_core.h"
#include "core/crypto/twofish_tables.h"
#include "core/crypto/wipe.h"
#include "core/error.h"

#ifndef CIPHRA_STUB_BUILD
#include "core/crypto/code_paths.h"
#include "core/crypto/twofish_avx2.h"
#include "core/crypto/twofish_avx512.h"
#endif

#include <array>
#include <bit>
#include <cstring>

namespace ciphra {

using namespace twofish_detail;

namespace {

constexpr std::uint8_t ByteOf(std::uint32_t word, unsigned index) noexcept
{
    return static_cast<std::uint8_t>(word >> (8 * index));
}

// One step of the RS code's polynomial division: the top byte b of r is
// divided out by the generator x^4 + (a + 1/a)x^3 + a x^2 + (a + 1/a)x + 1
// over GF(2^8) modulo x^8+x^6+x^3+x^2+1 (0x14D).
constexpr std::uint32_t RsRemainderStep(std::uint32_t r) noexcept
{
    const std::uint32_t b = r >> 24;
    const std::uint32_t g2 = ((b << 1) ^ ((b & 0x80) != 0 ? 0x14DU : 0U)) & 0xFF;
    const std::uint32_t g3 = ((b >> 1) & 0x7F) ^ ((b & 1) != 0 ? (0x14DU >> 1) : 0U) ^ g2;
    return (r << 8) ^ (g3 << 24) ^ (g2 << 16) ^ (g3 << 8) ^ b;
}

// RS encoding of one 8-byte key piece (words even, odd) into an S-box key
// word: the remainder of the piece, as a polynomial, by the generator.
constexpr std::uint32_t RsEncodeByDivision(std::uint32_t even, std::uint32_t odd) noexcept
{
    std::uint32_t r = odd;
    for (int i = 0; i < 4; ++i) {
        r = RsRemainderStep(r);
    }
    r ^= even;
    for (int i = 0; i < 4; ++i) {
        r = RsRemainderStep(r);
    }
    return r;
}

#ifdef CIPHRA_STUB_BUILD
std::uint32_t RsEncode(std::uint32_t even, std::uint32_t odd) noexcept
{
    return RsEncodeByDivision(even, odd);
}
#else
// The code is linear, so the remainder of a piece is the XOR of the
// remainders of its eight bytes alone: RsTables[b][v] is that of byte b = v.
// Built by the compiler; the stub divides instead, to stay small.
using RsTable = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr RsTable MakeRsTables() noexcept
{
    RsTable t{};
    for (unsigned b = 0; b < 8; ++b) {
        for (std::uint32_t v = 0; v < 256; ++v) {
            const std::uint32_t word = v << (8 * (b % 4));
            t[b][v] = b < 4 ? RsEncodeByDivision(word, 0) : RsEncodeByDivision(0, word);
        }
    }
    return t;
}

constexpr RsTable RsTables = MakeRsTables();

std::uint32_t RsEncode(std::uint32_t even, std::uint32_t odd) noexcept
{
    return RsTables[0][ByteOf(even, 0)] ^ RsTables[1][ByteOf(even, 1)] ^
           RsTables[2][ByteOf(even, 2)] ^ RsTables[3][ByteOf(even, 3)] ^
           RsTables[4][ByteOf(odd, 0)] ^ RsTables[5][ByteOf(odd, 1)] ^ RsTables[6][ByteOf(odd, 2)] ^
           RsTables[7][ByteOf(odd, 3)];
}
#endif

#ifdef CIPHRA_STUB_BUILD
// Byte `x` at position `pos` of h's argument, taken through every key stage
// of h with the k words of `list`; the final q stage is in TwofishTables.
std::uint8_t HChain(unsigned pos, std::uint8_t x, const std::uint32_t* list, unsigned k) noexcept
{
    if (k == 4) {
        x = static_cast<std::uint8_t>((pos == 0 || pos == 3 ? Q1 : Q0)[x] ^ ByteOf(list[3], pos));
    }
    if (k >= 3) {
        x = static_cast<std::uint8_t>((pos <= 1 ? Q1 : Q0)[x] ^ ByteOf(list[2], pos));
    }
    const ByteTable& first = (pos & 1) ? Q1 : Q0;
    const ByteTable& second = (pos <= 1) ? Q0 : Q1;
    x = static_cast<std::uint8_t>(first[x] ^ ByteOf(list[1], pos));
    return static_cast<std::uint8_t>(second[x] ^ ByteOf(list[0], pos));
}

// h of the word whose four bytes all equal `x`.
std::uint32_t HOfRepeatedByte(std::uint8_t x, const std::uint32_t* list, unsigned k) noexcept
{
    std::uint32_t result = 0;
    for (unsigned pos = 0; pos < 4; ++pos) {
        result ^= TwofishTables[pos][HChain(pos, x, list, k)];
    }
    return result;
}
#else
// q0 and q1 with word entries: a lookup then yields a whole register, which
// XORs with a key byte into the next index without a zero extension.
using WordQ = std::array<std::uint32_t, 256>;

constexpr WordQ Widen(const ByteTable& q) noexcept
{
    WordQ wide{};
    for (unsigned x = 0; x < 256; ++x) {
        wide[x] = q[x];
    }
    return wide;
}

constexpr WordQ Q0Words = Widen(Q0);
constexpr WordQ Q1Words = Widen(Q1);

constexpr const WordQ& StageQ(unsigned stage, unsigned pos) noexcept
{
    return StageUsesQ1(stage, pos) ? Q1Words : Q0Words;
}

// Column `Pos` of h for the bytes 0..count-1 (count a multiple of 8), K key
// words: out[x] = TwofishTables[Pos][chain(x)]. Even and odd x may take
// different key bytes, key[x % 2][stage], which the round keys need. The
// first stage of the chain sees the bytes in order, so its q is the q table
// itself, read eight bytes at a time; the other stages are table lookups.
template <unsigned K, unsigned Pos>
void HColumn(std::uint32_t* out, unsigned count, const std::uint8_t (&key)[2][4]) noexcept
{
    const std::uint8_t* first = (StageUsesQ1(K - 1, Pos) ? Q1 : Q0).data();
    std::uint64_t firstKey = 0;
    for (unsigned j = 0; j < 8; ++j) {
        firstKey |= static_cast<std::uint64_t>(key[j % 2][K - 1]) << (8 * j);
    }
    // Local copies, which the stores to `out` cannot change, so they stay in
    // registers.
    std::uint32_t k[2][3];
    for (unsigned parity = 0; parity < 2; ++parity) {
        for (unsigned stage = 0; stage < 3; ++stage) {
            k[parity][stage] = key[parity][stage];
        }
    }
    const std::uint32_t* mds = TwofishTables[Pos].data();
    for (std::size_t x = 0; x < count; x += 8) {
        std::uint64_t run;
        std::memcpy(&run, first + x, 8);
        if constexpr (std::endian::native == std::endian::big) {
            run = __builtin_bswap64(run);
        }
        run ^= firstKey;
        for (unsigned j = 0; j < 8; ++j, run >>= 8) {
            unsigned y = static_cast<std::uint8_t>(run);
            if constexpr (K == 4) {
                y = StageQ(2, Pos)[y] ^ k[j % 2][2];
            }
            if constexpr (K >= 3) {
                y = StageQ(1, Pos)[y] ^ k[j % 2][1];
            }
            y = StageQ(0, Pos)[y] ^ k[j % 2][0];
            out[x + j] = mds[y];
        }
    }
}

template <unsigned K>
void HColumns(std::uint32_t* out, unsigned stride, unsigned count,
              const std::uint8_t (&key)[4][2][4]) noexcept
{
    HColumn<K, 0>(out, count, key[0]);
    HColumn<K, 1>(out + stride, count, key[1]);
    HColumn<K, 2>(out + 2 * stride, count, key[2]);
    HColumn<K, 3>(out + 3 * stride, count, key[3]);
}

// Round keys and keyed S-boxes for K key words.
template <unsigned K>
void Schedule(TwofishContext& ctx, const std::uint32_t* even, const std::uint32_t* odd) noexcept
{
    // h(2i) takes the even words, h(2i + 1) the odd ones.
    std::uint8_t key[4][2][4] = {};
    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned w = 0; w < K; ++w) {
            key[pos][0][w] = ByteOf(even[w], pos);
            key[pos][1][w] = ByteOf(odd[w], pos);
        }
    }
    std::uint32_t words[4][40];
    HColumns<K>(words[0], 40, 40, key);
    for (unsigned i = 0; i < 20; ++i) {
        const std::uint32_t a =
            words[0][2 * i] ^ words[1][2 * i] ^ words[2][2 * i] ^ words[3][2 * i];
        const std::uint32_t b = std::rotl(words[0][2 * i + 1] ^ words[1][2 * i + 1] ^
                                              words[2][2 * i + 1] ^ words[3][2 * i + 1],
                                          8);
        ctx.RoundKeys[2 * i] = a + b;
        ctx.RoundKeys[2 * i + 1] = std::rotl(a + 2 * b, 9);
    }
    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned w = 0; w < K; ++w) {
            key[pos][0][w] = key[pos][1][w] = ByteOf(ctx.SBoxKeys[w], pos);
        }
    }
    HColumns<K>(ctx.KeyedSBoxes, 256, 256, key);
    SecureWipe(words, sizeof words);
    SecureWipe(key, sizeof key);
}

// The same with AVX-512 or AVX2 where this process uses them; false when it
// uses neither.
bool ScheduleWithVectors(TwofishContext& ctx, const std::uint32_t* even,
                         const std::uint32_t* odd) noexcept
{
#if defined(__x86_64__) || defined(__i386__)
    const KeySetupPath path = CurrentCodePaths().KeySetup;
    if (path == KeySetupPath::Avx512) {
        ScheduleAvx512(ctx, even, odd);
        return true;
    }
    if (path == KeySetupPath::Avx2) {
        RoundKeysAvx2(ctx, even, odd);
        BuildKeyedSBoxesAvx2(ctx);
        return true;
    }
#endif
    static_cast<void>(ctx);
    static_cast<void>(even);
    static_cast<void>(odd);
    return false;
}
#endif

} // namespace

const char* TwofishKeyLengthMessage() noexcept
{
#ifdef CIPHRA_STUB_BUILD
    return "Key length must be between 1 and 32 bytes";
#else
    return "Key (password) has to be between 1 and 32 bytes.\r"
           "If you want to use a longer password please check\r"
           "\"Use Hash of password\" in the password dialog.";
#endif
}

void TwofishSetKey(TwofishContext& ctx, const void* key, std::int32_t length,
                   const void* startVector)
{
    if (length <= 0 || length > 32) {
        throw Exception(TwofishKeyLengthMessage());
    }

    if (startVector != nullptr) {
        std::memcpy(ctx.StartVector, startVector, TwofishBlockSize);
        std::memcpy(ctx.ChainVector, startVector, TwofishBlockSize);
    } else {
        std::memset(ctx.StartVector, 0, TwofishBlockSize);
        std::memset(ctx.ChainVector, 0, TwofishBlockSize);
    }

    struct {
        std::uint8_t bytes[32];
        std::uint32_t even[4];
        std::uint32_t odd[4];
    } material{};
    std::memcpy(material.bytes, key, static_cast<std::size_t>(length));

    ctx.KeyBits = length <= 16 ? 128U : (length <= 24 ? 192U : 256U);
    const unsigned k = ctx.KeyBits / 64;

    for (unsigned i = 0; i < k; ++i) {
        material.even[i] = LoadLE32(material.bytes + 8 * i);
        material.odd[i] = LoadLE32(material.bytes + 8 * i + 4);
        ctx.SBoxKeys[k - 1 - i] = RsEncode(material.even[i], material.odd[i]);
    }

#ifdef CIPHRA_STUB_BUILD
    for (unsigned i = 0; i < 20; ++i) {
        const std::uint32_t a = HOfRepeatedByte(static_cast<std::uint8_t>(2 * i), material.even, k);
        const std::uint32_t b =
            std::rotl(HOfRepeatedByte(static_cast<std::uint8_t>(2 * i + 1), material.odd, k), 8);
        ctx.RoundKeys[2 * i] = a + b;
        ctx.RoundKeys[2 * i + 1] = std::rotl(a + 2 * b, 9);
    }
    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned x = 0; x < 256; ++x) {
            ctx.KeyedSBoxes[256 * pos + x] =
                TwofishTables[pos][HChain(pos, static_cast<std::uint8_t>(x), ctx.SBoxKeys, k)];
        }
    }
#else
    if (!ScheduleWithVectors(ctx, material.even, material.odd)) {
        if (k == 2) {
            Schedule<2>(ctx, material.even, material.odd);
        } else if (k == 3) {
            Schedule<3>(ctx, material.even, material.odd);
        } else {
            Schedule<4>(ctx, material.even, material.odd);
        }
    }
#endif

    SecureWipeObject(material);
}

void TwofishEncryptBlock(const TwofishContext& ctx, const void* in, void* out) noexcept
{
    StoreBlock(out, EncryptWords(ctx, LoadBlock(in)));
}

void TwofishDecryptBlock(const TwofishContext& ctx, const void* in, void* out) noexcept
{
    StoreBlock(out, DecryptWords(ctx, LoadBlock(in)));
}

} // namespace ciphra
