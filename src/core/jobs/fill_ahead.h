#pragma once
// The zeros and the ones of a shredding pass, written on a thread of their
// own one segment at a time, ahead of the cipher overwrite that follows them
// through the file.
//
// Each segment gets all its zeros, a flush, all its ones and a flush before
// the cipher overwrite may read it (FillAhead is the cipher stream's read
// gate), so every byte still reaches the disk as 0x00, then 0xFF, then
// cipher, each durable before the next. The cipher overwrite is one serial
// chain that no second core can share; this way the disk writes the fills
// while that chain runs, instead of before it.
//
// The fills read each chunk before overwriting it, to learn how much of the
// file is there: a segment that reads short is the file's end.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/io/posix_file.h"
#include "core/jobs/stream_pipeline.h"

namespace ciphra {

// One chunk for the fills. It briefly holds the file's old bytes, so it is
// wiped at the end.
class FillBuffer {
public:
    FillBuffer();
    ~FillBuffer();
    FillBuffer(const FillBuffer&) = delete;
    FillBuffer& operator=(const FillBuffer&) = delete;
    std::uint8_t* Bytes() { return bytes_.get(); }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
};

class FillAhead final : public ReadGate {
public:
    // Bytes filled and flushed at a time: small enough that the cipher
    // overwrite soon has a segment to follow, large enough that the flushes
    // cost little. A whole number of stream chunks.
    static constexpr std::uint64_t SegmentSize = std::uint64_t{2} << 20;

    // Starts filling `file` from its start (on the calling thread, whole,
    // when no thread can be started). `filled` is called once, on the thread
    // that waits in BeforeRead or Finish, when the fills reached the file's
    // end without failing. `file` and `buffer` must outlive this object.
    FillAhead(File& file, FillBuffer& buffer, std::function<void()> filled);
    // Stops the fills after their current chunk and waits for the thread.
    ~FillAhead();
    FillAhead(const FillAhead&) = delete;
    FillAhead& operator=(const FillAhead&) = delete;

    // Waits until [offset, offset + length) holds flushed ones, or the fills
    // reached the file's end; throws the fills' failure.
    void BeforeRead(std::uint64_t offset, std::size_t length) override;
    // Waits until the fills are done; throws their failure.
    void Finish();

private:
    void Run() noexcept;
    // Overwrites [start, start + SegmentSize) with `fill` chunk by chunk;
    // returns where it stopped: short of the segment's end at the file's end.
    std::uint64_t FillSegment(std::uint8_t fill, std::uint64_t start);
    // Waits until `ready` holds; then reports the end or throws a failure.
    template <typename Ready> void WaitUntil(Ready ready);

    File& file_;
    FillBuffer& buffer_;
    std::function<void()> filled_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t ready_ = 0; // [0, ready_) holds flushed ones
    bool ended_ = false;      // the fills reached the file's end
    bool reported_ = false;   // filled_ was called
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace ciphra
