// SHA-1 compression for CPUs without the SHA extensions, two blocks at a
// time. The message schedule of both blocks is computed with AVX2, four
// words of each block per 256-bit step (block one in the low lane, block two
// in the high lane), and stored with the round constant already added to a
// small aligned buffer. The rounds are scalar, with BMI2 rotations and
// BMI1 and-not, and read one word of that buffer each.
//
// The schedule of the next pair of blocks is computed while the rounds of
// this pair run, one step after every five rounds, into the other of two
// buffers, so the processor overlaps the two streams of work. Computed ahead
// of the rounds instead, its chain of dependent vector steps would sit
// between two blocks' rounds and add its whole latency. Words are stored 32
// bytes at a time and read 4 bytes at a time from inside those stores, which
// the store buffer forwards.

#include "core/crypto/sha1_compress.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/crypto/wipe.h"

#include <immintrin.h>

#include <bit>
#include <utility>

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

// One step of the schedule of blocks `first` and `second` (which may be the
// same block): group g of four words of each block, plus the round
// constant, to out[g]. x[] keeps the last eight groups, group g in x[g % 8].
template <int g>
CIPHRA_TARGET inline __attribute__((always_inline)) void
ScheduleStep(__m256i x[8], std::uint32_t* out, const std::uint8_t* first,
             const std::uint8_t* second) noexcept
{
    if constexpr (g < 4) {
        x[g] = LoadPair(first, second, g);
    } else if constexpr (g < 8) {
        // Words 16..31: w[t] = rotl(w[t-3] ^ w[t-8] ^ w[t-14] ^ w[t-16], 1).
        // The fourth word of a group needs the first (w[t-3] with t-3 in this
        // group): it is computed with that input zero and corrected
        // afterwards, since rotl(v ^ w, 1) = rotl(v, 1) ^ rotl(w, 1).
        const __m256i w16 = x[g - 4];
        const __m256i w14 = _mm256_alignr_epi8(x[g - 3], w16, 8);
        const __m256i w8 = x[g - 2];
        const __m256i w3 = _mm256_srli_si256(x[g - 1], 4);
        const __m256i v =
            Rotl(_mm256_xor_si256(_mm256_xor_si256(w16, w14), _mm256_xor_si256(w8, w3)), 1);
        x[g] = _mm256_xor_si256(v, Rotl(_mm256_slli_si256(v, 12), 1));
    } else {
        // Words 32..79: the recurrence applied twice gives
        // w[t] = rotl(w[t-6] ^ w[t-16] ^ w[t-28] ^ w[t-32], 2), whose inputs
        // all lie in earlier groups.
        const __m256i w6 = _mm256_alignr_epi8(x[(g - 1) % 8], x[(g - 2) % 8], 8);
        const __m256i v = _mm256_xor_si256(_mm256_xor_si256(w6, x[(g - 4) % 8]),
                                           _mm256_xor_si256(x[(g - 7) % 8], x[g % 8]));
        x[g % 8] = Rotl(v, 2);
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(out) + g,
                       _mm256_add_epi32(x[g % 8], RoundConstant(g)));
}

template <int... g>
CIPHRA_TARGET inline void ScheduleWhole(__m256i x[8], std::uint32_t* out, const std::uint8_t* first,
                                        const std::uint8_t* second,
                                        std::integer_sequence<int, g...>) noexcept
{
    (ScheduleStep<g>(x, out, first, second), ...);
}

} // namespace

// The round functions, each written so that the word computed two rounds
// ago (b) enters last. F3 (majority) is the sum of the disjoint c & d and
// b & (c ^ d); F1 (choice) the sum of the disjoint b & c and d & ~b.
#define CIPHRA_F1(e, b, c, d)                                                                      \
    e += (c) & (b);                                                                                \
    e += (d) & ~(b)
#define CIPHRA_F2(e, b, c, d) e += (b) ^ ((c) ^ (d))
#define CIPHRA_F3(e, b, c, d)                                                                      \
    e += (c) & (d);                                                                                \
    e += (b) & ((c) ^ (d))

// One round reading its word (plus constant) from wk; rotl(a, 5) joins the
// sum last, a being the word computed most recently.
#define CIPHRA_R(a, b, c, d, e, F, t)                                                              \
    do {                                                                                           \
        e += wk[((t) / 4) * 8 + ((t) % 4)];                                                        \
        F(e, b, c, d);                                                                             \
        e += std::rotl(a, 5);                                                                      \
        b = std::rotl(b, 30);                                                                      \
    } while (false)

#define CIPHRA_R5(F, t)                                                                            \
    CIPHRA_R(a, b, c, d, e, F, (t));                                                               \
    CIPHRA_R(e, a, b, c, d, F, (t) + 1);                                                           \
    CIPHRA_R(d, e, a, b, c, F, (t) + 2);                                                           \
    CIPHRA_R(c, d, e, a, b, F, (t) + 3);                                                           \
    CIPHRA_R(b, c, d, e, a, F, (t) + 4)

