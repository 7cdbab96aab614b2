#include "gui/commands/file_transform.h"

#include "core/jobs/age_file.h"
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

// An age file that could not be opened: nothing was written.
void ShowAgeFault(const FileCommandWindows& w, const CipherPlan& plan, const age::AgeError& error)
{
    const QString path = ShownPath(plan.Job.Source);
    if (error.What() == age::Problem::WrongPassword) {
        ErrorBox(w.Parent, AgeWrongPasswordText + path);
    } else {
        ErrorBox(w.Parent, AgeNotDecryptedText + path + QStringLiteral("\n\n") +
                               QString::fromStdString(error.what()));
    }
}

bool TransformFile(const FileCommandWindows& w, CipherDirection direction, bool inPlace,
                   CipherFormat format, const KeyMaterial& key, const age::Keys& ageKeys,
                   const QString& name)
{
    CipherJob job;
    job.Direction = direction;
    job.Where = inPlace ? Placement::InPlace : Placement::Beside;
    job.Existing = ExistingOutput::Replace; // "overwritten without a question"
    job.SourceMustBeWritable = true;        // as the windows always opened it
    job.Source = SelectedFilePath(w.List, name);
    job.Format = format;
    CipherPlan plan = PlanCipherJob(job);
    if (plan.Status == CipherStatus::Ready) {
        try {
            ProgressRun progress(w.Progress,
                                 Encrypting(direction) ? QStringLiteral("Encrypting")
                                                       : QStringLiteral("Decrypting"),
                                 name);
            plan = plan.Format == CipherFormat::Age ? RunAgeJob(plan, ageKeys, &progress)
                                                    : RunCipherJob(std::move(plan), key, &progress);
        } catch (const age::AgeError& error) {
            w.Password.ClearPasswordField();
            ShowAgeFault(w, plan, error);
            return false;
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
    TransformKeys keys;
    keys.Password = &entry;
    return TransformSelection(windows, direction, inPlace, CipherFormat::Cph, keys);
}

bool TransformSelection(const FileCommandWindows& windows, CipherDirection direction, bool inPlace,
                        CipherFormat format, const TransformKeys& keys)
{
    KeyMaterial key;
    age::Keys ageKeys;
    if (keys.Password != nullptr) {
        MakeKeyMaterial(keys.Password->Bytes, keys.Password->UseDigest, key);
        ageKeys.Password = keys.Password->Bytes;
    }
    ageKeys.Identities = keys.Identities;
    if (keys.CphFiles) {
        // A password that gives no key ends the command before any file is touched.
        const CipherRun keyCheck(key.Bytes, key.Length);
    }
    for (const QString& name : windows.List.SelectedNames()) {
        if (!TransformFile(windows, direction, inPlace, format, key, ageKeys, name)) {
            return false;
        }
    }
    return true;
}

} // namespace ciphra::gui
