#include "gui/commands/file_transform.h"

#include "core/jobs/age_file.h"
#include "core/jobs/cipher_batch.h"
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

CipherPlan PlanFor(const FileCommandWindows& w, CipherDirection direction, bool inPlace,
                   CipherFormat format, const QString& name)
{
    CipherJob job;
    job.Direction = direction;
    job.Where = inPlace ? Placement::InPlace : Placement::Beside;
    job.Existing = ExistingOutput::Replace; // "overwritten without a question"
    job.SourceMustBeWritable = true;        // as the windows always opened it
    job.Source = SelectedFilePath(w.List, name);
    job.Format = format;
    return PlanCipherJob(job);
}

// The box for one file once its outcome is final. A failing stream (a full
// disk, a read error) still blanks the password field before the failure
// goes on to the error report.
void Announce(const FileCommandWindows& w, const CipherOutcome& outcome, bool inPlace)
{
    const CipherPlan& plan = outcome.Plan;
    if (outcome.Failure) {
        w.Password.ClearPasswordField();
        try {
            std::rethrow_exception(outcome.Failure);
        } catch (const age::AgeError& error) {
            ShowAgeFault(w, plan, error);
        }
        return;
    }
    if (plan.Status != CipherStatus::Done) {
        ShowRefusal(w, plan, inPlace);
        w.Password.ClearPasswordField();
        return;
    }
    w.Password.ClearPasswordField();
    InformationBox(w.Parent, DoneText(plan, inPlace));
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
    // The files' outputs are flushed together and each box comes once its
    // file has its name; the first file not done ends the loop.
    CipherBatch batch(key, ageKeys, BatchFailure::StopAtFailure,
                      [&](const CipherOutcome& outcome) { Announce(windows, outcome, inPlace); });
    const QString caption =
        Encrypting(direction) ? QStringLiteral("Encrypting") : QStringLiteral("Decrypting");
    for (const QString& name : windows.List.SelectedNames()) {
        const CipherPlan plan = PlanFor(windows, direction, inPlace, format, name);
        if (plan.Status == CipherStatus::Ready) {
            ProgressRun progress(windows.Progress, caption, name);
            batch.Run(plan, &progress);
        } else {
            batch.Run(plan, nullptr);
        }
        if (batch.Stopped()) {
            return false;
        }
    }
    batch.Finish();
    return !batch.Stopped();
}

} // namespace ciphra::gui
