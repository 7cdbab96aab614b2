// Eight Twofish decryptions side by side: word j of the eight blocks sits in
// one 256-bit register, and every S-box lookup of a round is one vpgatherdd.
// Also the key schedule's byte stages, 32 bytes per register.

#include "core/crypto/twofish_avx2.h"

#include "core/crypto/twofish_tables.h"
#include "core/crypto/wipe.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#define CIPHRA_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace ciphra::twofish_detail {

namespace {

constexpr int GroupsAtOnce = 2;

CIPHRA_AVX2 __m256i Rotl(__m256i x, int n)
{
    return _mm256_or_si256(_mm256_slli_epi32(x, n), _mm256_srli_epi32(x, 32 - n));
}

CIPHRA_AVX2 __m256i Lookup(const std::uint32_t* box, __m256i x, int shift)
{
    const __m256i index = _mm256_and_si256(_mm256_srli_epi32(x, shift), _mm256_set1_epi32(0xFF));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(box), index, 4);
}

// The keyed boxes are stored one after another: box j at words 256*j.
CIPHRA_AVX2 __m256i G0(const std::uint32_t* s, __m256i x)
{
    return _mm256_xor_si256(_mm256_xor_si256(Lookup(s, x, 0), Lookup(s + 256, x, 8)),
                            _mm256_xor_si256(Lookup(s + 512, x, 16), Lookup(s + 768, x, 24)));
}

// G0 of x rotated left by 8.
CIPHRA_AVX2 __m256i G1(const std::uint32_t* s, __m256i x)
{
    return _mm256_xor_si256(_mm256_xor_si256(Lookup(s, x, 24), Lookup(s + 256, x, 0)),
                            _mm256_xor_si256(Lookup(s + 512, x, 8), Lookup(s + 768, x, 16)));
}

CIPHRA_AVX2 __m256i Key(const std::uint32_t* k, int i)
{
    return _mm256_set1_epi32(static_cast<int>(k[i]));
}

// Four registers of two blocks each become four registers of one word of
// eight blocks each (block order 0,2,4,6 | 1,3,5,7); the same steps turn them
// back.
CIPHRA_AVX2 void Transpose(__m256i& a, __m256i& b, __m256i& c, __m256i& d)
{
    const __m256i t0 = _mm256_unpacklo_epi32(a, b);
    const __m256i t1 = _mm256_unpackhi_epi32(a, b);
    const __m256i t2 = _mm256_unpacklo_epi32(c, d);
    const __m256i t3 = _mm256_unpackhi_epi32(c, d);
    a = _mm256_unpacklo_epi64(t0, t2);
    b = _mm256_unpackhi_epi64(t0, t2);
    c = _mm256_unpacklo_epi64(t1, t3);
    d = _mm256_unpackhi_epi64(t1, t3);
}

