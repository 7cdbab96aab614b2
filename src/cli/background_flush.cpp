#include "cli/background_flush.h"

#include <chrono>
#include <system_error>

#include "cli/interrupt_cleanup.h"

namespace ciphra::cli {

namespace {

// How often the thread looks at the file's size: a batch takes a quarter of
// a second or more to write at the cipher's speed.
constexpr auto PollInterval = std::chrono::milliseconds(10);

} // namespace

BackgroundFlush::BackgroundFlush(File& file) : file_(file)
{
    // The thread inherits the signal mask in force while it is created.
    const InterruptsHeld held;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No thread: the final flush does all the work, as it would anyway.
    }
}

BackgroundFlush::~BackgroundFlush()
{
    Cancel();
}

void BackgroundFlush::Stop()
{
    Cancel();
    if (error_ != 0) {
        throw FileError(error_);
    }
}

void BackgroundFlush::Cancel() noexcept
{
    if (!thread_.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void BackgroundFlush::Run()
{
    std::uint64_t flushed = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, PollInterval, [this] { return stop_; })) {
        lock.unlock();
        try {
            const std::uint64_t size = file_.Size();
            if (size >= flushed + FlushBatch) {
                file_.SyncData();
                flushed = size;
            }
        } catch (const FileError& error) {
            lock.lock();
            error_ = error.ErrorNumber();
            return;
        }
        lock.lock();
    }
}

} // namespace ciphra::cli
