#include "fileenc/working_file.h"

#include <cerrno>

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

} // namespace

WorkingFile::WorkingFile(const std::string& folder, const std::string& stem,
                         WorkingFileWatch* watch)
    : file_(File::CreateUnique(folder, HiddenPrefix(stem), path_)), watch_(watch)
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
