#include "fileenc/cipher_stream.h"

#include "crypto/wipe.h"

// Kept free of iostreams and allocation: the stub links this file.

namespace ciphra {

namespace {

enum class Direction { Encrypt, Decrypt };

// The chunk buffer holds plain bytes; it is wiped however the run ends.
struct ChunkBuffer {
    alignas(16) std::uint8_t Bytes[StreamChunkSize];
    std::uint8_t TailKeyBlock[TwofishBlockSize];

    ~ChunkBuffer() { SecureWipeObject(*this); }
};

// Bytes 1..k-1 of a k-byte tail are XORed with bytes 1..k-1 of S; byte 0 stays
// as it is (stored files depend on it). S comes from one more CBC encryption
// of the chain vector with itself, whichever way the stream runs.
void ApplyTailRule(TTwofishContext& ctx, ChunkBuffer& chunk, std::size_t tail, std::size_t k)
{
    for (std::size_t i = 0; i < TwofishBlockSize; ++i) {
        chunk.TailKeyBlock[i] = ctx.ChainVector[i];
    }
    TwofishCBCEncryptBlock(ctx, chunk.TailKeyBlock, chunk.TailKeyBlock);
    for (std::size_t j = 1; j < k; ++j) {
        chunk.Bytes[tail + j] ^= chunk.TailKeyBlock[j];
    }
}

void RunStream(TTwofishContext& ctx, File& input, File& output, StreamProgress* progress,
               Direction direction)
{
    ChunkBuffer chunk;
    const std::uint64_t start = input.Position();
    const std::uint64_t size = input.Size();
    const std::uint64_t total = size > start ? size - start : 0;
    std::uint64_t position = start;
    for (;;) {
        const std::size_t n = input.Read(chunk.Bytes, StreamChunkSize);
        const std::size_t blocks = n / TwofishBlockSize;
        if (direction == Direction::Encrypt) {
            TwofishCBCEncryptBlocks(ctx, chunk.Bytes, chunk.Bytes, blocks);
        } else {
            TwofishCBCDecryptBlocks(ctx, chunk.Bytes, chunk.Bytes, blocks);
        }
        const std::size_t k = n % TwofishBlockSize;
        if (k > 0) {
            ApplyTailRule(ctx, chunk, n - k, k);
        }
        if (n > 0) {
            output.WriteAllAt(chunk.Bytes, n, position);
        }
        position += n;
        if (progress != nullptr && n > 0) {
            progress->BytesDone(position - start, total);
        }
        if (n < StreamChunkSize) {
            return;
        }
    }
}

} // namespace

void PrepareCipherRun(TTwofishContext& ctx, const void* keyMaterial, std::int32_t length)
{
    TwofishSetKey(ctx, keyMaterial, length, nullptr);
    TwofishDeriveStartVector(ctx);
}

void EncryptStream(TTwofishContext& ctx, File& input, File& output, StreamProgress* progress)
{
    RunStream(ctx, input, output, progress, Direction::Encrypt);
}

void DecryptStream(TTwofishContext& ctx, File& input, File& output, StreamProgress* progress)
{
    RunStream(ctx, input, output, progress, Direction::Decrypt);
}

} // namespace ciphra
