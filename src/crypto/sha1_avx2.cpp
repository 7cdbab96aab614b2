// SHA-1 compression for CPUs without the SHA extensions, two blocks at a
// time. The message schedule of both blocks is computed with AVX2, four
// words of each block per 256-bit step (block one in the low lane, block two
// in the high lane), and stored with the round constant already added to a
// small aligned buffer. The rounds are scalar, with BMI2 rotations and
// BMI1 and-not, and read one word of that buffer each.
//
// The schedule of the next pair of blocks is computed while the rounds of
// the second block of this pair run: the rounds only read the buffer and the
// schedule only writes the other half of it, so the two streams of work are
// independent and the processor overlaps them. Words are stored 16 bytes
// at a time and read 4 bytes at a time from inside those stores, which the
// store buffer forwards.

#include "crypto/sha1_compress.h"

#if defined(__x86_64__) || defined(__i386__)

#include "crypto/wipe.h"

#include <immintrin.h>

#include <bit>

namespace ciphra::sha1_detail {

namespace {

// One schedule: 20 groups of four words; each group holds block one's four
// words, then block two's.
struct alignas(32) PairSchedule {
    std::uint32_t Words[20 * 8];
};

#define CIPHRA_TARGET __attribute__((target("avx2,bmi,bmi2")))

CIPHRA_TARGET inline __m256i Rotl(__m256i x, int n) noexcept
{
    return _mm256_or_si256(_mm256_slli_epi32(x, n), _mm256_srli_epi32(x, 32 - n));
}

CIPHRA_TARGET inline __m256i LoadPair(const std::uint8_t* first, const std::uint8_t* second,
                                      int group) noexcept
{
    // Big-endian words.
    const __m256i order = _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3,
                                           2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 16 * group));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + 16 * group));
    return _mm256_shuffle_epi8(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), order);
}

CIPHRA_TARGET inline __m256i RoundConstant(int group) noexcept
{
    constexpr std::uint32_t K[4] = {0x5A827999U, 0x6ED9EBA1U, 0x8F1BBCDCU, 0xCA62C1D6U};
    return _mm256_set1_epi32(static_cast<int>(K[group / 5]));
}

// The schedule of blocks `first` and `second` (which may be the same block).
// x[] keeps the last eight groups of words, group g in x[g % 8].
CIPHRA_TARGET inline void SchedulePair(PairSchedule& out, const std::uint8_t* first,
                                       const std::uint8_t* second) noexcept
{
    __m256i x[8];
    auto* dst = reinterpret_cast<__m256i*>(out.Words);
    for (int g = 0; g < 4; ++g) {
        x[g] = LoadPair(first, second, g);
        _mm256_store_si256(dst + g, _mm256_add_epi32(x[g], RoundConstant(g)));
    }
    // Words 16..31: w[t] = rotl(w[t-3] ^ w[t-8] ^ w[t-14] ^ w[t-16], 1). The
    // fourth word of a group needs the first (w[t-3] with t-3 in this group):
    // it is computed with that input zero and corrected afterwards, since
    // rotl(v ^ w, 1) = rotl(v, 1) ^ rotl(w, 1).
    for (int g = 4; g < 8; ++g) {
        const __m256i w16 = x[(g - 4) % 8];
        const __m256i w14 = _mm256_alignr_epi8(x[(g - 3) % 8], w16, 8);
        const __m256i w8 = x[(g - 2) % 8];
        const __m256i w3 = _mm256_srli_si256(x[(g - 1) % 8], 4);
        const __m256i v =
            Rotl(_mm256_xor_si256(_mm256_xor_si256(w16, w14), _mm256_xor_si256(w8, w3)), 1);
        const __m256i fix = Rotl(_mm256_slli_si256(v, 12), 1);
        x[g] = _mm256_xor_si256(v, fix);
        _mm256_store_si256(dst + g, _mm256_add_epi32(x[g], RoundConstant(g)));
    }
    // Words 32..79: the recurrence applied twice gives
    // w[t] = rotl(w[t-6] ^ w[t-16] ^ w[t-28] ^ w[t-32], 2), whose inputs all
    // lie in earlier groups.
    for (int g = 8; g < 20; ++g) {
        const __m256i w6 = _mm256_alignr_epi8(x[(g - 1) % 8], x[(g - 2) % 8], 8);
        const __m256i v = _mm256_xor_si256(_mm256_xor_si256(w6, x[(g - 4) % 8]),
                                           _mm256_xor_si256(x[(g - 7) % 8], x[g % 8]));
        x[g % 8] = Rotl(v, 2);
        _mm256_store_si256(dst + g, _mm256_add_epi32(x[g % 8], RoundConstant(g)));
    }
}

} // namespace

