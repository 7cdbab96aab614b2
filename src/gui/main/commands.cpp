// The command handlers of the main window. The file commands whose work
// belongs to the encryption and tools areas are bound here by name and
// filled in by those areas.

#include "gui/commands/decrypt_command.h"
#include "gui/commands/encrypt_command.h"
#include "gui/commands/shred_command.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_view.h"
#include "gui/main/main_window.h"
#include "gui/shells/shells.h"
#include "gui/windows/about_window.h"
#include "gui/windows/cipher_progress_window.h"
#include "gui/windows/color_legend.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/text_window.h"

#include <QLineEdit>

namespace ciphra::gui {

void MainWindow::ToolButton2Click()
{
    if (windows_.password == nullptr || windows_.hash == nullptr)
        return;
    CipherProgressWindow progress(this);
    RunEncryptCommand({this, *this, *windows_.password, *windows_.hash->HashFile, progress},
                      {Commands.Createselfdecryptingfiles1->isChecked(),
                       Commands.Overwritefileonencryption1->isChecked()},
                      DefaultStubPath());
}

void MainWindow::ToolButton4Click()
{
    if (windows_.password == nullptr || windows_.hash == nullptr)
        return;
    CipherProgressWindow progress(this);
    RunDecryptCommand({this, *this, *windows_.password, *windows_.hash->HashFile, progress},
                      Commands.Overwritefileonencryption1->isChecked());
}

void MainWindow::ToolButton5Click()
{
    if (windows_.wipeProgress != nullptr)
        ShredSelectedFiles(this, *this, *windows_.wipeProgress);
}

void MainWindow::WipeFile(const QString& path, int passes)
{
    WipeSucceeded = false;
    if (windows_.wipeProgress != nullptr)
        WipeSucceeded = windows_.wipeProgress->WipeFile(path, passes);
}

void MainWindow::Hashfile1Click()
{
    if (windows_.hash != nullptr)
        HashSelectedFile(*this, *windows_.hash);
}

void MainWindow::Viewfile1Click()
{
    const int row = ListView->FirstSelectedRow();
    if (row < 0 || windows_.viewer == nullptr)
        return;
    windows_.viewer->ViewFile(FullPathOf(row));
}

void MainWindow::ToolButton8Click()
{
    close();
}

void MainWindow::Stringencryption1Click()
{
    if (windows_.stringEncryption != nullptr)
        windows_.stringEncryption->Execute();
}

void MainWindow::Encryptclipboard1Click()
{
    if (windows_.stringEncryption != nullptr)
        windows_.stringEncryption->EncryptClipboard();
}

void MainWindow::Decryptclipboard1Click()
{
    if (windows_.stringEncryption != nullptr)
        windows_.stringEncryption->DecryptClipboard();
}

void MainWindow::Emptyclipboard1Click()
{
    TextWindow::EmptyClipboard();
}

void MainWindow::ToolButton10Click()
{
    cbPathClick();
}

void MainWindow::Showcolorinfo1Click()
{
    if (windows_.legend != nullptr)
        windows_.legend->ShowLegend();
}

void MainWindow::ToolButton7Click()
{
    PlainBox(this, QStringLiteral("Sorry... Next time, I promise."));
}

void MainWindow::About1Click()
{
    if (windows_.about != nullptr)
        ExecModal(*windows_.about);
}

} // namespace ciphra::gui
