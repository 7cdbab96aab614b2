// SHA-1 compression in plain C++: the 80 rounds written out, the five state
// words renamed from round to round instead of moved, and the message
// schedule kept as a rolling window of 16 words, each computed just before
// its round so that it overlaps the rounds' dependency chain.

#include "core/crypto/sha1_compress.h"
#include "core/crypto/wipe.h"

#include <bit>
#include <cstring>

namespace ciphra::sha1_detail {

namespace {

inline std::uint32_t LoadBE32(const std::uint8_t* p) noexcept
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little) {
        v = __builtin_bswap32(v);
    }
    return v;
}

} // namespace

// The round functions; F3 is the majority written as a sum of disjoint bits,
// which lets its two halves be added separately.
#define CIPHRA_F1(b, c, d) ((d) ^ ((b) & ((c) ^ (d))))
#define CIPHRA_F2(b, c, d) ((b) ^ (c) ^ (d))
#define CIPHRA_F3(b, c, d) (((b) & (c)) + ((d) & ((b) ^ (c))))

#define CIPHRA_W(t)                                                                                \
    ((t) < 16 ? w[(t)]                                                                             \
              : (w[(t)&15] = std::rotl(                                                            \
                     w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1)))

#define CIPHRA_R(a, b, c, d, e, F, k, t)                                                           \
    do {                                                                                           \
        e += std::rotl(a, 5) + F(b, c, d) + (k) + CIPHRA_W(t);                                     \
        b = std::rotl(b, 30);                                                                      \
    } while (false)

#define CIPHRA_R5(F, k, t)                                                                         \
    CIPHRA_R(a, b, c, d, e, F, k, (t));                                                            \
    CIPHRA_R(e, a, b, c, d, F, k, (t) + 1);                                                        \
    CIPHRA_R(d, e, a, b, c, F, k, (t) + 2);                                                        \
    CIPHRA_R(c, d, e, a, b, F, k, (t) + 3);                                                        \
    CIPHRA_R(b, c, d, e, a, F, k, (t) + 4)

#define CIPHRA_R20(F, k, t)                                                                        \
    CIPHRA_R5(F, k, (t));                                                                          \
    CIPHRA_R5(F, k, (t) + 5);                                                                      \
    CIPHRA_R5(F, k, (t) + 10);                                                                     \
    CIPHRA_R5(F, k, (t) + 15)

void CompressPortable(std::uint32_t h[5], const std::uint8_t* data, std::size_t blocks) noexcept
{
    std::uint32_t w[16];
    for (; blocks > 0; --blocks, data += 64) {
        for (int t = 0; t < 16; ++t) {
            w[t] = LoadBE32(data + 4 * t);
        }
        std::uint32_t a = h[0];
        std::uint32_t b = h[1];
        std::uint32_t c = h[2];
        std::uint32_t d = h[3];
        std::uint32_t e = h[4];
        CIPHRA_R20(CIPHRA_F1, 0x5A827999U, 0);
        CIPHRA_R20(CIPHRA_F2, 0x6ED9EBA1U, 20);
        CIPHRA_R20(CIPHRA_F3, 0x8F1BBCDCU, 40);
        CIPHRA_R20(CIPHRA_F2, 0xCA62C1D6U, 60);
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    SecureWipe(w, sizeof w);
}

#undef CIPHRA_R20
#undef CIPHRA_R5
#undef CIPHRA_R
#undef CIPHRA_W
#undef CIPHRA_F3
#undef CIPHRA_F2
#undef CIPHRA_F1

} // namespace ciphra::sha1_detail
