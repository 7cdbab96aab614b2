#include "gui/main/main_window.h"

#include "gui/commands/file_command_support.h"
#include "gui/kit/accessible.h"
#include "gui/kit/application.h"
#include "gui/list/file_list_view.h"
#include "gui/main/placement.h"
#include "gui/tree/drive_view.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace ciphra::gui {

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), beep([] { QApplication::beep(); }), chooseFolder([](QWidget* owner) {
          return QFileDialog::getExistingDirectory(owner, QStringLiteral("Select Directory"),
                                                   QStringLiteral("/"), QFileDialog::ShowDirsOnly);
      }),
      chooseIdentityFile(&ChooseIdentityFileDialog),
      openFile([](const QString& file, const QString& folder) {
          QProcess::startDetached(QStringLiteral("xdg-open"), {file}, folder);
      })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ciphra 2K V2.0 Beta1"));
    BuildLayout();
    AcceptFileDrops();
    RestorePlacement();
    OnCreate();
}

MainWindow::~MainWindow()
{
    QSettings settings;
    WritePlacement(settings,
                   {normalGeometry().isValid() ? normalGeometry() : geometry(), isMaximized()});
}

void MainWindow::BuildLayout()
{
    entries = new FileListModel(this);
    commands = BuildCommandTable(*this);

    // The cool bar: the toolbar row, then the path box row, each full width.
    auto* coolBar = new QWidget(this);
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    auto* bands = new QVBoxLayout(coolBar);
    bands->setContentsMargins(0, 0, 0, 0);
    bands->setSpacing(1);
    bands->addWidget(commands.toolBar);
    pathBox = new QComboBox(coolBar);
    pathBox->setObjectName(QStringLiteral("cbPath"));
    pathBox->setEditable(true);
    pathBox->setInsertPolicy(QComboBox::NoInsert);
    pathBox->setMinimumHeight(21);
    pathBox->setMaxVisibleItems(16);
    // The history's matches are offered in a popup below the box and never
    // written into it ahead of the typing: what Enter commits is what was
    // typed, or the match picked from the popup. Names are case-sensitive.
    Describe(pathBox, QStringLiteral("Folder path"),
             QStringLiteral("The listed folder's path; type another and press Enter to list it"));
    Describe(pathBox->lineEdit(), QStringLiteral("Folder path"),
             QStringLiteral("The listed folder's path; type another and press Enter to list it"));
    QCompleter* completer = pathBox->completer();
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    bands->addWidget(pathBox);

    driveTree = new DriveView(this);
    driveTree->setObjectName(QStringLiteral("DriveView1"));
    Describe(driveTree, QStringLiteral("Folders"),
             QStringLiteral("The folders of the computer; choosing one lists it"));
    fileList = new FileListView(*entries, this);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setHandleWidth(3);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(driveTree);
    splitter->addWidget(fileList);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({145, 413});
    // Tab goes from the path box to the tree, to the list and round again.
    setTabOrder(pathBox, driveTree);
    setTabOrder(driveTree, fileList);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(coolBar);
    column->addWidget(splitter, 1);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setFixedHeight(19);
    setStatusBar(status);

    // Every entry point is guarded: a failure ends the handler and reaches
    // the error report. A key whose handler failed counts as consumed.
    fileList->SetHooks({
        [this](Qt::MouseButton b) { RunGuarded([&] { OnListMouseUp(b); }); },
        [this](QKeyEvent* e) {
            bool consumed = true;
            RunGuarded([&] { consumed = OnListKeyDown(e); });
            return consumed;
        },
        [this] { RunGuarded([&] { OnListDoubleClick(); }); },
    });
    // Keys reach the combo box first; it hands them on to its line edit.
    // While the completions are open they reach the popup instead, and this
    // filter comes before the completer's own.
    pathBox->installEventFilter(this);
    pathBox->completer()->popup()->installEventFilter(this);
    connect(pathBox, &QComboBox::activated, this, Guarded([this] { ShowPathBoxFolder(); }));
    connect(driveTree, &DriveView::Click, this, Guarded([this] { OnTreeClick(); }));
    connect(driveTree, &DriveView::KeyDown, this,
            [this](int key) { RunGuarded([&] { OnTreeKeyDown(key); }); });
    connect(driveTree, &DriveView::Change, this, Guarded([this] { OnTreeChange(); }));
    // F5 anywhere in the window, before the focused control sees it.
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, Guarded([this] { OnRefresh(); }));
}

void MainWindow::RestorePlacement()
{
    QSettings settings;
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const Placement placement = ReadPlacement(settings, kDesignedBounds, screen);
    setGeometry(placement.normal);
    if (placement.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::OnCreate()
{
    SetFileCommandsEnabled(false);
    ShowFolder(kComputerId);
    pathBox->setFocus();
    pathBox->lineEdit()->selectAll();
    driveTree->SetDirectory(pathBox->currentText());

    QSettings settings;
    storedOptions = ReadOptions(settings);
    commands.SetMarks(storedOptions);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    OnClose();
    QMainWindow::closeEvent(event);
}

void MainWindow::OnClose()
{
    storedOptions = commands.Marks();
    QSettings settings;
    WriteOptions(settings, storedOptions);
}

void MainWindow::SetFileCommandsEnabled(bool state)
{
    for (QAction* control : commands.FileCommands())
        control->setEnabled(state);
}

QString MainWindow::FullPathOf(int row) const
{
    return FullPath(currentPath_, entries->Entry(row).Name);
}

QString MainWindow::FolderPath() const
{
    return currentPath_;
}

QStringList MainWindow::SelectedNames() const
{
    QStringList names;
    for (const int row : fileList->SelectedRows())
        names << entries->Entry(row).Name;
    return names;
}

void MainWindow::ClearSelection()
{
    fileList->ClearSelection();
}

void MainWindow::OnListMouseUp(Qt::MouseButton button)
{
    const int first = fileList->FirstSelectedRow();
    SetFileCommandsEnabled(button == Qt::LeftButton && first >= 0);
    if (button == Qt::RightButton && first >= 0) {
        SetFileCommandsEnabled(true);
        commands.contextMenu->popup(fileList->RowTopLeftOnScreen(first) + QPoint(10, 20));
    }
}

bool MainWindow::OnListKeyDown(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
        OnUpOneLevel();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OnListDoubleClick();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Judged before the list moves its selection.
        SetFileCommandsEnabled(fileList->FirstSelectedRow() >= 0);
        return false;
    default:
        return false;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Watched: the toolbar (files dragged onto its commands), and the path
    // box and its completions' popup, the one item view of the three (keys).
    const QEvent::Type type = event->type();
    if (watched == commands.toolBar &&
        (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)) {
        return OnToolbarDrag(event);
    }
    auto* completions = qobject_cast<QAbstractItemView*>(watched);
    if (type != QEvent::KeyPress || (watched != pathBox && completions == nullptr)) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (completions != nullptr) {
        // The completer hands typing on to the box; Enter closes the popup
        // and commits the box's text, which is the picked match if any.
        if (keyEvent->key() != Qt::Key_Return && keyEvent->key() != Qt::Key_Enter) {
            return false;
        }
        completions->hide();
    }
    bool consumed = true;
    RunGuarded([&] { consumed = OnPathBoxKeyDown(keyEvent); });
    return consumed;
}

void MainWindow::OnTreeKeyDown(int key)
{
    SetFileCommandsEnabled(false);
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        OnTreeClick();
}

} // namespace ciphra::gui
