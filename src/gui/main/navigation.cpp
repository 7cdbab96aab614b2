// Navigation of the main window: listing a folder, the path box and its
// history, up one level, opening entries, and the coupling with the tree.

#include "gui/list/file_list_view.h"
#include "gui/main/main_window.h"
#include "gui/tree/drive_view.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace ciphra::gui {

void MainWindow::ShowFolder(const ItemId& id)
{
    // Binding and enumeration come first: a failure leaves the list, the
    // current folder and the history as they were.
    ListView->setUpdatesEnabled(false);
    struct EndBatch {
        QWidget* list;
        ~EndBatch() { list->setUpdatesEnabled(true); }
    } endBatch{ListView};

    Entries->LoadEntries(id);
    currentFolderId_ = id;
    currentPath_ = id;
    const int known = HistoryIndexOf(currentPath_);
    if (known < 0) {
        cbPath->insertItem(0, currentPath_, id);
        cbPath->setCurrentIndex(0);
    } else {
        cbPath->setCurrentIndex(known);
    }
    cbPath->setEditText(cbPath->itemText(cbPath->currentIndex()));
    ListView->SelectFirstRow();
}

void MainWindow::ShowFolderByPath(const QString& text)
{
    ShowFolder(ParseDisplayName(text));
}

int MainWindow::HistoryIndexOf(const QString& path) const
{
    for (int i = 0; i < cbPath->count(); ++i) {
        if (cbPath->itemText(i).compare(path, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void MainWindow::OpenWithAssociation(const QString& file, const QString& folder)
{
    OpenFile(file, folder);
}

void MainWindow::cbPathClick()
{
    SetFileCommandsEnabled(false);
    const QString text = cbPath->currentText();
    const int known = HistoryIndexOf(text);
    if (known >= 0)
        ShowFolder(cbPath->itemData(known).toString());
    else
        ShowFolderByPath(text);
    DriveView1->SetDirectory(cbPath->currentText());
    ListView->ClearSelection();
}

bool MainWindow::cbPathKeyDown(QKeyEvent* event)
{
    SetFileCommandsEnabled(false);
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // An empty box has nothing to go to; the key is consumed all the same.
    if (!cbPath->currentText().isEmpty()) {
        ShowFolderByPath(cbPath->currentText());
        DriveView1->SetDirectory(cbPath->currentText());
    }
    return true;
}

void MainWindow::btnBackClick()
{
    const ItemId up = ParentId(currentFolderId_);
    if (up.isEmpty())
        Beep();
    else
        ShowFolder(up);
    DriveView1->SetDirectory(cbPath->currentText());
    ListView->ClearSelection();
}

void MainWindow::btnBrowseClick()
{
    const QString chosen = ChooseFolder(this);
    if (!chosen.isEmpty())
        ShowFolderByPath(chosen);
}

void MainWindow::btnLargeIconsClick(int tag)
{
    ListView->SetViewStyle(static_cast<ViewStyle>(tag));
}

void MainWindow::ListViewDblClick()
{
    const int row = ListView->FirstSelectedRow();
    if (row < 0)
        return;
    if (Entries->IsFolderEntry(row)) {
        ShowFolder(ConcatId(currentFolderId_, Entries->Entry(row).Name));
        DriveView1->SetDirectory(cbPath->currentText());
        ListView->ClearSelection();
    } else {
        OpenWithAssociation(Entries->Entry(row).Name, cbPath->currentText());
    }
}

void MainWindow::DriveView1Click()
{
    SetFileCommandsEnabled(false);
    cbPath->setEditText(DriveView1->Directory());
    cbPathClick();
}

void MainWindow::DriveView1Change()
{
    cbPath->setEditText(DriveView1->Directory());
    cbPathClick();
}

} // namespace ciphra::gui
