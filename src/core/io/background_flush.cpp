#include "core/io/background_flush.h"

#include <system_error>

namespace ciphra {

BackgroundFlush::BackgroundFlush(File& file) : file_(file)
{
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
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, FlushInterval, [this] { return stop_; })) {
        lock.unlock();
        try {
            Round();
        } catch (const FileError& error) {
            lock.lock();
            error_ = error.ErrorNumber();
            return;
        }
        lock.lock();
    }
}

void BackgroundFlush::Round()
{
    const std::uint64_t size = file_.Size();
    const std::uint64_t before = started_;
    if (size > started_) {
        file_.StartWriteback(started_, size - started_);
        started_ = size;
    }
    if (before > awaited_) {
        file_.AwaitWriteback(awaited_, before - awaited_);
        awaited_ = before;
    }
    if (++rounds_ % FlushEveryRounds == 0) {
        file_.SyncData();
    }
}

} // namespace ciphra
