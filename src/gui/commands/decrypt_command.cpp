#include "gui/commands/decrypt_command.h"

#include <optional>

#include "core/jobs/file_cipher.h"
#include "gui/commands/file_transform.h"
#include "gui/kit/message_boxes.h"

namespace ciphra::gui {
namespace {

// After the loop and after Cancel in the password dialog: the list is read
// again before the selection is cleared.
void EndStep(const FileCommandWindows& w)
{
    w.Password.ClearPasswordField();
    w.List.RefreshFromPathBox();
    w.List.ClearSelection();
}

// What the selected files need to be opened with, from their first bytes.
struct SelectionNeeds {
    bool AgeFiles = false;
    bool CphFiles = false; // or anything else that is not an age file
    bool Password = false;
    bool Identity = false;
};

SelectionNeeds NeedsOf(const FileCommandWindows& w)
{
    SelectionNeeds needs;
    for (const QString& name : w.List.SelectedNames()) {
        CipherJob job;
        job.Direction = CipherDirection::Decrypt;
        job.Source = SelectedFilePath(w.List, name);
        const CipherPlan plan = PlanCipherJob(job);
        if (plan.Format != CipherFormat::Age) {
            needs.CphFiles = true;
            needs.Password = true;
            continue;
        }
        needs.AgeFiles = true;
        needs.Password = needs.Password || plan.Lock == age::Lock::Password;
        needs.Identity = needs.Identity || plan.Lock == age::Lock::Recipients;
    }
    return needs;
}

// Asks for the identity file and reads it; false when the user cancels or
// the file is no identity file (its box is shown then).
bool AskIdentities(const FileCommandWindows& w, std::vector<age::Identity>& identities)
{
    const QString path =
        w.ChooseIdentityFile ? w.ChooseIdentityFile(w.Parent) : ChooseIdentityFileDialog(w.Parent);
    if (path.isEmpty()) {
        return false;
    }
    try {
        identities = age::ReadIdentityFile(NativePath(path));
    } catch (const Exception& error) {
        ErrorBox(w.Parent, QString::fromStdString(error.what()));
        return false;
    }
    return true;
}

// A selection with age files: the password only when a file needs one, and
// the identity file when a file was made for recipients. True when every
// file was decrypted.
bool DecryptWithAgeFiles(const FileCommandWindows& windows, bool overwrite,
                         const SelectionNeeds& needs)
{
    PasswordEntry entry;
    TransformKeys keys;
    keys.CphFiles = needs.CphFiles;
    if (needs.Password) {
        std::optional<DigestOptionHidden> digestHidden;
        if (!needs.CphFiles) {
            digestHidden.emplace(windows.Password);
        }
        if (!AskPassword(windows.Password, entry)) {
            EndStep(windows);
            return false;
        }
        keys.Password = &entry;
    }
    if (needs.Identity && !AskIdentities(windows, keys.Identities)) {
        EndStep(windows);
        return false;
    }
    if (!TransformSelection(windows, CipherDirection::Decrypt, overwrite, CipherFormat::Cph,
                            keys)) {
        return false;
    }
    EndStep(windows);
    return true;
}

} // namespace

bool RunDecryptCommand(const FileCommandWindows& windows, bool overwrite)
{
    if (overwrite && !ConfirmBox(windows.Parent, OverwriteOnDecryptQuestion)) {
        return false;
    }
    const SelectionNeeds needs = NeedsOf(windows);
    if (needs.AgeFiles) {
        return DecryptWithAgeFiles(windows, overwrite, needs);
    }
    PasswordEntry entry;
    const bool asked = AskPassword(windows.Password, entry);
    if (asked && !TransformSelection(windows, CipherDirection::Decrypt, overwrite, entry)) {
        return false;
    }
    EndStep(windows);
    return asked;
}

} // namespace ciphra::gui
