#include "fileenc/working_file.h"

#include <cerrno>

namespace ciphra {
namespace {

// Leaves room for the dots and the random part within the 255-byte limit.
constexpr std::size_t StemLimit = 200;

// Cuts a long stem at a UTF-8 character boundary.
std::string ShortStem(const std::string& stem)
{
    if (stem.size() <= StemLimit)
        return stem;
    std::size_t cut = StemLimit;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80)
        --cut;
    return stem.substr(0, cut);
}

} // namespace

WorkingFile::WorkingFile(const std::string& folder, const std::string& stem,
                         WorkingFileWatch* watch)
    : file_(File::CreateUnique(folder, "." + ShortStem(stem) + ".", path_)), watch_(watch)
{
    if (watch_ != nullptr)
        watch_->WorkingFileCreated(path_);
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
