#include "gui/commands/encrypt_command.h"

#include <QApplication>

#include <algorithm>
#include <optional>

#include "core/jobs/cipher_stream.h"
#include "core/jobs/sfx_writer.h"
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
// choice says: the stub has no SHA-1. Only the first selected file counts;
// the list stays as it is.
bool WriteProgram(const FileCommandWindows& w, const PasswordEntry& entry,
                  const std::string& stubPath)
{
    const QStringList names = w.List.SelectedNames();
    if (names.isEmpty()) {
        w.Password.ClearPasswordField();
        return false;
    }
    {
        // A password that gives no key ends the command before any file is
        // touched, and stays in the dialog for the message's remedy.
        const auto length =
            static_cast<std::int32_t>(std::min<std::size_t>(entry.Bytes.size(), 33));
        const CipherRun keyCheck(entry.Bytes.data(), length);
    }
    SfxOutcome outcome;
    try {
        ProgressRun progress(w.Progress, QStringLiteral("Encrypting"), names.front());
        outcome = WriteSelfDecryptingProgram(SelectedFilePath(w.List, names.front()), entry.Bytes,
                                             stubPath, &progress);
    } catch (...) {
        // A failing write (a full disk) still blanks the field before the report.
        w.Password.ClearPasswordField();
        throw;
    }
    switch (outcome.Status) {
    case SfxStatus::SourceUnusable:
        InformationBox(w.Parent, CannotOpenText);
        w.Password.ClearPasswordField();
        return false;
    case SfxStatus::ProgramNameTaken:
        w.Password.ClearPasswordField();
        ErrorBox(w.Parent, DecryptorNameTakenText + ShownPath(outcome.Program));
        return false;
    case SfxStatus::Done:
        w.Password.ClearPasswordField();
        QApplication::beep();
        PlainBox(w.Parent, DecryptorSpawnedText + ShownPath(outcome.Program));
        return true;
    }
    return false;
}

} // namespace

bool RunEncryptCommand(const FileCommandWindows& windows, EncryptOptions options,
                       const std::string& stubPath)
{
    // Asked even when the self-decrypting way, which never overwrites, is chosen.
    if (options.Overwrite && !ConfirmBox(windows.Parent, OverwriteOnEncryptQuestion)) {
        return false;
    }
    const bool age = options.AgeFormat && !options.SelfDecrypting;
    PasswordEntry entry;
    bool asked = false;
    {
        std::optional<DigestOptionHidden> digestHidden;
        if (age) {
            digestHidden.emplace(windows.Password);
        }
        asked = AskPassword(windows.Password, entry);
    }
    if (!asked) {
        EndStep(windows);
        return false;
    }
    if (options.SelfDecrypting) {
        return WriteProgram(windows, entry, stubPath);
    }
    TransformKeys keys;
    keys.Password = &entry;
    keys.CphFiles = !age;
    if (!TransformSelection(windows, CipherDirection::Encrypt, options.Overwrite,
                            age ? CipherFormat::Age : CipherFormat::Cph, keys)) {
        return false;
    }
    EndStep(windows);
    return true;
}

} // namespace ciphra::gui
