#include "core/jobs/cipher_stream.h"

#include "core/jobs/stream_pipeline.h"

// The stub's build keeps the plain one-thread loop of chunk_stream.h, free of
// threads, iostreams and allocation; the program's runs the pipelined loop.

namespace ciphra {
namespace {

#ifdef CIPHRA_STUB_BUILD
// The stream's files as the one-thread loop's ends; their errors are thrown.
class FileEnds final : public ChunkEnds {
public:
    FileEnds(File& input, File& output, StreamProgress* progress, std::uint64_t outputStart)
        : input_(input), output_(output), progress_(progress)
    {
        const std::uint64_t start = input.Position();
        const std::uint64_t size = input.Size();
        total_ = size > start ? size - start : 0;
        shift_ = outputStart == SameOffsets ? start : outputStart;
        inOrder_ = outputStart == InOrder;
    }

    bool ReadChunk(std::uint8_t* bytes, std::size_t n, std::size_t& got) override
    {
        got = input_.Read(bytes, n);
        return true;
    }

    bool WriteChunk(const std::uint8_t* bytes, std::size_t n) override
    {
        if (inOrder_) {
            output_.WriteAll(bytes, n);
        } else {
            output_.WriteAllAt(bytes, n, shift_ + done_);
        }
        done_ += n;
        if (progress_ != nullptr) {
            progress_->BytesDone(done_, total_);
        }
        return true;
    }

private:
    File& input_;
    File& output_;
    StreamProgress* progress_;
    std::uint64_t total_ = 0;
    std::uint64_t shift_ = 0;
    std::uint64_t done_ = 0;
    bool inOrder_ = false;
};

void RunStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
               StreamDirection direction, std::uint64_t outputStart)
{
    FileEnds ends(input, output, progress, outputStart);
    RunChunkStream(ctx, direction, ends);
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
    if (!KeyCipherRun(ctx, keyMaterial, length)) {
        throw Exception(TwofishKeyLengthMessage());
    }
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
