#include "core/io/temporary_output.h"

#include <cerrno>

#include "core/io/interrupts.h"

namespace ciphra {

File TemporaryOutput::CreateRemembered(const std::string& finalPath, std::string& temporaryPath)
{
    // Built with append: GCC 12 at -O3 misreads "." + name + ".part-" as an
    // overlapping copy (-Wrestrict).
    std::string prefix(".");
    prefix.append(NameOf(finalPath)).append(".part-");
    InterruptsHeld held;
    File file = File::CreateUnique(FolderOf(finalPath), prefix, temporaryPath);
    RememberTemporary(temporaryPath);
    return file;
}

TemporaryOutput::TemporaryOutput(const std::string& finalPath)
    : finalPath_(finalPath), file_(CreateRemembered(finalPath, temporaryPath_))
{
}

TemporaryOutput::~TemporaryOutput()
{
    flush_.Cancel();
    InterruptsHeld held;
    if (!committed_) {
        try {
            file_.Close();
        } catch (const FileError&) {
            // the file goes anyway
        }
        RemoveFileQuietly(temporaryPath_.c_str());
    }
    ForgetTemporary();
}

void TemporaryOutput::Finish(mode_t permissions)
{
    flush_.Stop();
    file_.Sync();
    file_.SetPermissions(permissions);
    file_.Close();
}

void TemporaryOutput::CommitNew(mode_t permissions)
{
    Finish(permissions);
    int error = 0;
    if (!RenameNoReplace(temporaryPath_, finalPath_, &error)) {
        if (error == EEXIST) {
            throw FileError(error, finalPath_ + ": file exists, not replaced");
        }
        throw FileError(error);
    }
    committed_ = true;
}

void TemporaryOutput::CommitReplacing(mode_t permissions)
{
    Finish(permissions);
    ReplaceFile(temporaryPath_, finalPath_);
    committed_ = true;
}

} // namespace ciphra
