#include "core/jobs/chunk_stream.h"

#include "core/crypto/wipe.h"

namespace ciphra {

bool KeyCipherRun(TwofishContext& ctx, const void* keyMaterial, std::int32_t length) noexcept
{
    if (!TwofishTrySetKey(ctx, keyMaterial, length, nullptr)) {
        return false;
    }
    TwofishDeriveStartVector(ctx);
    // The key setup and the block cipher leave key words in the frames they
    // used and in vector registers; nothing later is sure to overwrite them.
    SecureWipeStack(std::size_t{16} * 1024);
    return true;
}

// S comes from one more CBC encryption of the chain vector with itself,
// whichever way the stream runs; byte 0 of the tail stays as it is (stored
// files depend on it).
void ApplyTailRule(TwofishContext& ctx, std::uint8_t* tail, std::size_t k) noexcept
{
    std::uint8_t s[TwofishBlockSize];
    for (std::size_t i = 0; i < TwofishBlockSize; ++i) {
        s[i] = ctx.ChainVector[i];
    }
    TwofishCBCEncryptBlock(ctx, s, s);
    for (std::size_t j = 1; j < k; ++j) {
        tail[j] ^= s[j];
    }
    SecureWipeObject(s);
}

#ifdef CIPHRA_STUB_BUILD
namespace {

// The chunk buffer holds plain bytes; it is wiped however the run ends.
struct ChunkBuffer {
    alignas(16) std::uint8_t Bytes[StreamChunkSize];
};

// One buffer in static storage: under a small stack limit a chunk on the
// stack would crash the stub, and a stub runs one stream at a time.
ChunkBuffer chunk;

} // namespace

bool RunChunkStream(TwofishContext& ctx, StreamDirection direction, ChunkEnds& ends)
{
    struct WipeAtEnd {
        ~WipeAtEnd() { SecureWipeObject(chunk); }
    } wipe;
    for (;;) {
        std::size_t n = 0;
        if (!ends.ReadChunk(chunk.Bytes, StreamChunkSize, n)) {
            return false;
        }
        const std::size_t blocks = n / TwofishBlockSize;
        if (direction == StreamDirection::Encrypt) {
            TwofishCBCEncryptBlocks(ctx, chunk.Bytes, chunk.Bytes, blocks);
        } else {
            TwofishCBCDecryptBlocks(ctx, chunk.Bytes, chunk.Bytes, blocks);
        }
        const std::size_t k = n % TwofishBlockSize;
        if (k > 0) {
            ApplyTailRule(ctx, chunk.Bytes + (n - k), k);
        }
        if (n > 0 && !ends.WriteChunk(chunk.Bytes, n)) {
            return false;
        }
        if (n < StreamChunkSize) {
            return true;
        }
    }
}
#endif

} // namespace ciphra