CIPHRA_AVX2 __m256i Load(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// N groups of eight blocks (128 bytes each) decrypted together, so that the
// gathers of one group run while another waits for its loads.
template <int N>
CIPHRA_AVX2 __m128i DecryptGroups(const TwofishContext& ctx, const std::uint8_t* in,
                                  std::uint8_t* out, __m128i chain)
{
    const std::uint32_t* k = ctx.RoundKeys;
    const std::uint32_t* s = ctx.KeyedSBoxes;
    // All input is read before any output is written, so in place works.
    __m256i c[N][4];
    __m256i xa[N], xb[N], xc[N], xd[N];
    for (int g = 0; g < N; ++g) {
        for (int j = 0; j < 4; ++j) {
            c[g][j] = Load(in + 128 * g + 32 * j);
        }
        __m256i p = c[g][0];
        __m256i q = c[g][1];
        __m256i r = c[g][2];
        __m256i t = c[g][3];
        Transpose(p, q, r, t);
        // Encryption's naming as in the scalar code: (c, d, a, b).
        xc[g] = _mm256_xor_si256(p, Key(k, 4));
        xd[g] = _mm256_xor_si256(q, Key(k, 5));
        xa[g] = _mm256_xor_si256(r, Key(k, 6));
        xb[g] = _mm256_xor_si256(t, Key(k, 7));
    }
    for (int step = 7; step >= 0; --step) {
        const std::uint32_t* rk = k + 8 + 4 * step;
        for (int g = 0; g < N; ++g) {
            const __m256i t0 = G0(s, xc[g]);
            const __m256i t1 = G1(s, xd[g]);
            const __m256i f0 = _mm256_add_epi32(_mm256_add_epi32(t0, t1), Key(rk, 2));
            const __m256i f1 =
                _mm256_add_epi32(_mm256_add_epi32(t0, _mm256_add_epi32(t1, t1)), Key(rk, 3));
            xa[g] = _mm256_xor_si256(Rotl(xa[g], 1), f0);
            xb[g] = Rotl(_mm256_xor_si256(xb[g], f1), 31);
        }
        for (int g = 0; g < N; ++g) {
            const __m256i t0 = G0(s, xa[g]);
            const __m256i t1 = G1(s, xb[g]);
            const __m256i f0 = _mm256_add_epi32(_mm256_add_epi32(t0, t1), Key(rk, 0));
            const __m256i f1 =
                _mm256_add_epi32(_mm256_add_epi32(t0, _mm256_add_epi32(t1, t1)), Key(rk, 1));
            xc[g] = _mm256_xor_si256(Rotl(xc[g], 1), f0);
            xd[g] = Rotl(_mm256_xor_si256(xd[g], f1), 31);
        }
    }
    for (int g = 0; g < N; ++g) {
        __m256i p = _mm256_xor_si256(xa[g], Key(k, 0));
        __m256i q = _mm256_xor_si256(xb[g], Key(k, 1));
        __m256i r = _mm256_xor_si256(xc[g], Key(k, 2));
        __m256i t = _mm256_xor_si256(xd[g], Key(k, 3));
        Transpose(p, q, r, t);
        // Each plaintext block is its decryption XOR the ciphertext before it.
        const __m256i* cg = c[g];
        std::uint8_t* o = out + 128 * g;
        const __m256i prev01 = _mm256_inserti128_si256(_mm256_castsi128_si256(chain),
                                                       _mm256_castsi256_si128(cg[0]), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o), _mm256_xor_si256(p, prev01));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 32),
                            _mm256_xor_si256(q, _mm256_permute2x128_si256(cg[0], cg[1], 0x21)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 64),
                            _mm256_xor_si256(r, _mm256_permute2x128_si256(cg[1], cg[2], 0x21)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 96),
                            _mm256_xor_si256(t, _mm256_permute2x128_si256(cg[2], cg[3], 0x21)));
        chain = _mm256_extracti128_si256(cg[3], 1);
    }
    return chain;
}

// A q permutation on 32 bytes at once, from its 4-bit halves: every nibble
// table lookup is one vpshufb.
struct QNibbleTables {
    __m256i t[4];
    __m256i rotated; // ROR4(b, 1)
    __m256i times9;  // a ^ (8a mod 16)
};

CIPHRA_AVX2 __m256i Broadcast16(const std::array<std::uint8_t, 16>& bytes)
{
    return _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data())));
}

CIPHRA_AVX2 QNibbleTables MakeQNibbleTables(const Nibbles& t)
{
    std::array<std::uint8_t, 16> rotated{};
    std::array<std::uint8_t, 16> times9{};
    for (unsigned v = 0; v < 16; ++v) {
        rotated[v] = RotateNibbleRight(static_cast<std::uint8_t>(v));
        times9[v] = static_cast<std::uint8_t>(v ^ ((8 * v) & 15));
    }
    return {{Broadcast16(t[0]), Broadcast16(t[1]), Broadcast16(t[2]), Broadcast16(t[3])},
            Broadcast16(rotated),
            Broadcast16(times9)};
}

CIPHRA_AVX2 __m256i ApplyQ(const QNibbleTables& q, __m256i x)
{
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i a0 = _mm256_and_si256(_mm256_srli_epi16(x, 4), low);
    const __m256i b0 = _mm256_and_si256(x, low);
    const __m256i a1 = _mm256_xor_si256(a0, b0);
    const __m256i b1 =
        _mm256_xor_si256(_mm256_shuffle_epi8(q.times9, a0), _mm256_shuffle_epi8(q.rotated, b0));
    const __m256i a2 = _mm256_shuffle_epi8(q.t[0], a1);
    const __m256i b2 = _mm256_shuffle_epi8(q.t[1], b1);
    const __m256i a3 = _mm256_xor_si256(a2, b2);
    const __m256i b3 =
        _mm256_xor_si256(_mm256_shuffle_epi8(q.times9, a2), _mm256_shuffle_epi8(q.rotated, b2));
    const __m256i a4 = _mm256_shuffle_epi8(q.t[2], a3);
    const __m256i b4 = _mm256_shuffle_epi8(q.t[3], b3);
    return _mm256_or_si256(_mm256_slli_epi16(b4, 4), a4);
}

} // namespace

