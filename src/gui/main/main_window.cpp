#include "gui/main/main_window.h"

#include "gui/kit/application.h"
#include "gui/list/file_list_view.h"
#include "gui/main/placement.h"
#include "gui/tree/drive_view.h"

#include <QApplication>
#include <QComboBox>
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
    : QMainWindow(parent), Beep([] { QApplication::beep(); }), ChooseFolder([](QWidget* owner) {
          return QFileDialog::getExistingDirectory(owner, QStringLiteral("Select Directory"),
                                                   QStringLiteral("/"), QFileDialog::ShowDirsOnly);
      }),
      OpenFile([](const QString& file, const QString& folder) {
          QProcess::startDetached(QStringLiteral("xdg-open"), {file}, folder);
      })
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ciphra 2K V2.0 Beta1"));
    BuildLayout();
    RestorePlacement();
    FormCreate();
}

MainWindow::~MainWindow()
{
    QSettings settings;
    WritePlacement(settings,
                   {normalGeometry().isValid() ? normalGeometry() : geometry(), isMaximized()});
}

void MainWindow::BuildLayout()
{
    Entries = new FileListModel(this);
    Commands = BuildCommandTable(*this);

    // The cool bar: the toolbar row, then the path box row, each full width.
    auto* coolBar = new QWidget(this);
    coolBar->setObjectName(QStringLiteral("CoolBar1"));
    auto* bands = new QVBoxLayout(coolBar);
    bands->setContentsMargins(0, 0, 0, 0);
    bands->setSpacing(1);
    bands->addWidget(Commands.ToolBar2);
    cbPath = new QComboBox(coolBar);
    cbPath->setObjectName(QStringLiteral("cbPath"));
    cbPath->setEditable(true);
    cbPath->setInsertPolicy(QComboBox::NoInsert);
    cbPath->setMinimumHeight(21);
    cbPath->setMaxVisibleItems(16);
    bands->addWidget(cbPath);

    DriveView1 = new DriveView(this);
    DriveView1->setObjectName(QStringLiteral("DriveView1"));
    ListView = new FileListView(*Entries, this);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setHandleWidth(3);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(DriveView1);
    splitter->addWidget(ListView);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({145, 413});

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
    ListView->SetHooks({
        [this](Qt::MouseButton b) { RunGuarded([&] { ListViewMouseUp(b); }); },
        [this](QKeyEvent* e) {
            bool consumed = true;
            RunGuarded([&] { consumed = ListViewKeyDown(e); });
            return consumed;
        },
        [this] { RunGuarded([&] { ListViewDblClick(); }); },
    });
    // Keys reach the combo box first; it hands them on to its line edit.
    cbPath->installEventFilter(this);
    connect(cbPath, &QComboBox::activated, this, Guarded([this] { cbPathClick(); }));
    connect(DriveView1, &DriveView::Click, this, Guarded([this] { DriveView1Click(); }));
    connect(DriveView1, &DriveView::KeyDown, this,
            [this](int key) { RunGuarded([&] { DriveView1KeyDown(key); }); });
    connect(DriveView1, &DriveView::Change, this, Guarded([this] { DriveView1Change(); }));
    // F5 anywhere in the window, before the focused control sees it.
    auto* refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(refresh, &QShortcut::activated, this, Guarded([this] { ToolButton10Click(); }));
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

void MainWindow::FormCreate()
{
    SetFileCommandsEnabled(false);
    ShowFolder(kComputerId);
    cbPath->setFocus();
    cbPath->lineEdit()->selectAll();
    DriveView1->SetDirectory(cbPath->currentText());

    QSettings settings;
    const StoredOptions options = ReadOptions(settings);
    SelfDecFlag = options.selfDec;
    OverWrFlag = options.overWr;
    Commands.Createselfdecryptingfiles1->setChecked(SelfDecFlag);
    Commands.Overwritefileonencryption1->setChecked(OverWrFlag);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void MainWindow::FormClose()
{
    SelfDecFlag = Commands.Createselfdecryptingfiles1->isChecked();
    OverWrFlag = Commands.Overwritefileonencryption1->isChecked();
    QSettings settings;
    WriteOptions(settings, {SelfDecFlag, OverWrFlag});
}

void MainWindow::SetFileCommandsEnabled(bool state)
{
    for (QAction* control : Commands.FileCommands())
        control->setEnabled(state);
}

QString MainWindow::FullPathOf(int row) const
{
    return FullPath(cbPath->currentText(), Entries->Entry(row).Name);
}

QString MainWindow::FolderPath() const
{
    return cbPath->currentText();
}

QStringList MainWindow::SelectedNames() const
{
    QStringList names;
    for (const int row : ListView->SelectedRows())
        names << Entries->Entry(row).Name;
    return names;
}

void MainWindow::ClearSelection()
{
    ListView->ClearSelection();
}

void MainWindow::ListViewMouseUp(Qt::MouseButton button)
{
    const int first = ListView->FirstSelectedRow();
    SetFileCommandsEnabled(button == Qt::LeftButton && first >= 0);
    if (button == Qt::RightButton && first >= 0) {
        SetFileCommandsEnabled(true);
        Commands.PopupMenu1->popup(ListView->RowTopLeftOnScreen(first) + QPoint(10, 20));
    }
}

bool MainWindow::ListViewKeyDown(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
        btnBackClick();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ListViewDblClick();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Judged before the list moves its selection.
        SetFileCommandsEnabled(ListView->FirstSelectedRow() >= 0);
        return false;
    default:
        return false;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cbPath && event->type() == QEvent::KeyPress) {
        bool consumed = true;
        RunGuarded([&] { consumed = cbPathKeyDown(static_cast<QKeyEvent*>(event)); });
        return consumed;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::DriveView1KeyDown(int key)
{
    SetFileCommandsEnabled(false);
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        DriveView1Click();
}

} // namespace ciphra::gui
