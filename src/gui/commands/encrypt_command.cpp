#include "gui/commands/encrypt_command.h"

#include <QApplication>
#include <QLineEdit>

#include <algorithm>

#include "core/jobs/sfx_writer.h"
#include "gui/browse/item_id.h"
#include "gui/commands/file_transform.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/cipher_progress_window.h"

namespace ciphra::gui {
namespace {

// After the loop and after Cancel in the password dialog.
void EndStep(const FileCommandWindows& w)
{
    w.List.ClearSelection();
    w.Password.ClearPasswordField();
    w.List.RefreshFromPathBox();
}

// The program is keyed with the password's own bytes whatever the digest
// choice says: the stub has no SHA-1. It is written complete in a working
// file beside it, so that no plain copy and no half program is ever left.
// Only the first selected file counts; the list stays as it is.
void WriteProgram(const FileCommandWindows& w, const PasswordEntry& entry,
                  const std::string& stubPath)
{
    const QStringList names = w.List.SelectedNames();
    if (names.isEmpty()) {
        w.Password.ClearPasswordField();
        return;
    }
    {
        // A password that gives no key ends the command before any file is touched.
        const auto length =
            static_cast<std::int32_t>(std::min<std::size_t>(entry.Bytes.size(), 33));
        CipherRun keyCheck(entry.Bytes.data(), length);
    }
    const std::string path = FullPath(w.List.FolderPath(), names.front()).toStdString();
    if (!File::TryOpen(path, OpenMode::ReadOnly)) {
        InformationBox(w.Parent, CannotOpenText);
        w.Password.ClearPasswordField();
        return;
    }
    w.HashFileName.setText(QString::fromStdString(path));
    const std::string program = SelfDecryptingProgramPath(w.HashFileName.text().toStdString());
    if (PathExists(program)) {
        w.Password.ClearPasswordField();
        w.HashFileName.clear();
        ErrorBox(w.Parent, DecryptorNameTakenText + QString::fromStdString(program));
        return;
    }
    try {
        ProgressRun progress(w.Progress, QStringLiteral("Encrypting"), names.front());
        WriteSelfDecryptingProgram(path, entry.Bytes, stubPath, &progress);
    } catch (...) {
        // A failing write (a full disk) still blanks the fields before the report.
        w.Password.ClearPasswordField();
        w.HashFileName.clear();
        throw;
    }
    w.Password.ClearPasswordField();
    w.HashFileName.clear();
    QApplication::beep();
    PlainBox(w.Parent, DecryptorSpawnedText + QString::fromStdString(program));
}

} // namespace

std::string DefaultStubPath()
{
    return (QCoreApplication::applicationDirPath() + QStringLiteral("/sfdstub.dtt")).toStdString();
}

void RunEncryptCommand(const FileCommandWindows& windows, EncryptOptions options,
                       const std::string& stubPath)
{
    // Asked even when the self-decrypting way, which never overwrites, is chosen.
    if (options.Overwrite && !ConfirmBox(windows.Parent, OverwriteOnEncryptQuestion))
        return;
    PasswordEntry entry;
    if (!AskPassword(windows.Password, entry)) {
        EndStep(windows);
        return;
    }
    if (options.SelfDecrypting)
        WriteProgram(windows, entry, stubPath);
    else if (TransformSelection(windows, CipherDirection::Encrypt, options.Overwrite, entry))
        EndStep(windows);
}

} // namespace ciphra::gui