__attribute__((target("avx2"))) std::size_t CbcDecryptBlocksAvx2(TwofishContext& ctx,
                                                                 const std::uint8_t* in,
                                                                 std::uint8_t* out,
                                                                 std::size_t blocks) noexcept
{
    __m128i chain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ctx.ChainVector));
    const std::size_t done = blocks / 8 * 8;
    std::size_t i = 0;
    for (; i + GroupsAtOnce * 8 <= done; i += GroupsAtOnce * 8) {
        chain = DecryptGroups<GroupsAtOnce>(ctx, in + 16 * i, out + 16 * i, chain);
    }
    for (; i < done; i += 8) {
        chain = DecryptGroups<1>(ctx, in + 16 * i, out + 16 * i, chain);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ctx.ChainVector), chain);
    return done;
}

namespace {

// The byte stages of h at column Pos for K key words, on the 32 bytes
// x..x+31, whose key bytes at this position are broadcast in key[0..K-1]
// (the round keys alternate two words' bytes). The first stage sees the
// bytes in order, so its q is read from the table rather than computed.
template <unsigned K, unsigned Pos>
CIPHRA_AVX2 __m256i Chain(const QNibbleTables& q0, const QNibbleTables& q1, unsigned x,
                          const __m256i* key)
{
    const std::uint8_t* first = (StageUsesQ1(K - 1, Pos) ? Q1 : Q0).data() + x;
    __m256i y =
        _mm256_xor_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(first)), key[K - 1]);
    if constexpr (K == 4) {
        y = _mm256_xor_si256(ApplyQ(StageUsesQ1(2, Pos) ? q1 : q0, y), key[2]);
    }
    if constexpr (K >= 3) {
        y = _mm256_xor_si256(ApplyQ(StageUsesQ1(1, Pos) ? q1 : q0, y), key[1]);
    }
    return _mm256_xor_si256(ApplyQ(StageUsesQ1(0, Pos) ? q1 : q0, y), key[0]);
}

} // namespace

