// Twofish chaining: CBC one block or a run of blocks, 8-bit CFB, and the
// handling of the two chaining vectors.

#include "core/crypto/twofish.h"

#include "core/crypto/twofish_core.h"
#ifndef CIPHRA_STUB_BUILD
#include "core/crypto/code_paths.h"
#include "core/crypto/twofish_avx2.h"
#include "core/crypto/twofish_bmi.h"
#include "core/crypto/twofish_gfni.h"
#endif
#include "core/crypto/wipe.h"

#include <cstring>

namespace ciphra {

using namespace twofish_detail;

namespace {

Block Xor(const Block& x, const Block& y) noexcept
{
    return {{x.w[0] ^ y.w[0], x.w[1] ^ y.w[1], x.w[2] ^ y.w[2], x.w[3] ^ y.w[3]}};
}

} // namespace

void TwofishDeriveStartVector(TwofishContext& ctx) noexcept
{
    std::uint8_t zero[TwofishBlockSize] = {};
    std::memset(ctx.ChainVector, 0, TwofishBlockSize);
    TwofishCBCEncryptBlock(ctx, zero, zero);
    std::memcpy(ctx.StartVector, zero, TwofishBlockSize);
    TwofishRestartChain(ctx);
    SecureWipe(zero, sizeof zero);
}

void TwofishCBCEncryptBlock(TwofishContext& ctx, const void* in, void* out) noexcept
{
    TwofishCBCEncryptBlocks(ctx, in, out, 1);
}

void TwofishCBCDecryptBlock(TwofishContext& ctx, const void* in, void* out) noexcept
{
    TwofishCBCDecryptBlocks(ctx, in, out, 1);
}

void TwofishCBCEncryptBlocks(TwofishContext& ctx, const void* in, void* out,
                             std::size_t blocks) noexcept
{
    const auto* src = static_cast<const std::uint8_t*>(in);
    auto* dst = static_cast<std::uint8_t*>(out);
#if !defined(CIPHRA_STUB_BUILD) && defined(__x86_64__)
    if (CurrentCodePaths().CbcEncrypt == CbcEncryptPath::Bmi) {
        CbcEncryptBlocksBmi(ctx, src, dst, blocks);
        return;
    }
#endif
    // The chain stays in registers for the whole run.
    Block chain = LoadBlock(ctx.ChainVector);
    for (std::size_t i = 0; i < blocks; ++i) {
        chain = EncryptWords(ctx, Xor(LoadBlock(src), chain));
        StoreBlock(dst, chain);
        src += TwofishBlockSize;
        dst += TwofishBlockSize;
    }
    StoreBlock(ctx.ChainVector, chain);
}

void TwofishCBCDecryptBlocks(TwofishContext& ctx, const void* in, void* out,
                             std::size_t blocks) noexcept
{
    const auto* src = static_cast<const std::uint8_t*>(in);
    auto* dst = static_cast<std::uint8_t*>(out);
#if !defined(CIPHRA_STUB_BUILD) && (defined(__x86_64__) || defined(__i386__))
    // Runs of 32 or 8 blocks go to the vector path chosen for this CPU (see
    // code_paths.h); the stub keeps to the scalar code to stay small.
    const CbcDecryptPath path = CurrentCodePaths().CbcDecrypt;
    if (blocks >= GfniPassBlocks && path == CbcDecryptPath::Gfni) {
        const std::size_t done = CbcDecryptBlocksGfni(ctx, src, dst, blocks);
        src += done * TwofishBlockSize;
        dst += done * TwofishBlockSize;
        blocks -= done;
    }
    if (blocks >= 8 && path == CbcDecryptPath::Avx2) {
        const std::size_t done = CbcDecryptBlocksAvx2(ctx, src, dst, blocks);
        src += done * TwofishBlockSize;
        dst += done * TwofishBlockSize;
        blocks -= done;
    }
#endif
    Block chain = LoadBlock(ctx.ChainVector);
    // Every ciphertext block is read before its output is written, so the
    // run works in place. Pairs of blocks are independent and go together.
    for (; blocks >= 2; blocks -= 2) {
        const Block c0 = LoadBlock(src);
        const Block c1 = LoadBlock(src + TwofishBlockSize);
        Block p0 = c0;
        Block p1 = c1;
        DecryptWords2(ctx, p0, p1);
        StoreBlock(dst, Xor(p0, chain));
        StoreBlock(dst + TwofishBlockSize, Xor(p1, c0));
        chain = c1;
        src += 2 * TwofishBlockSize;
        dst += 2 * TwofishBlockSize;
    }
    if (blocks == 1) {
        const Block c0 = LoadBlock(src);
        StoreBlock(dst, Xor(DecryptWords(ctx, c0), chain));
        chain = c0;
    }
    StoreBlock(ctx.ChainVector, chain);
}

#ifndef CIPHRA_STUB_BUILD
namespace {

// One byte of 8-bit CFB: the register's encryption gives the key byte; the
// ciphertext byte then enters the register from the right. The register is
// kept as four little-endian words, so shifting it by a byte is a word
// shift with the neighbour's low byte carried in at the top.
template <bool Decrypt>
void Cfb8(TwofishContext& ctx, const void* in, void* out, std::int32_t n) noexcept
{
    const auto* src = static_cast<const std::uint8_t*>(in);
    auto* dst = static_cast<std::uint8_t*>(out);
    Block reg = LoadBlock(ctx.ChainVector);
    Block keystream{};
    for (std::int32_t i = 0; i < n; ++i) {
        keystream = EncryptWords(ctx, reg);
        const std::uint8_t inByte = src[i];
        const auto outByte = static_cast<std::uint8_t>(inByte ^ keystream.w[0]);
        dst[i] = outByte;
        const std::uint32_t fed = Decrypt ? inByte : outByte;
        reg = {{(reg.w[0] >> 8) | (reg.w[1] << 24), (reg.w[1] >> 8) | (reg.w[2] << 24),
                (reg.w[2] >> 8) | (reg.w[3] << 24), (reg.w[3] >> 8) | (fed << 24)}};
    }
    StoreBlock(ctx.ChainVector, reg);
    SecureWipeObject(keystream);
    SecureWipeObject(reg);
}

} // namespace

void TwofishCFB8Encrypt(TwofishContext& ctx, const void* in, void* out, std::int32_t n) noexcept
{
    Cfb8<false>(ctx, in, out, n);
}

void TwofishCFB8Decrypt(TwofishContext& ctx, const void* in, void* out, std::int32_t n) noexcept
{
    Cfb8<true>(ctx, in, out, n);
}
#endif

void TwofishRestartChain(TwofishContext& ctx) noexcept
{
    std::memcpy(ctx.ChainVector, ctx.StartVector, TwofishBlockSize);
}

void TwofishWipe(TwofishContext& ctx) noexcept
{
    SecureWipeObject(ctx);
}

} // namespace ciphra
