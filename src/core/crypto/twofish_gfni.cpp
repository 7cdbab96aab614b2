// Twofish decryption of 32 or 128 blocks side by side in 512-bit registers,
// with no table lookups in memory.
//
// The blocks are kept word-sliced: word j of sixteen blocks fills one
// register, so 32 blocks take two registers per word. For each round's two g
// computations on 32 blocks, the four input registers (word c of both
// halves, word d rotated left by 8 of both halves) are transposed into
// bytes: register j then holds byte j of all 64 inputs. Keyed S-box j is a
// 256-byte permutation (two vpermi2b and a blend on the index's high bit);
// the MDS matrix multiplies by 0x5B and 0xEF, each one gf2p8affineqb with
// the multiplication's bit matrix. The same transposes turn the four output
// bytes back into words for the round's additions. A round's steps depend on
// each other, so four sets of 32 blocks go through each round together.

#include "core/crypto/twofish_gfni.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/crypto/twofish_tables.h"
#include "core/crypto/wipe.h"

#include <immintrin.h>

#include <array>
#include <cstdint>

// GCC 12's AVX-512 headers pass an undefined vector as the unused
// merge source of their masked builtins, which its -O2 flow analysis reports
// as uninitialized; nothing here reads such a value.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define CIPHRA_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,gfni")))
#define CIPHRA_GFNI CIPHRA_TARGET __attribute__((always_inline)) inline