// Five rounds, then step s of the next pair's schedule.
#define CIPHRA_R5S(F, t, s)                                                                        \
    CIPHRA_R5(F, t);                                                                               \
    ScheduleStep<s>(x, next, nextFirst, nextSecond)

#define CIPHRA_LOAD_STATE()                                                                        \
    std::uint32_t a = h[0];                                                                        \
    std::uint32_t b = h[1];                                                                        \
    std::uint32_t c = h[2];                                                                        \
    std::uint32_t d = h[3];                                                                        \
    std::uint32_t e = h[4]

#define CIPHRA_ADD_STATE()                                                                         \
    h[0] += a;                                                                                     \
    h[1] += b;                                                                                     \
    h[2] += c;                                                                                     \
    h[3] += d;                                                                                     \
    h[4] += e

CIPHRA_TARGET void CompressAvx2(std::uint32_t h[5], const std::uint8_t* data,
                                std::size_t blocks) noexcept
{
    if (blocks == 0) {
        return;
    }
    PairSchedule schedule[2];
    std::uint32_t* current = schedule[0].Words;
    std::uint32_t* next = schedule[1].Words;
    __m256i x[8];
    // A last odd block is scheduled as a pair with itself.
    ScheduleWhole(x, current, data, data + (blocks > 1 ? 64 : 0),
                  std::make_integer_sequence<int, 20>());

    for (;;) {
        // The pair after this one: two blocks, one block twice, or (past the
        // end) this pair again, whose schedule is then never used.
        const std::uint8_t* nextFirst = blocks > 2 ? data + 128 : data;
        const std::uint8_t* nextSecond = blocks > 3 ? data + 192 : nextFirst;
        const std::uint32_t* wk = current;
        {
            CIPHRA_LOAD_STATE();
            CIPHRA_R5S(CIPHRA_F1, 0, 0);
            CIPHRA_R5S(CIPHRA_F1, 5, 1);
            CIPHRA_R5S(CIPHRA_F1, 10, 2);
            CIPHRA_R5S(CIPHRA_F1, 15, 3);
            CIPHRA_R5S(CIPHRA_F2, 20, 4);
            CIPHRA_R5S(CIPHRA_F2, 25, 5);
            CIPHRA_R5S(CIPHRA_F2, 30, 6);
            CIPHRA_R5S(CIPHRA_F2, 35, 7);
            CIPHRA_R5S(CIPHRA_F3, 40, 8);
            CIPHRA_R5S(CIPHRA_F3, 45, 9);
            CIPHRA_R5S(CIPHRA_F3, 50, 10);
            CIPHRA_R5S(CIPHRA_F3, 55, 11);
            CIPHRA_R5S(CIPHRA_F2, 60, 12);
            CIPHRA_R5S(CIPHRA_F2, 65, 13);
            CIPHRA_R5S(CIPHRA_F2, 70, 14);
            CIPHRA_R5S(CIPHRA_F2, 75, 15);
            CIPHRA_ADD_STATE();
        }
        if (blocks == 1) {
            break;
        }
        wk = current + 4;
        {
            CIPHRA_LOAD_STATE();
            CIPHRA_R5S(CIPHRA_F1, 0, 16);
            CIPHRA_R5S(CIPHRA_F1, 5, 17);
            CIPHRA_R5S(CIPHRA_F1, 10, 18);
            CIPHRA_R5S(CIPHRA_F1, 15, 19);
            CIPHRA_R5(CIPHRA_F2, 20);
            CIPHRA_R5(CIPHRA_F2, 25);
            CIPHRA_R5(CIPHRA_F2, 30);
            CIPHRA_R5(CIPHRA_F2, 35);
            CIPHRA_R5(CIPHRA_F3, 40);
            CIPHRA_R5(CIPHRA_F3, 45);
            CIPHRA_R5(CIPHRA_F3, 50);
            CIPHRA_R5(CIPHRA_F3, 55);
            CIPHRA_R5(CIPHRA_F2, 60);
            CIPHRA_R5(CIPHRA_F2, 65);
            CIPHRA_R5(CIPHRA_F2, 70);
            CIPHRA_R5(CIPHRA_F2, 75);
            CIPHRA_ADD_STATE();
        }
        blocks -= 2;
        if (blocks == 0) {
            break;
        }
        data += 128;
        std::swap(current, next);
    }
    SecureWipe(schedule, sizeof schedule);
}

#undef CIPHRA_ADD_STATE
#undef CIPHRA_LOAD_STATE
#undef CIPHRA_R5S
#undef CIPHRA_R5
#undef CIPHRA_R
#undef CIPHRA_F3
#undef CIPHRA_F2
#undef CIPHRA_F1
#undef CIPHRA_TARGET

} // namespace ciphra::sha1_detail

#endif
