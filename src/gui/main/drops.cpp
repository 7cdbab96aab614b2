// Files dropped on the main window: anywhere, they are listed in their
// folder and selected; on a toolbar button of a file command, that command
// runs on them.

#include "gui/browse/given_paths.h"
#include "gui/kit/application.h"
#include "gui/main/main_window.h"

#include <QDropEvent>
#include <QMimeData>
#include <QToolBar>

namespace ciphra::gui {
namespace {

bool CarriesFiles(const QDropEvent& event)
{
    return event.mimeData() != nullptr && !DroppedPaths(*event.mimeData()).isEmpty();
}

} // namespace

void MainWindow::AcceptFileDrops()
{
    setAcceptDrops(true);
    // The toolbar takes the drops meant for its buttons, which may be
    // disabled (nothing selected yet) and would refuse them.
    commands.toolBar->setAcceptDrops(true);
    commands.toolBar->installEventFilter(this);
}

MainWindow::FileCommandHandler MainWindow::ToolbarFileCommand(const QAction* button) const
{
    if (button == nullptr) {
        return nullptr;
    }
    if (button == commands.encryptButton) {
        return &MainWindow::OnEncryptFiles;
    }
    if (button == commands.decryptButton) {
        return &MainWindow::OnDecryptFiles;
    }
    if (button == commands.hashButton) {
        return &MainWindow::OnHashFile;
    }
    if (button == commands.shredButton) {
        return &MainWindow::OnShredFiles;
    }
    return nullptr;
}

void MainWindow::RunOnFiles(FileCommandHandler handler, const QStringList& paths)
{
    for (const FolderFiles& group : GroupByFolder(paths)) {
        if (handler == &MainWindow::OnHashFile) {
            for (const QString& name : group.Names) {
                ShowFolderWithSelection(group.Folder, {name});
                (this->*handler)();
            }
        } else {
            ShowFolderWithSelection(group.Folder, group.Names);
            (this->*handler)();
        }
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (CarriesFiles(*event)) {
        event->acceptProposedAction();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (CarriesFiles(*event)) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    if (!CarriesFiles(*event)) {
        return;
    }
    event->acceptProposedAction();
    // The drop ends first: a box shown from within it would keep the
    // dragging program waiting for its end.
    QMetaObject::invokeMethod(
        this, Guarded([this, paths = DroppedPaths(*event->mimeData())] { ShowGivenPaths(paths); }),
        Qt::QueuedConnection);
}

bool MainWindow::OnToolbarDrag(QEvent* event)
{
    auto* drag = static_cast<QDropEvent*>(event);
    if (!CarriesFiles(*drag)) {
        return false;
    }
    drag->acceptProposedAction();
    if (event->type() != QEvent::Drop) {
        return true;
    }
    const QStringList paths = DroppedPaths(*drag->mimeData());
    const FileCommandHandler handler =
        ToolbarFileCommand(commands.toolBar->actionAt(drag->position().toPoint()));
    // As on the window, the command's dialogs come after the drop has ended.
    QMetaObject::invokeMethod(this, Guarded([this, handler, paths] {
                                  if (handler == nullptr) {
                                      ShowGivenPaths(paths);
                                  } else {
                                      RunOnFiles(handler, paths);
                                  }
                              }),
                              Qt::QueuedConnection);
    return true;
}

} // namespace ciphra::gui