namespace {

template <std::uint32_t (*Multiply)(std::uint32_t)>
constexpr std::array<std::uint8_t, 16> NibbleProducts(unsigned shift) noexcept
{
    std::array<std::uint8_t, 16> t{};
    for (unsigned n = 0; n < 16; ++n) {
        t[n] = static_cast<std::uint8_t>(Multiply(n << shift));
    }
    return t;
}

// Multiplication of 32 bytes by a constant of the MDS field: the product is
// linear, so it is the XOR of the products of the two nibbles.
CIPHRA_AVX2 __m256i MultiplyBytes(const __m256i* tables, __m256i x)
{
    const __m256i low = _mm256_set1_epi8(0x0F);
    return _mm256_xor_si256(
        _mm256_shuffle_epi8(tables[0], _mm256_and_si256(x, low)),
        _mm256_shuffle_epi8(tables[1], _mm256_and_si256(_mm256_srli_epi16(x, 4), low)));
}

// Four registers of bytes become eight-word runs: word x of the 32 is byte
// x of b0 | b1 << 8 | b2 << 16 | b3 << 24.
CIPHRA_AVX2 void StoreWords(__m256i* out, __m256i b0, __m256i b1, __m256i b2, __m256i b3)
{
    const __m256i lo01 = _mm256_unpacklo_epi8(b0, b1);
    const __m256i hi01 = _mm256_unpackhi_epi8(b0, b1);
    const __m256i lo23 = _mm256_unpacklo_epi8(b2, b3);
    const __m256i hi23 = _mm256_unpackhi_epi8(b2, b3);
    const __m256i d0 = _mm256_unpacklo_epi16(lo01, lo23); // x0..3 | x16..19
    const __m256i d1 = _mm256_unpackhi_epi16(lo01, lo23); // x4..7 | x20..23
    const __m256i d2 = _mm256_unpacklo_epi16(hi01, hi23); // x8..11 | x24..27
    const __m256i d3 = _mm256_unpackhi_epi16(hi01, hi23); // x12..15 | x28..31
    _mm256_storeu_si256(out, _mm256_permute2x128_si256(d0, d1, 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(d2, d3, 0x20));
    _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(d0, d1, 0x31));
    _mm256_storeu_si256(out + 3, _mm256_permute2x128_si256(d2, d3, 0x31));
}

struct StageTables {
    QNibbleTables q0, q1;
    __m256i times5B[2], timesEF[2];
};

CIPHRA_AVX2 StageTables MakeStageTables()
{
    return {MakeQNibbleTables(Q0Nibbles),
            MakeQNibbleTables(Q1Nibbles),
            {Broadcast16(NibbleProducts<Mul5B>(0)), Broadcast16(NibbleProducts<Mul5B>(4))},
            {Broadcast16(NibbleProducts<MulEF>(0)), Broadcast16(NibbleProducts<MulEF>(4))}};
}

// The last q stage and MDS column Pos (as in TwofishTables) of 32 bytes,
// stored as 32 words.
template <unsigned Pos>
CIPHRA_AVX2 void FinalStageWords(const StageTables& t, __m256i chained, __m256i* out)
{
    const __m256i y = ApplyQ(Pos % 2 == 0 ? t.q1 : t.q0, chained);
    const __m256i y5B = MultiplyBytes(t.times5B, y);
    const __m256i yEF = MultiplyBytes(t.timesEF, y);
    if constexpr (Pos == 0) {
        StoreWords(out, y, y5B, yEF, yEF);
    } else if constexpr (Pos == 1) {
        StoreWords(out, yEF, yEF, y5B, y);
    } else if constexpr (Pos == 2) {
        StoreWords(out, y5B, yEF, y, yEF);
    } else {
        StoreWords(out, y5B, y, yEF, y5B);
    }
}

// Column Pos of h for the bytes 0..count-1 (a multiple of 32) into out.
template <unsigned K, unsigned Pos>
CIPHRA_AVX2 void HColumn(const StageTables& t, const __m256i* key, unsigned count,
                         std::uint32_t* out)
{
    for (unsigned x = 0; x < count; x += 32) {
        FinalStageWords<Pos>(t, Chain<K, Pos>(t.q0, t.q1, x, key),
                             reinterpret_cast<__m256i*>(out + x));
    }
}

// All four columns; key[pos][w] holds word w's byte at position pos, and
// column pos goes to out + pos * stride.
template <unsigned K>
CIPHRA_AVX2 void HColumns(const __m256i (&key)[4][4], unsigned count, std::uint32_t* out,
                          unsigned stride)
{
    const StageTables t = MakeStageTables();
    HColumn<K, 0>(t, key[0], count, out);
    HColumn<K, 1>(t, key[1], count, out + stride);
    HColumn<K, 2>(t, key[2], count, out + 2 * stride);
    HColumn<K, 3>(t, key[3], count, out + 3 * stride);
}

__attribute__((target("avx2"))) void HColumnsForKey(unsigned k, const __m256i (&key)[4][4],
                                                    unsigned count, std::uint32_t* out,
                                                    unsigned stride)
{
    if (k == 2) {
        HColumns<2>(key, count, out, stride);
    } else if (k == 3) {
        HColumns<3>(key, count, out, stride);
    } else {
        HColumns<4>(key, count, out, stride);
    }
}

} // namespace

__attribute__((target("avx2"))) void BuildKeyedSBoxesAvx2(TwofishContext& ctx) noexcept
{
    const unsigned k = ctx.KeyBits / 64;
    __m256i key[4][4] = {};
    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned w = 0; w < k; ++w) {
            key[pos][w] = _mm256_set1_epi8(static_cast<char>(ctx.SBoxKeys[w] >> (8 * pos)));
        }
    }
    HColumnsForKey(k, key, 256, ctx.KeyedSBoxes, 256);
    SecureWipe(key, sizeof key);
}

__attribute__((target("avx2"))) void RoundKeysAvx2(TwofishContext& ctx, const std::uint32_t* even,
                                                   const std::uint32_t* odd) noexcept
{
    const unsigned k = ctx.KeyBits / 64;
    // h(2i) takes the even words, h(2i+1) the odd ones: bytes 0..63 go through
    // h together with the two words' bytes alternating (0..39 are used).
    __m256i key[4][4] = {};
    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned w = 0; w < k; ++w) {
            const unsigned pair =
                ((odd[w] >> (8 * pos)) & 0xFF) << 8 | ((even[w] >> (8 * pos)) & 0xFF);
            key[pos][w] = _mm256_set1_epi16(static_cast<short>(pair));
        }
    }
    alignas(32) std::uint32_t words[4][64];
    HColumnsForKey(k, key, 64, words[0], 64);
    RoundKeysFromColumns(words, ctx.RoundKeys);
    SecureWipe(key, sizeof key);
    SecureWipe(words, sizeof words);
}

} // namespace ciphra::twofish_detail

#undef CIPHRA_AVX2

#endif
