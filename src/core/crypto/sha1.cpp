// SHA-1 (FIPS 180-1).

#include "core/crypto/sha1.h"

#include "core/crypto/code_paths.h"
#include "core/crypto/sha1_compress.h"
#include "core/crypto/wipe.h"

#include <cstring>

namespace ciphra {

namespace {

void StoreBE32(std::uint8_t* p, std::uint32_t v) noexcept
{
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// Compression over whole blocks on the path this process uses.
void Compress(std::uint32_t h[5], const std::uint8_t* data, std::size_t blocks = 1) noexcept
{
#if defined(__x86_64__) || defined(__i386__)
    const Sha1Path path = CurrentCodePaths().Sha1;
    if (path == Sha1Path::ShaExtensions) {
        sha1_detail::CompressShaExtensions(h, data, blocks);
        return;
    }
    if (path == Sha1Path::Avx2) {
        sha1_detail::CompressAvx2(h, data, blocks);
        return;
    }
#endif
    sha1_detail::CompressPortable(h, data, blocks);
}

void CompressStateBlock(Sha1State& state) noexcept
{
    Compress(state.HashWords, state.Block);
    SecureWipe(state.Block, sizeof state.Block);
    state.BlockFill = 0;
}

} // namespace

void Sha1Start(Sha1State& state) noexcept
{
    std::memset(&state, 0, sizeof state);
    state.HashWords[0] = 0x67452301;
    state.HashWords[1] = 0xEFCDAB89;
    state.HashWords[2] = 0x98BADCFE;
    state.HashWords[3] = 0x10325476;
    state.HashWords[4] = 0xC3D2E1F0;
}

void Sha1Add(Sha1State& state, const void* bytes, std::size_t count) noexcept
{
    // The message length in bits is kept modulo 2^64, as SHA-1 defines it.
    const std::uint64_t bits =
        ((static_cast<std::uint64_t>(state.BitCountHi) << 32) | state.BitCountLo) +
        (static_cast<std::uint64_t>(count) << 3);
    state.BitCountHi = static_cast<std::uint32_t>(bits >> 32);
    state.BitCountLo = static_cast<std::uint32_t>(bits);

    const auto* src = static_cast<const std::uint8_t*>(bytes);
    if (state.BlockFill != 0) {
        const std::size_t room = 64 - state.BlockFill;
        const std::size_t take = count < room ? count : room;
        std::memcpy(state.Block + state.BlockFill, src, take);
        state.BlockFill += static_cast<std::uint32_t>(take);
        src += take;
        count -= take;
        if (state.BlockFill < 64) {
            return;
        }
        CompressStateBlock(state);
    }
    // Whole blocks are compressed straight from the caller's buffer.
    if (count >= 64) {
        Compress(state.HashWords, src, count / 64);
        src += count / 64 * 64;
        count %= 64;
    }
    std::memcpy(state.Block, src, count);
    state.BlockFill = static_cast<std::uint32_t>(count);
}

void Sha1Finish(Sha1State& state, std::uint8_t out[Sha1DigestSize]) noexcept
{
    state.Block[state.BlockFill] = 0x80;
    if (state.BlockFill >= 56) {
        CompressStateBlock(state);
    }
    StoreBE32(state.Block + 56, state.BitCountHi);
    StoreBE32(state.Block + 60, state.BitCountLo);
    CompressStateBlock(state);
    for (int i = 0; i < 5; ++i) {
        StoreBE32(out + 4 * i, state.HashWords[i]);
    }
    SecureWipeObject(state);
    // The vector compressions spill schedule words (the message, a password
    // when the digest is key material) into their frames.
    SecureWipeStack(16 * 1024);
}

void Sha1OfText(std::string_view text, std::uint8_t out[Sha1DigestSize]) noexcept
{
    Sha1State state;
    Sha1Start(state);
    Sha1Add(state, text.data(), text.size());
    Sha1Finish(state, out);
}

} // namespace ciphra
