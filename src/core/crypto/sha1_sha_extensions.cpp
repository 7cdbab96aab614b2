// SHA-1 compression with the x86 SHA extensions: four rounds per
// sha1rnds4, the message schedule with sha1msg1/sha1msg2.

#include "core/crypto/sha1_compress.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace ciphra::sha1_detail {

// Four rounds, group g of 20. e[g % 2] takes this group's message words and
// e[(g + 1) % 2] keeps the state for the next group's e; the message words of
// groups g+1..g+3 advance as far as this group allows.
#define CIPHRA_SHA1_GROUP(g)                                                                       \
    do {                                                                                           \
        constexpr int cur = (g) % 2;                                                               \
        if ((g) == 0) {                                                                            \
            e[cur] = _mm_add_epi32(e[cur], m[0]);                                                  \
        } else {                                                                                   \
            e[cur] = _mm_sha1nexte_epu32(e[cur], m[(g) % 4]);                                      \
        }                                                                                          \
        e[1 - cur] = abcd;                                                                         \
        if ((g) >= 3 && (g) <= 18) {                                                               \
            m[((g) + 1) % 4] = _mm_sha1msg2_epu32(m[((g) + 1) % 4], m[(g) % 4]);                   \
        }                                                                                          \
        abcd = _mm_sha1rnds4_epu32(abcd, e[cur], (g) / 5);                                         \
        if ((g) >= 1 && (g) <= 16) {                                                               \
            m[((g) + 3) % 4] = _mm_sha1msg1_epu32(m[((g) + 3) % 4], m[(g) % 4]);                   \
        }                                                                                          \
        if ((g) >= 2 && (g) <= 17) {                                                               \
            m[((g) + 2) % 4] = _mm_xor_si128(m[((g) + 2) % 4], m[(g) % 4]);                        \
        }                                                                                          \
        if ((g) <= 2) {                                                                            \
            m[((g) + 1) % 4] = _mm_shuffle_epi8(                                                   \
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * ((g) + 1))), order);  \
        }                                                                                          \
    } while (false)

__attribute__((target("sha,sse4.1,ssse3"))) void
CompressShaExtensions(std::uint32_t h[5], const std::uint8_t* data, std::size_t blocks) noexcept
{
    // Big-endian words, in the order the instructions want them (word 0 high).
    const __m128i order = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h)), 0x1B);
    __m128i eSaved = _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0);

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdSaved = abcd;
        __m128i e[2] = {eSaved, _mm_setzero_si128()};
        __m128i m[4];
        m[0] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), order);
        CIPHRA_SHA1_GROUP(0);
        CIPHRA_SHA1_GROUP(1);
        CIPHRA_SHA1_GROUP(2);
        CIPHRA_SHA1_GROUP(3);
        CIPHRA_SHA1_GROUP(4);
        CIPHRA_SHA1_GROUP(5);
        CIPHRA_SHA1_GROUP(6);
        CIPHRA_SHA1_GROUP(7);
        CIPHRA_SHA1_GROUP(8);
        CIPHRA_SHA1_GROUP(9);
        CIPHRA_SHA1_GROUP(10);
        CIPHRA_SHA1_GROUP(11);
        CIPHRA_SHA1_GROUP(12);
        CIPHRA_SHA1_GROUP(13);
        CIPHRA_SHA1_GROUP(14);
        CIPHRA_SHA1_GROUP(15);
        CIPHRA_SHA1_GROUP(16);
        CIPHRA_SHA1_GROUP(17);
        CIPHRA_SHA1_GROUP(18);
        CIPHRA_SHA1_GROUP(19);
        // e[0] holds the state before the last group: its rotated a is the new e.
        eSaved = _mm_sha1nexte_epu32(e[0], eSaved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }

    _mm_storeu_si128(reinterpret_cast<__m128i*>(h), _mm_shuffle_epi32(abcd, 0x1B));
    h[4] = static_cast<std::uint32_t>(_mm_extract_epi32(eSaved, 3));
}

#undef CIPHRA_SHA1_GROUP

} // namespace ciphra::sha1_detail

#endif