// The round functions; F3 (majority) is a sum of disjoint bits, so its two
// halves are added separately and neither waits for the other.
#define CIPHRA_F1(b, c, d) (((c) & (b)) + ((d) & ~(b)))
#define CIPHRA_F2(b, c, d) ((b) ^ (c) ^ (d))
#define CIPHRA_F3(b, c, d) (((b) & (c)) + ((d) & ((b) ^ (c))))

// e takes the round's word, then f(b, c, d), then rotl(a, 5) last: a is the
// value computed most recently, so it joins the sum at the end of the chain.
#define CIPHRA_R(a, b, c, d, e, F, t)                                                              \
    do {                                                                                           \
        e += wk[((t) / 4) * 8 + ((t) % 4)];                                                        \
        e += F(b, c, d);                                                                           \
        e += std::rotl(a, 5);                                                                      \
        b = std::rotl(b, 30);                                                                      \
    } while (false)

#define CIPHRA_R5(F, t)                                                                            \
    CIPHRA_R(a, b, c, d, e, F, (t));                                                               \
    CIPHRA_R(e, a, b, c, d, F, (t) + 1);                                                           \
    CIPHRA_R(d, e, a, b, c, F, (t) + 2);                                                           \
    CIPHRA_R(c, d, e, a, b, F, (t) + 3);                                                           \
    CIPHRA_R(b, c, d, e, a, F, (t) + 4)

#define CIPHRA_R20(F, t)                                                                           \
    CIPHRA_R5(F, (t));                                                                             \
    CIPHRA_R5(F, (t) + 5);                                                                         \
    CIPHRA_R5(F, (t) + 10);                                                                        \
    CIPHRA_R5(F, (t) + 15)

namespace {

// The 80 rounds of one block whose words (plus constants) are wk[group * 8 + i].
CIPHRA_TARGET inline void Rounds(std::uint32_t h[5], const std::uint32_t* wk) noexcept
{
    std::uint32_t a = h[0];
    std::uint32_t b = h[1];
    std::uint32_t c = h[2];
    std::uint32_t d = h[3];
    std::uint32_t e = h[4];
    CIPHRA_R20(CIPHRA_F1, 0);
    CIPHRA_R20(CIPHRA_F2, 20);
    CIPHRA_R20(CIPHRA_F3, 40);
    CIPHRA_R20(CIPHRA_F2, 60);
    h[0] += a;
    h[1] += b;
    h[2] += c;
    h[3] += d;
    h[4] += e;
}

} // namespace

#undef CIPHRA_R20
#undef CIPHRA_R5
#undef CIPHRA_R
#undef CIPHRA_F3
#undef CIPHRA_F2
#undef CIPHRA_F1

CIPHRA_TARGET void CompressAvx2(std::uint32_t h[5], const std::uint8_t* data,
                                std::size_t blocks) noexcept
{
    PairSchedule schedule[2];
    int current = 0;
    // A last odd block is scheduled as a pair with itself.
    SchedulePair(schedule[0], data, data + (blocks > 1 ? 64 : 0));
    while (blocks > 0) {
        const std::uint32_t* wk = schedule[current].Words;
        Rounds(h, wk);
        if (blocks == 1) {
            break;
        }
        if (blocks > 2) {
            const std::uint8_t* next = data + 128;
            SchedulePair(schedule[1 - current], next, next + (blocks > 3 ? 64 : 0));
        }
        Rounds(h, wk + 4);
        current = 1 - current;
        data += 128;
        blocks -= 2;
    }
    SecureWipe(schedule, sizeof schedule);
}

#undef CIPHRA_TARGET

} // namespace ciphra::sha1_detail

#endif
