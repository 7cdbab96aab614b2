#include "core/io/working_file.h"

#include <cerrno>
#include <csignal>

namespace ciphra {
namespace {

// Leaves room for the dots and the random part within the 255-byte limit.
constexpr std::size_t StemLimit = 200;

// "." + stem + ".", with a long stem cut at a UTF-8 character boundary.
std::string HiddenPrefix(const std::string& stem)
{
    std::size_t cut = stem.size();
    if (cut > StemLimit) {
        cut = StemLimit;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
            --cut;
    }
    std::string prefix(1, '.');
    prefix.append(stem, 0, cut);
    prefix.push_back('.');
    return prefix;
}

// Holds the interrupting signals back, so that none arrives between the
// file's creation and the watch hearing of it.
class InterruptsHeld {
public:
    InterruptsHeld() noexcept
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&held, signal);
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~InterruptsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_;
};

File CreateAnnounced(const std::string& folder, const std::string& stem, std::string& path,
                     WorkingFileWatch* watch)
{
    if (watch == nullptr)
        return File::CreateUnique(folder, HiddenPrefix(stem), path);
    InterruptsHeld held;
    File file = File::CreateUnique(folder, HiddenPrefix(stem), path);
    watch->WorkingFileCreated(path);
    return file;
}

} // namespace

WorkingFile::WorkingFile(const std::string& folder, const std::string& stem,
                         WorkingFileWatch* watch)
    : file_(CreateAnnounced(folder, stem, path_, watch)), watch_(watch)
{
}

WorkingFile::~WorkingFile()
{
    if (path_.empty())
        return;
    try {
        if (file_.IsOpen())
            file_.Close();
    } catch (const FileError&) {
        // The file goes anyway.
    }
    RemoveFileQuietly(path_.c_str());
    Forget();
}

void WorkingFile::Forget()
{
    path_.clear();
    if (watch_ != nullptr)
        watch_->WorkingFileGone();
}

bool WorkingFile::MoveTo(const std::string& target)
{
    if (file_.IsOpen())
        file_.Close();
    int error = 0;
    if (RenameNoReplace(path_, target, &error)) {
        Forget();
        return true;
    }
    if (error == EEXIST)
        return false;
    throw FileError(error);
}

std::string WorkingFile::Release()
{
    if (file_.IsOpen())
        file_.Close();
    std::string path = path_;
    Forget();
    return path;
}

} // namespace ciphra
