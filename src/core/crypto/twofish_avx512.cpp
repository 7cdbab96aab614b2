// Twofish key setup, 64 bytes at a time in 512-bit registers.

#include "core/crypto/twofish_avx512.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/crypto/twofish_tables.h"
#include "core/crypto/wipe.h"

#include <immintrin.h>

// GCC 12's AVX-512 headers pass an undefined vector as the unused
// merge source of their masked builtins, which its -O2 flow analysis reports
// as uninitialized; nothing here reads such a value.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define CIPHRA_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi"), always_inline)) inline

namespace ciphra::twofish_detail {

namespace {

// q followed by multiplication with a constant of the MDS field.
template <std::uint32_t (*Multiply)(std::uint32_t)>
constexpr ByteTable TimesQ(const ByteTable& q) noexcept
{
    ByteTable t{};
    for (unsigned x = 0; x < 256; ++x) {
        t[x] = static_cast<std::uint8_t>(Multiply(q[x]));
    }
    return t;
}

alignas(64) constexpr ByteTable Tables[6] = {
    Q0, Q1, TimesQ<Mul5B>(Q0), TimesQ<MulEF>(Q0), TimesQ<Mul5B>(Q1), TimesQ<MulEF>(Q1),
};
enum TableIndex { TQ0, TQ1, T5BQ0, TEFQ0, T5BQ1, TEFQ1 };

struct Table {
    __m512i part[4];
};

CIPHRA_AVX512 Table Load(const ByteTable& t)
{
    return {{_mm512_loadu_si512(t.data()), _mm512_loadu_si512(t.data() + 64),
             _mm512_loadu_si512(t.data() + 128), _mm512_loadu_si512(t.data() + 192)}};
}

// t[x] for 64 bytes: entries 0..127 and 128..255 by one vpermi2b each, the
// high bit of x choosing between them.
CIPHRA_AVX512 __m512i Lookup(const Table& t, __m512i x)
{
    const __m512i low = _mm512_permutex2var_epi8(t.part[0], x, t.part[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.part[2], x, t.part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

struct Tables512 {
    Table t[6];
};

// The key stages of h at one position for k key words (key[w] holds the
// bytes of word w at this position), as HChain does; returns the byte
// before the last q stage.
CIPHRA_AVX512 __m512i Chain(const Tables512& t, unsigned k, unsigned pos, __m512i y,
                            const __m512i* key)
{
    if (k == 4) {
        y = _mm512_xor_si512(Lookup(t.t[pos == 0 || pos == 3 ? TQ1 : TQ0], y), key[3]);
    }
    if (k >= 3) {
        y = _mm512_xor_si512(Lookup(t.t[pos <= 1 ? TQ1 : TQ0], y), key[2]);
    }
    y = _mm512_xor_si512(Lookup(t.t[(pos & 1) != 0 ? TQ1 : TQ0], y), key[1]);
    return _mm512_xor_si512(Lookup(t.t[pos <= 1 ? TQ0 : TQ1], y), key[0]);
}

// Bytes 16c..16c+15 of b, widened to words.
CIPHRA_AVX512 __m512i Widen(__m512i b, int c)
{
    switch (c) {
    case 0:
        return _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 0));
    case 1:
        return _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 1));
    case 2:
        return _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 2));
    default:
        return _mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(b, 3));
    }
}

// Bytes 16c..16c+15 of b0..b3 as words b0 | b1 << 8 | b2 << 16 | b3 << 24.
CIPHRA_AVX512 __m512i Words(const __m512i* b, int c)
{
    return _mm512_or_si512(_mm512_or_si512(Widen(b[0], c), _mm512_slli_epi32(Widen(b[1], c), 8)),
                           _mm512_or_si512(_mm512_slli_epi32(Widen(b[2], c), 16),
                                           _mm512_slli_epi32(Widen(b[3], c), 24)));
}

// The last q stage and MDS column `pos` (as in TwofishTables) of 64 chained
// bytes, stored as 64 words.
CIPHRA_AVX512 void FinalStage(const Tables512& t, unsigned pos, __m512i y, std::uint32_t* out)
{
    // Column pos takes q1 for even positions, q0 for odd ones.
    const bool odd = (pos & 1) != 0;
    const __m512i q = Lookup(t.t[odd ? TQ0 : TQ1], y);
    const __m512i q5B = Lookup(t.t[odd ? T5BQ0 : T5BQ1], y);
    const __m512i qEF = Lookup(t.t[odd ? TEFQ0 : TEFQ1], y);
    __m512i b[4];
    switch (pos) {
    case 0:
        b[0] = q, b[1] = q5B, b[2] = qEF, b[3] = qEF;
        break;
    case 1:
        b[0] = qEF, b[1] = qEF, b[2] = q5B, b[3] = q;
        break;
    case 2:
        b[0] = q5B, b[1] = qEF, b[2] = q, b[3] = qEF;
        break;
    default:
        b[0] = q5B, b[1] = q, b[2] = qEF, b[3] = q5B;
        break;
    }
    for (int c = 0; c < 4; ++c) {
        _mm512_storeu_si512(out + 16 * c, Words(b, c));
    }
}

CIPHRA_AVX512 __m512i ByteRun(unsigned first)
{
    alignas(64) std::uint8_t bytes[64];
    for (unsigned i = 0; i < 64; ++i) {
        bytes[i] = static_cast<std::uint8_t>(first + i);
    }
    return _mm512_load_si512(bytes);
}

} // namespace

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void
ScheduleAvx512(TwofishContext& ctx, const std::uint32_t* even, const std::uint32_t* odd) noexcept
{
    Tables512 t;
    for (int i = 0; i < 6; ++i) {
        t.t[i] = Load(Tables[i]);
    }
    const unsigned k = ctx.KeyBits / 64;

    // h(2i) takes the even words, h(2i+1) the odd ones: bytes 0..63 go
    // through h together with the two words' bytes alternating (0..39 used).
    alignas(64) std::uint32_t words[4][64];
    __m512i key[4];
    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned w = 0; w < k; ++w) {
            const unsigned pair =
                ((odd[w] >> (8 * pos)) & 0xFF) << 8 | ((even[w] >> (8 * pos)) & 0xFF);
            key[w] = _mm512_set1_epi16(static_cast<short>(pair));
        }
        FinalStage(t, pos, Chain(t, k, pos, ByteRun(0), key), words[pos]);
    }
    RoundKeysFromColumns(words, ctx.RoundKeys);
    SecureWipe(words, sizeof words);

    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned w = 0; w < k; ++w) {
            key[w] = _mm512_set1_epi8(static_cast<char>(ctx.SBoxKeys[w] >> (8 * pos)));
        }
        for (unsigned x = 0; x < 256; x += 64) {
            FinalStage(t, pos, Chain(t, k, pos, ByteRun(x), key), ctx.KeyedSBoxes + 256 * pos + x);
        }
    }
    SecureWipe(key, sizeof key);
}

} // namespace ciphra::twofish_detail

#undef CIPHRA_AVX512

#endif
