#pragma once
// Flushes a file to the disk in the background while it is being written, so
// that the flush the file needs once complete has little left to do and the
// disk works while the rest of the file is produced.
//
// A thread flushes the file's data (fdatasync) every FlushInterval until
// stopped. Linux reports a failed flush to one flush call per open file only,
// so a failure seen here is kept and thrown by Stop: the caller's own final
// flush may no longer see it.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/io/posix_file.h"

namespace ciphra {

class BackgroundFlush {
public:
    static constexpr std::chrono::milliseconds FlushInterval{100};

    // Starts the thread. `file` must outlive Stop.
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

} // namespace ciphra
