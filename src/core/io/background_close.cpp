#include "core/io/background_close.h"

#include <system_error>
#include <utility>

namespace ciphra {

BackgroundClose::~BackgroundClose()
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

void BackgroundClose::Add(File file)
{
    if (!thread_.joinable()) {
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return; // `file` closes here, on the caller's time
        }
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(file));
    }
    wake_.notify_one();
}

void BackgroundClose::Wait()
{
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && !closing_; });
}

void BackgroundClose::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return; // stopping, nothing left
        }
        std::vector<File> taken = std::move(queue_);
        queue_.clear();
        closing_ = true;
        lock.unlock();
        taken.clear(); // the closes, outside the lock
        lock.lock();
        closing_ = false;
        idle_.notify_all();
    }
}

} // namespace ciphra
