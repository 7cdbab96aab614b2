#include "core/jobs/fill_ahead.h"

#include <cstring>
#include <system_error>

#include "core/crypto/wipe.h"
#include "core/jobs/chunk_stream.h"

namespace ciphra {

static_assert(FillAhead::SegmentSize % StreamChunkSize == 0);

FillBuffer::FillBuffer() : bytes_(new std::uint8_t[StreamChunkSize]) {}

FillBuffer::~FillBuffer()
{
    SecureWipe(bytes_.get(), StreamChunkSize);
}

FillAhead::FillAhead(File& file, FillBuffer& buffer, std::function<void()> filled)
    : file_(file), buffer_(buffer), filled_(std::move(filled))
{
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        Run(); // no second thread: the fills come first, whole
    }
}

FillAhead::~FillAhead()
{
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::uint64_t FillAhead::FillSegment(std::uint8_t fill, std::uint64_t start)
{
    std::uint64_t position = start;
    while (position < start + SegmentSize && !stop_) {
        const std::size_t n = file_.ReadAt(buffer_.Bytes(), StreamChunkSize, position);
        if (n > 0) {
            std::memset(buffer_.Bytes(), fill, n);
            file_.WriteAllAt(buffer_.Bytes(), n, position);
        }
        position += n;
        if (n < StreamChunkSize) {
            break;
        }
    }
    return position;
}

void FillAhead::Run() noexcept
{
    try {
        for (std::uint64_t start = 0; !stop_; start += SegmentSize) {
            FillSegment(0x00, start);
            file_.SyncData();
            const std::uint64_t end = FillSegment(0xFF, start);
            file_.SyncData();
            const std::lock_guard<std::mutex> lock(mutex_);
            ready_ = end;
            ended_ = end < start + SegmentSize;
            changed_.notify_all();
            if (ended_) {
                return;
            }
        }
    } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex_);
        error_ = std::current_exception();
        changed_.notify_all();
    }
}

template <typename Ready> void FillAhead::WaitUntil(Ready ready)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return error_ || ended_ || ready(); });
    if (error_) {
        std::rethrow_exception(error_);
    }
    if (ended_ && !reported_) {
        reported_ = true;
        lock.unlock();
        filled_();
    }
}

void FillAhead::BeforeRead(std::uint64_t offset, std::size_t length)
{
    WaitUntil([&] { return ready_ >= offset + length; });
}

void FillAhead::Finish()
{
    WaitUntil([] { return false; });
}

} // namespace ciphra
