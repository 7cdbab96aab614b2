#include "gui/commands/file_transform.h"

#include <QLineEdit>

#include "core/jobs/cipher_stream.h"
#include "core/jobs/key_material.h"
#include "gui/browse/item_id.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/cipher_progress_window.h"

namespace ciphra::gui {
namespace {

bool Encrypting(CipherDirection direction)
{
    return direction == CipherDirection::Encrypt;
}

void RunStream(const FileCommandWindows& w, CipherDirection direction, CipherRun& run, File& input,
               File& output, const QString& name)
{
    ProgressRun progress(
        w.Progress,
        Encrypting(direction) ? QStringLiteral("Encrypting") : QStringLiteral("Decrypting"), name);
    if (Encrypting(direction))
        EncryptStream(run.Context(), input, output, &progress);
    else
        DecryptStream(run.Context(), input, output, &progress);
}

// A stream that fails (a full disk, a read error) still blanks the password
// field and the file name before the failure goes on to the error report.
void ClearFields(const FileCommandWindows& w, CipherRun& run)
{
    run.Wipe();
    w.Password.ClearPasswordField();
    w.HashFileName.clear();
}

void CannotOpen(const FileCommandWindows& w, CipherRun& run, const char* text)
{
    run.Wipe();
    InformationBox(w.Parent, text);
    w.Password.ClearPasswordField();
}

bool InPlace(const FileCommandWindows& w, CipherDirection direction, CipherRun& run,
             const std::string& path, const QString& name)
{
    std::optional<File> file = File::TryOpen(path, OpenMode::ReadWrite);
    if (!file) {
        CannotOpen(w, run, CannotOpenText);
        return false;
    }
    try {
        RunStream(w, direction, run, *file, *file, name);
        file->Close();
    } catch (...) {
        ClearFields(w, run);
        throw;
    }
    run.Wipe();
    w.Password.ClearPasswordField();
    InformationBox(w.Parent, Encrypting(direction) ? EncryptedInPlaceText : DecryptedInPlaceText);
    return true;
}

bool Beside(const FileCommandWindows& w, CipherDirection direction, CipherRun& run,
            const std::string& path, const QString& name)
{
    std::optional<File> source = File::TryOpen(path, OpenMode::ReadWrite);
    if (!source) {
        CannotOpen(w, run, Encrypting(direction) ? CannotOpenReadOnlyText : CannotOpenText);
        return false;
    }
    // The hash window's file name holds the path while the output is named.
    w.HashFileName.setText(QString::fromStdString(path));
    const std::string outputPath = OutputNameBeside(direction, w.HashFileName.text().toStdString());
    std::optional<File> output = OutputBeside(path, outputPath);
    if (!output) {
        run.Wipe();
        ErrorBox(w.Parent, CannotCreateOutputText);
        w.Password.ClearPasswordField();
        w.HashFileName.clear();
        return false;
    }
    try {
        RunStream(w, direction, run, *source, *output, name);
        source->Close();
        output->Close();
    } catch (...) {
        // No half output is left to be taken for the whole file.
        output.reset();
        RemoveFileQuietly(outputPath.c_str());
        ClearFields(w, run);
        throw;
    }
    run.Wipe();
    w.Password.ClearPasswordField();
    w.HashFileName.clear();
    InformationBox(w.Parent, (Encrypting(direction) ? EncryptedInText : DecryptedInText) +
                                 QString::fromStdString(outputPath));
    return true;
}

} // namespace

std::string OutputNameBeside(CipherDirection direction, const std::string& path)
{
    return Encrypting(direction) ? path + ".CPH" : ReplaceExtension(path, ".dec");
}

bool TransformSelection(const FileCommandWindows& windows, CipherDirection direction, bool inPlace,
                        const PasswordEntry& entry)
{
    KeyMaterial key;
    MakeKeyMaterial(entry.Bytes, entry.UseDigest, key);
    const QStringList names = windows.List.SelectedNames();
    for (const QString& name : names) {
        CipherRun run(key.Bytes, key.Length);
        const std::string path = FullPath(windows.List.FolderPath(), name).toStdString();
        const bool goOn = inPlace ? InPlace(windows, direction, run, path, name)
                                  : Beside(windows, direction, run, path, name);
        if (!goOn)
            return false;
    }
    return true;
}

} // namespace ciphra::gui
