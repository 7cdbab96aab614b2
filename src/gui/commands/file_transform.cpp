#include "gui/commands/file_transform.h"

#include "core/jobs/file_cipher.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/cipher_progress_window.h"

namespace ciphra::gui {
namespace {

bool Encrypting(CipherDirection direction)
{
    return direction == CipherDirection::Encrypt;
}

// Replacing a file gives its name a new file: other hard links of the old one
// keep what it held, and the box must not let the user think otherwise.
QString OtherLinksNote(nlink_t links)
{
    if (links == 0) {
        return {};
    }
    return QStringLiteral("\n\nNote: %1 other hard link%2 to this file still hold%3 its former "
                          "contents.")
        .arg(links)
        .arg(links == 1 ? "" : "s")
        .arg(links == 1 ? "s" : "");
}

QString DoneText(const CipherPlan& plan, bool inPlace)
{
    const bool encrypting = Encrypting(plan.Job.Direction);
    if (inPlace) {
        return (encrypting ? EncryptedInPlaceText : DecryptedInPlaceText) +
               OtherLinksNote(plan.OtherLinks);
    }
    return (encrypting ? EncryptedInText : DecryptedInText) + ShownPath(plan.Output);
}

// The box for a file that could not be done; the windows end the command.
void ShowRefusal(const FileCommandWindows& w, const CipherPlan& plan, bool inPlace)
{
    const bool outputProblem =
        plan.Status == CipherStatus::OutputTaken || plan.Status == CipherStatus::OutputUnusable;
    if (outputProblem && !inPlace) {
        ErrorBox(w.Parent, CannotCreateOutputText);
    } else if (!inPlace && Encrypting(plan.Job.Direction)) {
        InformationBox(w.Parent, CannotOpenReadOnlyText);
    } else {
        InformationBox(w.Parent, CannotOpenText); // in place: no new version can be made
    }
}

bool TransformFile(const FileCommandWindows& w, CipherDirection direction, bool inPlace,
                   const KeyMaterial& key, const QString& name)
{
    CipherJob job;
    job.Direction = direction;
    job.Where = inPlace ? Placement::InPlace : Placement::Beside;
    job.Existing = ExistingOutput::Replace; // "overwritten without a question"
    job.SourceMustBeWritable = true;        // as the windows always opened it
    job.Source = SelectedFilePath(w.List, name);
    CipherPlan plan = PlanCipherJob(job);
    if (plan.Status == CipherStatus::Ready) {
        try {
            ProgressRun progress(w.Progress,
                                 Encrypting(direction) ? QStringLiteral("Encrypting")
                                                       : QStringLiteral("Decrypting"),
                                 name);
            plan = RunCipherJob(std::move(plan), key, &progress);
        } catch (...) {
            // A failing stream (a full disk, a read error) still blanks the
            // password field before the failure goes on to the error report.
            w.Password.ClearPasswordField();
            throw;
        }
    }
    if (plan.Status != CipherStatus::Done) {
        ShowRefusal(w, plan, inPlace);
        w.Password.ClearPasswordField();
        return false;
    }
    w.Password.ClearPasswordField();
    InformationBox(w.Parent, DoneText(plan, inPlace));
    return true;
}

} // namespace

bool TransformSelection(const FileCommandWindows& windows, CipherDirection direction, bool inPlace,
                        const PasswordEntry& entry)
{
    KeyMaterial key;
    MakeKeyMaterial(entry.Bytes, entry.UseDigest, key);
    {
        // A password that gives no key ends the command before any file is touched.
        const CipherRun keyCheck(key.Bytes, key.Length);
    }
    for (const QString& name : windows.List.SelectedNames()) {
        if (!TransformFile(windows, direction, inPlace, key, name)) {
            return false;
        }
    }
    return true;
}

} // namespace ciphra::gui