namespace ciphra::twofish_detail {

namespace {

// The bit matrix of multiplication by a constant of the MDS field, in the
// layout gf2p8affineqb reads: byte 7 - i holds row i, whose bit j is bit i of
// the product with 2^j.
template <std::uint32_t (*Multiply)(std::uint32_t)>
constexpr std::uint64_t MultiplyMatrix() noexcept
{
    std::uint64_t matrix = 0;
    for (unsigned i = 0; i < 8; ++i) {
        std::uint64_t row = 0;
        for (unsigned j = 0; j < 8; ++j) {
            row |= static_cast<std::uint64_t>((Multiply(1U << j) >> i) & 1U) << j;
        }
        matrix |= row << (8 * (7 - i));
    }
    return matrix;
}

constexpr std::uint64_t Times5B = MultiplyMatrix<Mul5B>();
constexpr std::uint64_t TimesEF = MultiplyMatrix<MulEF>();

// The keyed S-boxes without the MDS step, 256 bytes each.
struct ByteBoxes {
    __m512i part[4][4];
};

// Byte 4i (mod 128) at position i: with two word registers as the source
// of vpermi2b, the low bytes of their 32 words.
constexpr std::array<std::uint8_t, 64> EveryFourthByte() noexcept
{
    std::array<std::uint8_t, 64> index{};
    for (unsigned i = 0; i < 64; ++i) {
        index[i] = static_cast<std::uint8_t>((4 * i) % 128);
    }
    return index;
}

alignas(64) constexpr std::array<std::uint8_t, 64> LowBytes = EveryFourthByte();

// Keyed table j holds MDS column j times S-box j; the column's entry 1 sits
// in byte 0, 3, 2, 1 for j = 0..3, so that byte of each word is the S-box.
CIPHRA_GFNI void ExtractBoxes(const TwofishContext& ctx, ByteBoxes& boxes)
{
    constexpr char OneAt[4] = {0, 3, 2, 1};
    for (unsigned j = 0; j < 4; ++j) {
        const __m512i index =
            _mm512_add_epi8(_mm512_load_si512(LowBytes.data()), _mm512_set1_epi8(OneAt[j]));
        for (unsigned part = 0; part < 4; ++part) {
            const std::uint32_t* w = ctx.KeyedSBoxes + 256 * j + 64 * part;
            const __m512i low =
                _mm512_permutex2var_epi8(_mm512_loadu_si512(w), index, _mm512_loadu_si512(w + 16));
            const __m512i high = _mm512_permutex2var_epi8(_mm512_loadu_si512(w + 32), index,
                                                          _mm512_loadu_si512(w + 48));
            boxes.part[j][part] = _mm512_shuffle_i64x2(low, high, 0x44);
        }
    }
}

CIPHRA_GFNI __m512i Lookup(const __m512i* t, __m512i x)
{
    const __m512i low = _mm512_permutex2var_epi8(t[0], x, t[1]);
    const __m512i high = _mm512_permutex2var_epi8(t[2], x, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

CIPHRA_GFNI __m512i Multiply(__m512i x, std::uint64_t matrix)
{
    return _mm512_gf2p8affine_epi64_epi8(x, _mm512_set1_epi64(static_cast<long long>(matrix)), 0);
}

CIPHRA_GFNI __m512i Xor4(__m512i a, __m512i b, __m512i c, __m512i d)
{
    return _mm512_xor_si512(_mm512_ternarylogic_epi32(a, b, c, 0x96), d);
}

// Within each 128-bit lane: byte 4w + j goes to 4j + w (its own inverse).
// With `rotated`, the words are first rotated left by 8 bits.
CIPHRA_GFNI __m512i ByteTranspose(__m512i x, bool rotated)
{
    const __m512i plain =
        _mm512_broadcast_i32x4(_mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
    const __m512i rotl8 =
        _mm512_broadcast_i32x4(_mm_setr_epi8(3, 7, 11, 15, 0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14));
    return _mm512_shuffle_epi8(x, rotated ? rotl8 : plain);
}

// Within each 128-bit lane, the 4x4 transpose of 32-bit words across four
// registers (its own inverse).
CIPHRA_GFNI void WordTranspose(__m512i& a, __m512i& b, __m512i& c, __m512i& d)
{
    const __m512i t0 = _mm512_unpacklo_epi32(a, b);
    const __m512i t1 = _mm512_unpackhi_epi32(a, b);
    const __m512i t2 = _mm512_unpacklo_epi32(c, d);
    const __m512i t3 = _mm512_unpackhi_epi32(c, d);
    a = _mm512_unpacklo_epi64(t0, t2);
    b = _mm512_unpackhi_epi64(t0, t2);
    c = _mm512_unpacklo_epi64(t1, t3);
    d = _mm512_unpackhi_epi64(t1, t3);
}

// g of x0 and x1 (into x0, x1) and of y0 and y1 rotated left by 8 (into y0,
// y1), 64 words in all.
CIPHRA_GFNI void G(const ByteBoxes& boxes, __m512i& x0, __m512i& x1, __m512i& y0, __m512i& y1)
{
    __m512i b0 = ByteTranspose(x0, false);
    __m512i b1 = ByteTranspose(x1, false);
    __m512i b2 = ByteTranspose(y0, true);
    __m512i b3 = ByteTranspose(y1, true);
    WordTranspose(b0, b1, b2, b3);
    const __m512i s0 = Lookup(boxes.part[0], b0);
    const __m512i s1 = Lookup(boxes.part[1], b1);
    const __m512i s2 = Lookup(boxes.part[2], b2);
    const __m512i s3 = Lookup(boxes.part[3], b3);
    const __m512i s0EF = Multiply(s0, TimesEF);
    const __m512i s1EF = Multiply(s1, TimesEF);
    const __m512i s2EF = Multiply(s2, TimesEF);
    const __m512i s3EF = Multiply(s3, TimesEF);
    const __m512i s0x5B = Multiply(s0, Times5B);
    const __m512i s1x5B = Multiply(s1, Times5B);
    const __m512i s2x5B = Multiply(s2, Times5B);
    const __m512i s3x5B = Multiply(s3, Times5B);
    b0 = Xor4(s0, s1EF, s2x5B, s3x5B);
    b1 = Xor4(s0x5B, s1EF, s2EF, s3);
    b2 = Xor4(s0EF, s1x5B, s2, s3EF);
    b3 = Xor4(s0EF, s1, s2EF, s3x5B);
    WordTranspose(b0, b1, b2, b3);
    x0 = ByteTranspose(b0, false);
    x1 = ByteTranspose(b1, false);
    y0 = ByteTranspose(b2, false);
    y1 = ByteTranspose(b3, false);
}

CIPHRA_GFNI __m512i Key(const std::uint32_t* k, int i)
{
    return _mm512_set1_epi32(static_cast<int>(k[i]));
}

// One round on both halves: p ^= F, with the rotations of the decryption.
// t0 and t1 are the g results; k0, k1 the round's two keys.
CIPHRA_GFNI void Round(__m512i& p, __m512i& q, __m512i t0, __m512i t1, __m512i k0, __m512i k1)
{
    const __m512i sum = _mm512_add_epi32(t0, t1);
    p = _mm512_xor_si512(_mm512_rol_epi32(p, 1), _mm512_add_epi32(sum, k0));
    q = _mm512_ror_epi32(_mm512_xor_si512(q, _mm512_add_epi32(_mm512_add_epi32(sum, t1), k1)), 1);
}

// 32 * S blocks; returns the last ciphertext block as the new chain. All
// input is read before any output is written, so in place works.
template <int S>
CIPHRA_GFNI __m128i DecryptPass(const TwofishContext& ctx, const ByteBoxes& boxes,
                                const std::uint8_t* in, std::uint8_t* out, __m128i chain)
{
    const std::uint32_t* k = ctx.RoundKeys;
    constexpr int H = 2 * S;
    __m512i c[4 * H];
    for (int i = 0; i < 4 * H; ++i) {
        c[i] = _mm512_loadu_si512(in + 64 * i);
    }
    __m512i xa[H], xb[H], xc[H], xd[H];
    for (int h = 0; h < H; ++h) {
        __m512i w0 = c[4 * h];
        __m512i w1 = c[4 * h + 1];
        __m512i w2 = c[4 * h + 2];
        __m512i w3 = c[4 * h + 3];
        WordTranspose(w0, w1, w2, w3);
        xc[h] = _mm512_xor_si512(w0, Key(k, 4));
        xd[h] = _mm512_xor_si512(w1, Key(k, 5));
        xa[h] = _mm512_xor_si512(w2, Key(k, 6));
        xb[h] = _mm512_xor_si512(w3, Key(k, 7));
    }
    for (int step = 7; step >= 0; --step) {
        const std::uint32_t* rk = k + 8 + 4 * step;
        for (int s = 0; s < S; ++s) {
            __m512i t0 = xc[2 * s], t1 = xc[2 * s + 1], u0 = xd[2 * s], u1 = xd[2 * s + 1];
            G(boxes, t0, t1, u0, u1);
            Round(xa[2 * s], xb[2 * s], t0, u0, Key(rk, 2), Key(rk, 3));
            Round(xa[2 * s + 1], xb[2 * s + 1], t1, u1, Key(rk, 2), Key(rk, 3));
        }
        for (int s = 0; s < S; ++s) {
            __m512i t0 = xa[2 * s], t1 = xa[2 * s + 1], u0 = xb[2 * s], u1 = xb[2 * s + 1];
            G(boxes, t0, t1, u0, u1);
            Round(xc[2 * s], xd[2 * s], t0, u0, Key(rk, 0), Key(rk, 1));
            Round(xc[2 * s + 1], xd[2 * s + 1], t1, u1, Key(rk, 0), Key(rk, 1));
        }
    }
    __m512i before = _mm512_broadcast_i32x4(chain);
    for (int h = 0; h < H; ++h) {
        __m512i w0 = _mm512_xor_si512(xa[h], Key(k, 0));
        __m512i w1 = _mm512_xor_si512(xb[h], Key(k, 1));
        __m512i w2 = _mm512_xor_si512(xc[h], Key(k, 2));
        __m512i w3 = _mm512_xor_si512(xd[h], Key(k, 3));
        WordTranspose(w0, w1, w2, w3);
        const __m512i plain[4] = {w0, w1, w2, w3};
        for (int i = 0; i < 4; ++i) {
            const __m512i cur = c[4 * h + i];
            const __m512i prev = _mm512_alignr_epi64(cur, before, 6);
            _mm512_storeu_si512(out + 256 * h + 64 * i, _mm512_xor_si512(plain[i], prev));
            before = cur;
        }
    }
    return _mm512_extracti32x4_epi32(before, 3);
}

// The address of a byte in the frame of a function called from the caller,
// that is just below the caller's own frame.
__attribute__((noinline)) std::uintptr_t StackBelowCaller() noexcept
{
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

// Kept out of line so that its frame, the S-box bytes and any spilled round
// keys included, can be overwritten after it returns; returns an address
// below that frame.
__attribute__((noinline)) CIPHRA_TARGET std::uintptr_t
DecryptRun(TwofishContext& ctx, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks)
{
    // Taken first: a call at the end could become a jump after the frame
    // is released.
    const std::uintptr_t below = StackBelowCaller();
    ByteBoxes boxes;
    ExtractBoxes(ctx, boxes);
    __m128i chain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ctx.ChainVector));
    std::size_t i = 0;
    for (; i + 4 * GfniPassBlocks <= blocks; i += 4 * GfniPassBlocks) {
        chain = DecryptPass<4>(ctx, boxes, in + 16 * i, out + 16 * i, chain);
    }
    for (; i < blocks; i += GfniPassBlocks) {
        chain = DecryptPass<1>(ctx, boxes, in + 16 * i, out + 16 * i, chain);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(ctx.ChainVector), chain);
    return below;
}

} // namespace

std::size_t CbcDecryptBlocksGfni(TwofishContext& ctx, const std::uint8_t* in, std::uint8_t* out,
                                 std::size_t blocks) noexcept
{
    const std::size_t done = blocks / GfniPassBlocks * GfniPassBlocks;
    if (done != 0) {
        // DecryptRun's frame is about 8.5 KiB with GCC 12 at -O2, 88 KiB
        // without optimisation; it is measured rather than guessed.
        const std::uintptr_t top = StackBelowCaller();
        const std::uintptr_t bottom = DecryptRun(ctx, in, out, done);
        SecureWipeStack(top - bottom + 1024);
    }
    return done;
}

} // namespace ciphra::twofish_detail

#undef CIPHRA_GFNI
#undef CIPHRA_TARGET

#endif
