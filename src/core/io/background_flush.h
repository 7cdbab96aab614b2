#pragma once
// Writes a file's data to the disk in the background while it is being
// written, so that the flush the file needs once complete has little left
// to do and the disk works while the rest of the file is produced.
//
// Every FlushInterval a thread hands what was appended since its last round
// to the disk (sync_file_range: writeback starts, nothing waits) and then
// waits for the range it handed over the round before. The disk so always
// has the newest range to write and never more than two rounds queued.
// Every FlushEveryRounds-th round also flushes the file (fdatasync): what the
// disk holds in its cache and the journal's record of the new blocks would
// otherwise all wait for the final fsync, which then took a tenth of a
// second for 256 MiB where it now takes a few milliseconds. Linux reports a
// failed write-back to one call per open file only, so a failure seen here
// is kept and thrown by Stop: the caller's own final flush may no longer see
// it.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "core/io/posix_file.h"

namespace ciphra {

class BackgroundFlush {
public:
    static constexpr std::chrono::milliseconds FlushInterval{20};
    static constexpr unsigned FlushEveryRounds = 5;

    // Starts the thread. `file` must outlive Stop.
    explicit BackgroundFlush(File& file);
    BackgroundFlush(const BackgroundFlush&) = delete;
    BackgroundFlush& operator=(const BackgroundFlush&) = delete;
    ~BackgroundFlush(); // cancels

    // Ends the flushing and waits for the thread; throws FileError when a
    // write-back failed. Call before the file's final flush and before closing it.
    void Stop();
    // The same, for a file that is given up: a failure does not matter.
    void Cancel() noexcept;

private:
    void Run();
    void Round(); // one round of handing over and waiting; throws FileError

    File& file_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    int error_ = 0;             // errno of the first failed write-back
    std::uint64_t started_ = 0; // bytes handed to the disk
    std::uint64_t awaited_ = 0; // bytes known written
    unsigned rounds_ = 0;
    std::thread thread_;
};

} // namespace ciphra
