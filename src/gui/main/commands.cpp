// The command handlers of the main window. The file commands whose work
// belongs to the encryption and tools areas are bound here by name and
// filled in by those areas.

#include "gui/commands/shred_command.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_view.h"
#include "gui/main/main_window.h"
#include "gui/main/option_commands.h"
#include "gui/shells/shells.h"
#include "gui/windows/about_window.h"
#include "gui/windows/cipher_progress_window.h"
#include "gui/windows/color_legend.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/text_window.h"

namespace ciphra::gui {

void MainWindow::OnEncryptFiles()
{
    if (windows_.password == nullptr)
        return;
    CipherProgressWindow progress(this);
    EncryptWithOptions({this, *this, *windows_.password, progress, chooseIdentityFile},
                       commands.Marks());
}

void MainWindow::OnDecryptFiles()
{
    if (windows_.password == nullptr)
        return;
    CipherProgressWindow progress(this);
    DecryptWithOptions({this, *this, *windows_.password, progress, chooseIdentityFile},
                       commands.Marks());
}

void MainWindow::OnShredFiles()
{
    if (windows_.wipeProgress != nullptr)
        ShredSelectedFiles(this, *this, *windows_.wipeProgress);
}

void MainWindow::WipeFile(const QString& path, int passes)
{
    wipeSucceeded = false;
    if (windows_.wipeProgress != nullptr)
        wipeSucceeded = windows_.wipeProgress->WipeFile(path, passes);
}

void MainWindow::OnHashFile()
{
    if (windows_.hash != nullptr)
        HashSelectedFile(*this, *windows_.hash);
}

void MainWindow::OnViewFile()
{
    const int row = fileList->FirstSelectedRow();
    if (row < 0 || windows_.viewer == nullptr)
        return;
    windows_.viewer->ViewFile(FullPathOf(row));
}

void MainWindow::OnExit()
{
    close();
}

void MainWindow::ApplyClipboardOption()
{
    if (windows_.stringEncryption == nullptr) {
        return;
    }
    windows_.stringEncryption->secretClipboard.clearDelay =
        commands.clearClipboardOption->isChecked() ? SecretClipboard::kDefaultClearDelay
                                                   : std::chrono::milliseconds(0);
}

void MainWindow::OnTextEncryption()
{
    if (windows_.stringEncryption == nullptr) {
        return;
    }
    ApplyClipboardOption();
    windows_.stringEncryption->Execute();
}

void MainWindow::OnEncryptClipboard()
{
    if (windows_.stringEncryption != nullptr)
        windows_.stringEncryption->EncryptClipboard();
}

void MainWindow::OnDecryptClipboard()
{
    if (windows_.stringEncryption == nullptr) {
        return;
    }
    ApplyClipboardOption();
    windows_.stringEncryption->DecryptClipboard();
}

void MainWindow::OnEmptyClipboard()
{
    TextWindow::EmptyClipboard();
}

void MainWindow::OnRefresh()
{
    ShowPathBoxFolder();
}

void MainWindow::OnShowColorLegend()
{
    if (windows_.legend != nullptr)
        windows_.legend->ShowLegend();
}

void MainWindow::OnHelp()
{
    PlainBox(this, QStringLiteral("Sorry... Next time, I promise."));
}

void MainWindow::OnAbout()
{
    if (windows_.about != nullptr)
        ExecModal(*windows_.about);
}

} // namespace ciphra::gui
