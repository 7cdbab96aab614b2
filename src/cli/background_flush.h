#pragma once
// Flushes a file that is being written to the disk in the background, a
// batch at a time, so that the flush the file needs once complete has little
// left to do and the disk works while the rest of the file is produced.
//
// A thread watches the file's size and flushes its data (fdatasync) whenever
// FlushBatch more bytes have been written. Linux reports a failed flush to
// one flush call per open file only, so a failure seen here is kept and
// thrown by Stop: the caller's own final flush may no longer see it.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "fileenc/posix_file.h"

namespace ciphra::cli {

class BackgroundFlush {
public:
    static constexpr std::uint64_t FlushBatch = std::uint64_t{64} << 20;

    // Starts the thread with the interrupting signals held back, so that they
    // reach the threads that expect them. `file` must outlive Stop.
    explicit BackgroundFlush(File& file);
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;
    ~BackgroundFlush(); // cancels

    // Ends the flushing and waits for the thread; throws FileError when a
    // flush failed. Call before the file's final flush and before closing it.
    void Stop();
    // The same, for a file that is given up: a failure does not matter.
    void Cancel() noexcept;

private:
    void Run();

    File& file_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    int error_ = 0; // errno of the first failed flush
    std::thread thread_;
};

} // namespace ciphra::cli
