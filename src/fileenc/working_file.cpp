#include "fileenc/working_file.h"

#include <cerrno>
#include <ctime>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace ciphra {
namespace {

constexpr int CreateAttempts = 100;
constexpr std::size_t SuffixLength = 6;
// Leaves room for "." + "." + suffix within the 255-byte name limit.
constexpr std::size_t StemLimit = 200;

std::string RandomSuffix()
{
    static constexpr char Alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static unsigned counter = 0;
    unsigned char bytes[SuffixLength];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // Uniqueness, not secrecy, is what matters: the exclusive create
        // catches any collision.
        unsigned long seed = static_cast<unsigned long>(std::time(nullptr)) * 2654435761UL ^
                             static_cast<unsigned long>(getpid()) << 16 ^ ++counter * 40503UL;
        for (auto& byte : bytes) {
            byte = static_cast<unsigned char>(seed);
            seed = seed * 6364136223846793005UL + 1442695040888963407UL;
            byte ^= static_cast<unsigned char>(seed >> 33);
        }
    }
    std::string suffix;
    for (unsigned char byte : bytes)
        suffix += Alphabet[byte % (sizeof Alphabet - 1)];
    return suffix;
}

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

WorkingFile WorkingFile::Create(const std::string& folder, const std::string& stem)
{
    const std::string prefix = folder + "/." + ShortStem(stem) + ".";
    int error = EEXIST;
    for (int attempt = 0; attempt < CreateAttempts && error == EEXIST; ++attempt) {
        std::string path = prefix + RandomSuffix();
        if (auto file = File::TryOpen(path, OpenMode::CreateExclusive, S_IRUSR | S_IWUSR, &error))
            return WorkingFile(std::move(*file), std::move(path));
    }
    throw FileError(error);
}

WorkingFile::WorkingFile(WorkingFile&& other) noexcept
    : file_(std::move(other.file_)), path_(std::move(other.path_))
{
    other.path_.clear();
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
    try {
        RemoveFile(path_);
    } catch (const FileError&) {
        // Nothing more can be done from a destructor.
    }
}

void WorkingFile::SetPermissions(mode_t mode)
{
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(file_.Descriptor(), mode & ~mask) != 0)
        throw FileError(errno);
}

std::string WorkingFile::Release()
{
    if (file_.IsOpen())
        file_.Close();
    return std::exchange(path_, std::string());
}

bool WorkingFile::MoveTo(const std::string& target)
{
    if (file_.IsOpen())
        file_.Close();
    int error = 0;
    if (RenameNoReplace(path_, target, &error)) {
        path_.clear();
        return true;
    }
    if (error == EEXIST)
        return false;
    throw FileError(error);
}

} // namespace ciphra
