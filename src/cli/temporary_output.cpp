#include "cli/temporary_output.h"

#include <cerrno>

#include "cli/interrupt_cleanup.h"

namespace ciphra::cli {

TemporaryOutput::TemporaryOutput(const std::string& finalPath)
    : finalPath_(finalPath),
      file_(File::CreateUnique(FolderOf(finalPath), "." + NameOf(finalPath) + ".part-",
                               temporaryPath_))
{
    RememberTemporary(temporaryPath_);
}

TemporaryOutput::~TemporaryOutput()
{
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
        throw FileError(error, finalPath_ + ": " + IoErrorText(error));
    }
    committed_ = true;
}

void TemporaryOutput::CommitReplacing(mode_t permissions)
{
    Finish(permissions);
    ReplaceFile(temporaryPath_, finalPath_);
    committed_ = true;
}

} // namespace ciphra::cli
