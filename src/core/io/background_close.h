#pragma once
// Closes files on a thread of its own, for a caller with more to do.
//
// Closing the last descriptor of a file whose last name is gone is when the
// file system frees it: on ext4 a few tenths of a millisecond per small
// file, spent in the closing thread. A batch that replaces many files in
// place hands their former versions here once the new ones carry their
// names, and goes on writing the next files while they are freed.
//
// Errors of these closes are ignored: only files that were read, never
// written, belong here.

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/io/posix_file.h"

namespace ciphra {

class BackgroundClose {
public:
    BackgroundClose() = default;
    BackgroundClose(const BackgroundClose&) = delete;
    BackgroundClose& operator=(const BackgroundClose&) = delete;
    ~BackgroundClose(); // closes what is left and ends the thread

    // Closes `file` soon; starts the thread at the first call (without a
    // thread, closes it now).
    void Add(File file);
    // Returns once every file given so far is closed.
    void Wait();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<File> queue_;
    bool closing_ = false; // the thread holds files taken from the queue
    bool stop_ = false;
    std::thread thread_;
};

} // namespace ciphra
