#include "core/jobs/stream_pipeline.h"

#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/crypto/wipe.h"

namespace ciphra {
namespace {

// Below this many whole blocks a chunk is deciphered on one thread: handing
// half of it over would cost more than it saves.
constexpr std::size_t SplitBlocks = 64;

struct alignas(64) Chunk {
    std::uint8_t Bytes[StreamChunkSize];
};

// The two chunk buffers; they hold plain bytes, so they are wiped at the end.
class ChunkPair {
public:
    ChunkPair() : chunks_(new Chunk[2]) {}
    ~ChunkPair() { SecureWipe(chunks_.get(), 2 * sizeof(Chunk)); }
    ChunkPair(const ChunkPair&) = delete;
    ChunkPair& operator=(const ChunkPair&) = delete;

    std::uint8_t* operator[](int i) { return chunks_[i].Bytes; }

private:
    std::unique_ptr<Chunk[]> chunks_;
};

// The cipher may leave key words in the stack frames it used, below the
// frame of the loop that called it; neither the calling thread's stack nor a
// finished thread's (kept for the next thread) is cleared by anyone else. So
// each thread wipes the stack its cipher calls reached before it leaves.
void ScrubStack() noexcept
{
    SecureWipeStack(32 * 1024);
}

struct StackScrub {
    StackScrub() = default;
    StackScrub(const StackScrub&) = delete;
    StackScrub& operator=(const StackScrub&) = delete;
    ~StackScrub() { ScrubStack(); }
};

// What a read on the helper brought: the byte count, or what the read threw.
struct ReadResult {
    std::size_t Length = 0;
    std::exception_ptr Failure;
};

// One job for the helper: write a chunk, read the next but one, or decipher
// blocks with the helper's context (its chain vector set to the ciphertext
// block before them).
struct Job {
    File* Output = nullptr; // set for a write
    File* Input = nullptr;  // set for a read of a chunk into Bytes
    ReadResult* Read = nullptr;
    std::uint8_t* Bytes = nullptr;
    std::size_t Length = 0; // bytes to write, or blocks to decipher
    std::uint64_t Offset = 0;
    TwofishContext* Context = nullptr; // set for deciphering
};

// Runs jobs in the order posted on its own thread, or at once on the caller's
// when it has none (a one-chunk file, or no thread could be started). After
// a failed write it skips the writes still to come, so nothing after the
// failing chunk reaches the file.
class Helper {
public:
    explicit Helper(bool threaded)
    {
        if (threaded) {
            try {
                thread_ = std::thread([this] { Loop(); });
            } catch (const std::system_error&) {
                // Run every job on the calling thread instead.
            }
        }
    }

    ~Helper()
    {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            wake_.notify_all();
            thread_.join();
        }
    }

    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    bool Threaded() const { return thread_.joinable(); }

    // At most two jobs are outstanding: the last chunk's write and either
    // half of the next chunk's deciphering or the read of the one after it.
    void Post(const Job& job)
    {
        if (!Threaded()) {
            Run(job);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_[posted_ % Capacity] = job;
            ++posted_;
        }
        wake_.notify_all();
    }

    // Waits until every posted job has run; rethrows a failed write.
    void Finish()
    {
        if (Threaded()) {
            std::unique_lock<std::mutex> lock(mutex_);
            done_.wait(lock, [this] { return finished_ == posted_; });
        }
        if (error_) {
            std::rethrow_exception(error_);
        }
    }

private:
    static constexpr std::size_t Capacity = 2;

    void Loop()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || finished_ != posted_; });
            if (stop_) {
                ScrubStack();
                return;
            }
            const Job job = jobs_[finished_ % Capacity];
            lock.unlock();
            Run(job);
            lock.lock();
            ++finished_;
            done_.notify_all();
        }
    }

    void Run(const Job& job) noexcept
    {
        if (job.Input != nullptr) {
            try {
                job.Read->Length = job.Input->Read(job.Bytes, StreamChunkSize);
            } catch (...) {
                job.Read->Failure = std::current_exception();
            }
            return;
        }
        if (job.Context != nullptr) {
            TwofishCBCDecryptBlocks(*job.Context, job.Bytes, job.Bytes, job.Length);
            return;
        }
        if (error_) {
            return;
        }
        try {
            if (job.Offset == InOrder) {
                job.Output->WriteAll(job.Bytes, job.Length);
            } else {
                job.Output->WriteAllAt(job.Bytes, job.Length, job.Offset);
            }
        } catch (...) {
            error_ = std::current_exception();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    Job jobs_[Capacity];
    std::size_t posted_ = 0;
    std::size_t finished_ = 0;
    bool stop_ = false;
    std::exception_ptr error_; // written by the running job, read after Finish's wait
    std::thread thread_;
};

// Deciphers the whole blocks of a chunk, the second half on the helper when
// it has a thread. The chain continues from the chunk's last ciphertext
// block, taken before either half is deciphered in place.
void DecryptBlocks(TwofishContext& ctx, TwofishContext& helperContext, Helper& helper,
                   std::uint8_t* bytes, std::size_t blocks)
{
    if (!helper.Threaded() || blocks < SplitBlocks) {
        TwofishCBCDecryptBlocks(ctx, bytes, bytes, blocks);
        return;
    }
    const std::size_t first = blocks / 2;
    std::memcpy(helperContext.ChainVector, bytes + (first - 1) * TwofishBlockSize,
                TwofishBlockSize);
    std::uint8_t last[TwofishBlockSize];
    std::memcpy(last, bytes + (blocks - 1) * TwofishBlockSize, TwofishBlockSize);
    Job half;
    half.Bytes = bytes + first * TwofishBlockSize;
    half.Length = blocks - first;
    half.Context = &helperContext;
    helper.Post(half);
    TwofishCBCDecryptBlocks(ctx, bytes, bytes, first);
    std::memcpy(ctx.ChainVector, last, TwofishBlockSize);
}

} // namespace

void RunPipelinedStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
                        StreamDirection direction, std::uint64_t outputStart, ReadGate* gate)
{
    const StackScrub scrub; // last to go, however the run ends
    const std::uint64_t start = input.Position();
    const std::uint64_t size = input.Size();
    const std::uint64_t total = size > start ? size - start : 0;
    const std::uint64_t shift = outputStart == SameOffsets ? start : outputStart;
    ChunkPair chunks;
    ReadResult helperReads[2]; // the helper's read of the chunk each buffer holds next
    CipherRun helperContext;   // the helper's own copy of the key schedule
    // Declared after what its jobs point into, so it is joined first. A pipe's
    // length is unknown: it may well be long.
    Helper helper(total > StreamChunkSize || !input.Seekable());
    if (direction == StreamDirection::Decrypt && helper.Threaded()) {
        std::memcpy(&helperContext.Context(), &ctx, sizeof ctx);
    }
    // Encrypting, the chain leaves the calling thread no time to spare, so
    // the helper reads each chunk after the next one: chunk k+2 into the
    // buffer chunk k was just written from, while chunk k+1 is enciphered.
    // The reads stay in the one-thread loop's order relative to the writes
    // that matter (chunk k+2 is read only after chunk k is written, and a
    // failed read is thrown only after the chunk before it is written). A
    // gate wants to be asked on the calling thread, and a pipe is read in step.
    const bool readsAhead = direction == StreamDirection::Encrypt && gate == nullptr &&
                            helper.Threaded() && input.Seekable();
    const auto postRead = [&](int b) {
        Job read;
        read.Input = &input;
        read.Read = &helperReads[b];
        read.Bytes = chunks[b];
        helper.Post(read);
    };

    std::uint64_t position = start; // end of the chunks handed to the helper
    bool writing = false;           // a chunk's write is posted, its progress not reported
    // The one-thread loop reported each chunk right after writing it.
    const auto finishWrite = [&] {
        helper.Finish();
        if (writing && progress != nullptr) {
            progress->BytesDone(position - start, total);
        }
        writing = false;
    };

    for (int b = 0;; b ^= 1) {
        std::uint8_t* bytes = chunks[b];
        std::size_t n = 0;
        try {
            if (readsAhead && position > start) {
                // Read by the helper before the last finishWrite returned.
                if (helperReads[b].Failure) {
                    std::rethrow_exception(helperReads[b].Failure);
                }
                n = helperReads[b].Length;
            } else {
                if (gate != nullptr) {
                    gate->BeforeRead(position, StreamChunkSize);
                }
                n = input.Read(bytes, StreamChunkSize);
                if (readsAhead && n == StreamChunkSize) {
                    postRead(b ^ 1);
                }
            }
        } catch (...) {
            // The chunk before a failed read is written (or its failure wins).
            finishWrite();
            throw;
        }
        const std::size_t blocks = n / TwofishBlockSize;
        if (direction == StreamDirection::Encrypt) {
            TwofishCBCEncryptBlocks(ctx, bytes, bytes, blocks);
        } else {
            DecryptBlocks(ctx, helperContext.Context(), helper, bytes, blocks);
        }
        if (n % TwofishBlockSize != 0) {
            ApplyTailRule(ctx, bytes + blocks * TwofishBlockSize, n % TwofishBlockSize);
        }
        finishWrite();
        if (n > 0) {
            Job write;
            write.Output = &output;
            write.Bytes = bytes;
            write.Length = n;
            write.Offset = outputStart == InOrder ? InOrder : shift + (position - start);
            helper.Post(write);
            position += n;
            writing = true;
            const ReadResult& next = helperReads[b ^ 1];
            if (readsAhead && n == StreamChunkSize && !next.Failure &&
                next.Length == StreamChunkSize) {
                postRead(b);
            }
        }
        if (n < StreamChunkSize) {
            finishWrite();
            return;
        }
    }
}

} // namespace ciphra
