#include "core/jobs/cipher_stream.h"

#include "core/crypto/wipe.h"
#include "core/jobs/stream_pipeline.h"

// The stub's build keeps the plain one-thread loop, free of threads,
// iostreams and allocation; the program's runs the pipelined loop.

namespace ciphra {

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

namespace {

#ifdef CIPHRA_STUB_BUILD
// The chunk buffer holds plain bytes; it is wiped however the run ends.
struct ChunkBuffer {
    alignas(16) std::uint8_t Bytes[StreamChunkSize];
};

// One buffer in static storage: under a small stack limit a chunk on the
// stack would crash the stub, and the stub runs one stream at a time.
ChunkBuffer chunk;

void RunStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
               StreamDirection direction, std::uint64_t outputStart)
{
    struct WipeAtEnd {
        ~WipeAtEnd() { SecureWipeObject(chunk); }
    } wipe;
    const std::uint64_t start = input.Position();
    const std::uint64_t shift = outputStart == SameOffsets ? start : outputStart;
    const std::uint64_t size = input.Size();
    const std::uint64_t total = size > start ? size - start : 0;
    std::uint64_t position = start;
    for (;;) {
        const std::size_t n = input.Read(chunk.Bytes, StreamChunkSize);
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
        if (n > 0 && outputStart == InOrder) {
            output.WriteAll(chunk.Bytes, n);
        } else if (n > 0) {
            output.WriteAllAt(chunk.Bytes, n, shift + (position - start));
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
#else
void RunStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
               StreamDirection direction, std::uint64_t outputStart)
{
    RunPipelinedStream(ctx, input, output, progress, direction, outputStart);
}
#endif

} // namespace

void PrepareCipherRun(TwofishContext& ctx, const void* keyMaterial, std::int32_t length)
{
    TwofishSetKey(ctx, keyMaterial, length, nullptr);
    TwofishDeriveStartVector(ctx);
    // The key setup and the block cipher leave key words in the frames they
    // used and in vector registers; nothing later is sure to overwrite them.
    SecureWipeStack(16 * 1024);
}

CipherRun::CipherRun(const void* keyMaterial, std::int32_t length)
{
    PrepareCipherRun(context_, keyMaterial, length);
}

void CipherRun::Wipe() noexcept
{
    TwofishWipe(context_);
}

void EncryptStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
                   std::uint64_t outputStart)
{
    RunStream(ctx, input, output, progress, StreamDirection::Encrypt, outputStart);
}

void DecryptStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
                   std::uint64_t outputStart)
{
    RunStream(ctx, input, output, progress, StreamDirection::Decrypt, outputStart);
}

} // namespace ciphra
