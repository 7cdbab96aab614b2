// Navigation of the main window: listing a folder, the path box and its
// history, up one level, opening entries, and the coupling with the tree.

#include "gui/browse/given_paths.h"
#include "gui/kit/message_boxes.h"
#include "gui/list/file_list_view.h"
#include "gui/main/main_window.h"
#include "gui/tree/drive_view.h"

#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>

namespace ciphra::gui {

void MainWindow::ShowFolder(const ItemId& id)
{
    // Binding and enumeration come first: a failure leaves the list, the
    // current folder and the history as they were.
    fileList->setUpdatesEnabled(false);
    struct EndBatch {
        QWidget* list;
        ~EndBatch() { list->setUpdatesEnabled(true); }
    } endBatch{fileList};

    entries->LoadEntries(id);
    currentFolderId_ = id;
    currentPath_ = id;
    const int known = HistoryIndexOf(currentPath_);
    if (known < 0) {
        pathBox->insertItem(0, currentPath_, id);
        pathBox->setCurrentIndex(0);
    } else {
        pathBox->setCurrentIndex(known);
    }
    pathBox->setEditText(pathBox->itemText(pathBox->currentIndex()));
    fileList->SelectFirstRow();
}

void MainWindow::ShowFolderByPath(const QString& text)
{
    ShowFolder(ParseDisplayName(text));
}

// Exact comparison: file names are case-sensitive, so "a" and "A" are two
// folders and each gets its own history entry.
int MainWindow::HistoryIndexOf(const QString& path) const
{
    for (int i = 0; i < pathBox->count(); ++i) {
        if (pathBox->itemText(i) == path)
            return i;
    }
    return -1;
}

void MainWindow::OpenWithAssociation(const QString& file, const QString& folder)
{
    openFile(file, folder);
}

void MainWindow::ShowPathBoxFolder()
{
    SetFileCommandsEnabled(false);
    const QString text = pathBox->currentText();
    const int known = HistoryIndexOf(text);
    if (known >= 0)
        ShowFolder(pathBox->itemData(known).toString());
    else
        ShowFolderByPath(text);
    driveTree->SetDirectory(pathBox->currentText());
    fileList->ClearSelection();
}

bool MainWindow::OnPathBoxKeyDown(QKeyEvent* event)
{
    SetFileCommandsEnabled(false);
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // An empty box has nothing to go to; the key is consumed all the same.
    if (!pathBox->currentText().isEmpty()) {
        ShowFolderByPath(pathBox->currentText());
        driveTree->SetDirectory(pathBox->currentText());
    }
    return true;
}

void MainWindow::OnUpOneLevel()
{
    const ItemId up = ParentId(currentFolderId_);
    if (up.isEmpty())
        beep();
    else
        ShowFolder(up);
    driveTree->SetDirectory(pathBox->currentText());
    fileList->ClearSelection();
}

void MainWindow::OnChooseFolder()
{
    const QString chosen = chooseFolder(this);
    if (!chosen.isEmpty())
        ShowFolderByPath(chosen);
}

void MainWindow::OnViewStyle(int tag)
{
    fileList->SetViewStyle(static_cast<ViewStyle>(tag));
}

void MainWindow::OnListDoubleClick()
{
    const int row = fileList->FirstSelectedRow();
    if (row < 0)
        return;
    if (entries->IsFolderEntry(row)) {
        ShowFolder(ConcatId(currentFolderId_, entries->Entry(row).Name));
        driveTree->SetDirectory(pathBox->currentText());
        fileList->ClearSelection();
    } else {
        OpenWithAssociation(entries->Entry(row).Name, currentPath_);
    }
}

void MainWindow::OnTreeClick()
{
    SetFileCommandsEnabled(false);
    pathBox->setEditText(driveTree->Directory());
    ShowPathBoxFolder();
}

void MainWindow::OnTreeChange()
{
    pathBox->setEditText(driveTree->Directory());
    ShowPathBoxFolder();
}

void MainWindow::ShowFolderWithSelection(const QString& folder, const QStringList& names)
{
    SetFileCommandsEnabled(false);
    ShowFolderByPath(folder);
    driveTree->SetDirectory(pathBox->currentText());
    const QSet<QString> wanted(names.begin(), names.end());
    std::vector<int> rows;
    for (int row = 0; row < entries->EntryCount(); ++row) {
        if (wanted.contains(entries->Entry(row).Name)) {
            rows.push_back(row);
        }
    }
    fileList->SelectRows(rows);
    SetFileCommandsEnabled(!rows.empty());
}

void MainWindow::ShowGivenPaths(const QStringList& paths)
{
    QStringList absolute;
    for (const QString& path : paths) {
        absolute << AbsoluteGivenPath(path);
    }
    const QStringList missing = MissingPaths(absolute);
    QStringList existing;
    for (const QString& path : absolute) {
        if (!missing.contains(path)) {
            existing << path;
        }
    }
    if (!existing.isEmpty()) {
        // The first path decides the folder; given files elsewhere stay out.
        const QString& first = existing.constFirst();
        if (QFileInfo(first).isDir()) {
            ShowFolderWithSelection(first, {});
        } else {
            const FolderFiles files = GroupByFolder(existing).front();
            ShowFolderWithSelection(files.Folder, files.Names);
        }
    }
    if (!missing.isEmpty()) {
        ErrorBox(this, QString::fromLatin1(GivenPathsMissingText) + QLatin1Char('\n') +
                           missing.join(QLatin1Char('\n')));
    }
}

} // namespace ciphra::gui
