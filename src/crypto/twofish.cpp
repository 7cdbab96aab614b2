// Twofish key setup and single-block encryption and decryption.

#include "crypto/twofish.h"

#include "crypto/exception.h"
#include "crypto/twofish_core.h"
#include "crypto/twofish_tables.h"
#include "crypto/wipe.h"

#ifndef CIPHRA_STUB_BUILD
#include "crypto/cpu_features.h"
#include "crypto/twofish_avx2.h"
#include "crypto/twofish_avx512.h"
#endif

#include <cstring>

namespace ciphra {

using namespace twofish_detail;

namespace {

std::uint8_t ByteOf(std::uint32_t word, unsigned index) noexcept
{
    return static_cast<std::uint8_t>(word >> (8 * index));
}

// One step of the RS code's polynomial division: the top byte b of r is
// divided out by the generator x^4 + (a + 1/a)x^3 + a x^2 + (a + 1/a)x + 1
// over GF(2^8) modulo x^8+x^6+x^3+x^2+1 (0x14D).
std::uint32_t RsRemainderStep(std::uint32_t r) noexcept
{
    const std::uint32_t b = r >> 24;
    const std::uint32_t g2 = ((b << 1) ^ ((b & 0x80) != 0 ? 0x14DU : 0U)) & 0xFF;
    const std::uint32_t g3 = ((b >> 1) & 0x7F) ^ ((b & 1) != 0 ? (0x14DU >> 1) : 0U) ^ g2;
    return (r << 8) ^ (g3 << 24) ^ (g2 << 16) ^ (g3 << 8) ^ b;
}

// RS encoding of one 8-byte key piece (words even, odd) into an S-box key
// word: the remainder of the piece, as a polynomial, by the generator.
std::uint32_t RsEncode(std::uint32_t even, std::uint32_t odd) noexcept
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
// HChain for K key words at one position, with the q choices and key bytes
// fixed up front, so each byte costs K byte lookups. The stub keeps the
// shorter generic HChain.
template <unsigned K> struct PositionChain {
    const std::uint8_t* q4;
    const std::uint8_t* q3;
    const std::uint8_t* q2;
    const std::uint8_t* q1;
    std::uint8_t k3, k2, k1, k0;

    PositionChain(unsigned pos, const std::uint32_t* list) noexcept
        : q4((pos == 0 || pos == 3 ? Q1 : Q0).data()), q3((pos <= 1 ? Q1 : Q0).data()),
          q2(((pos & 1) ? Q1 : Q0).data()), q1((pos <= 1 ? Q0 : Q1).data()),
          k3(ByteOf(list[K - 1], pos)), k2(ByteOf(list[K >= 3 ? 2 : 0], pos)),
          k1(ByteOf(list[1], pos)), k0(ByteOf(list[0], pos))
    {
    }

    unsigned operator()(unsigned y) const noexcept
    {
        if constexpr (K == 4) {
            y = q4[y] ^ k3;
        }
        if constexpr (K >= 3) {
            y = q3[y] ^ k2;
        }
        y = q2[y] ^ k1;
        return q1[y] ^ k0;
    }
};

template <unsigned K> std::uint32_t HOfRepeatedByte(unsigned x, const PositionChain<K>* chains)
{
    return TwofishTables[0][chains[0](x)] ^ TwofishTables[1][chains[1](x)] ^
           TwofishTables[2][chains[2](x)] ^ TwofishTables[3][chains[3](x)];
}

// Round keys and keyed S-boxes for K key words.
template <unsigned K>
void Schedule(TTwofishContext& ctx, const std::uint32_t* even, const std::uint32_t* odd) noexcept
{
    const PositionChain<K> evenChains[4] = {{0, even}, {1, even}, {2, even}, {3, even}};
    const PositionChain<K> oddChains[4] = {{0, odd}, {1, odd}, {2, odd}, {3, odd}};
    for (unsigned i = 0; i < 20; ++i) {
        const std::uint32_t a = HOfRepeatedByte(2 * i, evenChains);
        const std::uint32_t b = std::rotl(HOfRepeatedByte(2 * i + 1, oddChains), 8);
        ctx.RoundKeys[2 * i] = a + b;
        ctx.RoundKeys[2 * i + 1] = std::rotl(a + 2 * b, 9);
    }
    for (unsigned pos = 0; pos < 4; ++pos) {
        const PositionChain<K> chain(pos, ctx.SBoxKeys);
        const std::uint32_t* mds = TwofishTables[pos].data();
        std::uint32_t* out = ctx.KeyedSBoxes + 256 * pos;
        for (unsigned x = 0; x < 256; ++x) {
            out[x] = mds[chain(x)];
        }
    }
}

// The same with AVX-512 or AVX2 where this process uses them; false when it
// uses neither.
bool ScheduleWithVectors(TTwofishContext& ctx, const std::uint32_t* even,
                         const std::uint32_t* odd) noexcept
{
#if defined(__x86_64__) || defined(__i386__)
    if (ActiveCpuFeatures().Avx512) {
        ScheduleAvx512(ctx, even, odd);
        return true;
    }
    if (ActiveCpuFeatures().Avx2) {
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

void TwofishSetKey(TTwofishContext& ctx, const void* key, std::int32_t length,
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

void TwofishEncryptBlock(const TTwofishContext& ctx, const void* in, void* out) noexcept
{
    StoreBlock(out, EncryptWords(ctx, LoadBlock(in)));
}

void TwofishDecryptBlock(const TTwofishContext& ctx, const void* in, void* out) noexcept
{
    StoreBlock(out, DecryptWords(ctx, LoadBlock(in)));
}

} // namespace ciphra
