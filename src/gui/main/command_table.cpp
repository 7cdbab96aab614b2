#include "gui/main/command_table.h"

#include "gui/kit/accessible.h"
#include "gui/kit/application.h"
#include "gui/main/main_window.h"

#include <QActionGroup>
#include <QIcon>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

// The artwork is compiled into this static library; its resources are
// registered by hand, once, before the first glyph is loaded.
static void RegisterArt()
{
    Q_INIT_RESOURCE(art);
}

namespace ciphra::gui {
namespace {

using Handler = void (MainWindow::*)();

QAction* MenuItem(MainWindow& window, QMenu* menu, const char* name, const char* caption,
                  const QKeySequence& shortcut, Handler handler)
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    if (handler != nullptr)
        QObject::connect(action, &QAction::triggered, &window,
                         Guarded([&window, handler] { (window.*handler)(); }));
    return action;
}

// Toolbar glyphs: our own drawings, by their glyph numbers.
QIcon Glyph(int number)
{
    static const char* const files[] = {
        "choose_folder", "large_icons", "small_icons", "list", "report", "up",      "encrypt",
        "decrypt",       "shred",       "help",        "exit", "hash",   "refresh",
    };
    return QIcon(QStringLiteral(":/art/%1.svg").arg(QString::fromLatin1(files[number])));
}

// What a screen reader says for a toolbar button: its name and what it does.
struct Spoken {
    const char* name;
    const char* description;
};

QAction* Button(MainWindow& window, QToolBar* bar, const char* name, const char* hint, int glyph,
                Spoken spoken, Handler handler)
{
    QAction* action = bar->addAction(Glyph(glyph), QString::fromLatin1(hint));
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(QString::fromLatin1(hint));
    QWidget* button = bar->widgetForAction(action);
    button->setObjectName(QString::fromLatin1(name));
    Describe(button, QString::fromLatin1(spoken.name), QString::fromLatin1(spoken.description));
    if (handler != nullptr)
        QObject::connect(action, &QAction::triggered, &window,
                         Guarded([&window, handler] { (window.*handler)(); }));
    return action;
}

void AddSpacer(QToolBar* bar, int width)
{
    auto* gap = new QWidget(bar);
    gap->setFixedWidth(width);
    bar->addWidget(gap);
}

} // namespace

std::vector<QAction*> CommandTable::FileCommands() const
{
    return {encryptButton, decryptButton, hashButton,  shredButton, encryptAction,
            decryptAction, hashAction,    shredAction, viewAction};
}

StoredOptions CommandTable::Marks() const
{
    return {selfDecryptingOption->isChecked(), overwriteOption->isChecked(),
            ageFormatOption->isChecked(),
            windowsTargetOption->isChecked() ? StubTarget::Windows : StubTarget::Linux,
            clearClipboardOption->isChecked()};
}

void CommandTable::SetMarks(const StoredOptions& options) const
{
    selfDecryptingOption->setChecked(options.selfDecrypting);
    overwriteOption->setChecked(options.overwrite);
    ageFormatOption->setChecked(options.ageFormat);
    (options.selfDecryptingFor == StubTarget::Windows ? windowsTargetOption : linuxTargetOption)
        ->setChecked(true);
    clearClipboardOption->setChecked(options.clearClipboard);
}

CommandTable BuildCommandTable(MainWindow& w)
{
    static const bool artRegistered = (RegisterArt(), true);
    (void)artRegistered;
    CommandTable t;
    QMenuBar* bar = w.menuBar();

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    t.encryptAction = MenuItem(w, file, "Encryptfile1", "&Encrypt file", QKeySequence("Ctrl+E"),
                               &MainWindow::OnEncryptFiles);
    t.decryptAction = MenuItem(w, file, "Decryptfile1", "&Decrypt file", QKeySequence("Ctrl+D"),
                               &MainWindow::OnDecryptFiles);
    t.hashAction = MenuItem(w, file, "Hashfile1", "&Hash file", QKeySequence("Ctrl+H"),
                            &MainWindow::OnHashFile);
    t.shredAction = MenuItem(w, file, "Shredfile1", "&Shred file", QKeySequence("Ctrl+S"),
                             &MainWindow::OnShredFiles);
    t.viewAction = MenuItem(w, file, "Viewfile1", "&View file", QKeySequence("Ctrl+V"),
                            &MainWindow::OnViewFile);
    file->addSeparator();
    t.exitAction = MenuItem(w, file, "Exit1", "E&xit", QKeySequence("Ctrl+X"), &MainWindow::OnExit);

    QMenu* clip = bar->addMenu(QStringLiteral("&Clipboard"));
    t.textEncryptionAction =
        MenuItem(w, clip, "Stringencryption1", "&String / clipboard encryption",
                 QKeySequence(Qt::Key_F3), &MainWindow::OnTextEncryption);
    t.encryptClipboardAction = MenuItem(w, clip, "Encryptclipboard1", "&Encrypt clipboard",
                                        QKeySequence(Qt::Key_F6), &MainWindow::OnEncryptClipboard);
    t.decryptClipboardAction = MenuItem(w, clip, "Decryptclipboard1", "&Decrypt clipboard",
                                        QKeySequence(Qt::Key_F7), &MainWindow::OnDecryptClipboard);
    t.emptyClipboardAction = MenuItem(w, clip, "Emptyclipboard1", "Empty &clipboard",
                                      QKeySequence(Qt::Key_F8), &MainWindow::OnEmptyClipboard);

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    t.selfDecryptingOption = MenuItem(w, options, "Createselfdecryptingfiles1",
                                      "Create self-&decrypting files", QKeySequence(), nullptr);
    t.selfDecryptingForMenu = options->addMenu(QStringLiteral("Self-decrypting &for"));
    t.selfDecryptingForMenu->setObjectName(QStringLiteral("Selfdecryptingfor1"));
    t.linuxTargetOption = MenuItem(w, t.selfDecryptingForMenu, "SelfdecryptingforLinux1", "&Linux",
                                   QKeySequence(), nullptr);
    t.windowsTargetOption = MenuItem(w, t.selfDecryptingForMenu, "SelfdecryptingforWindows1",
                                     "&Windows", QKeySequence(), nullptr);
    auto* targets = new QActionGroup(&w);
    for (QAction* target : {t.linuxTargetOption, t.windowsTargetOption}) {
        target->setCheckable(true);
        targets->addAction(target);
    }
    t.linuxTargetOption->setChecked(true);
    t.overwriteOption = MenuItem(w, options, "Overwritefileonencryption1",
                                 "&Overwrite file on encryption", QKeySequence(), nullptr);
    // Off by default, so that files stay readable by other copies of the program.
    t.ageFormatOption =
        MenuItem(w, options, "Encrypttoageformat1", "Encrypt to the &age format (recommended)",
                 QKeySequence(), nullptr);
    // On by default: decrypted text should not linger on the clipboard.
    t.clearClipboardOption =
        MenuItem(w, options, "Clearclipboard1",
                 "C&lear decrypted text from the clipboard after 30 s", QKeySequence(), nullptr);
    // A checkable action turns its own check mark over and does nothing else:
    // the marks are the options, read by the commands when they run.
    for (QAction* option :
         {t.selfDecryptingOption, t.overwriteOption, t.ageFormatOption, t.clearClipboardOption}) {
        option->setCheckable(true);
    }
    options->addSeparator();
    t.upOneLevelAction = MenuItem(w, options, "Goonelevelup1", "&Go one level up - (BckSpc)",
                                  QKeySequence(), &MainWindow::OnUpOneLevel);
    t.chooseFolderAction = MenuItem(w, options, "Choosedir1", "&Choose dir - (Enter)",
                                    QKeySequence(), &MainWindow::OnChooseFolder);
    t.refreshAction = MenuItem(w, options, "Refreshlist1", "&Refresh list - (F5)", QKeySequence(),
                               &MainWindow::OnRefresh);
    options->addSeparator();
    t.colorLegendAction = MenuItem(w, options, "Showcolorinfo1", "&Show color info",
                                   QKeySequence(Qt::Key_F2), &MainWindow::OnShowColorLegend);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    t.helpAction =
        MenuItem(w, help, "Helpon1", "&Help on...", QKeySequence(Qt::Key_F1), &MainWindow::OnHelp);
    t.aboutAction = MenuItem(w, help, "About1", "&About", QKeySequence(), &MainWindow::OnAbout);

    QToolBar* tb = new QToolBar(QStringLiteral("ToolBar2"), &w);
    tb->setObjectName(QStringLiteral("ToolBar2"));
    tb->setMovable(false);
    tb->setFloatable(false);
    tb->setIconSize(QSize(21, 21));
    tb->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tb->setMinimumHeight(27);
    t.toolBar = tb;
    t.encryptButton = Button(w, tb, "ToolButton2", "Encrypt file", 6,
                             {"Encrypt file", "Encrypt the selected files (Ctrl+E)"},
                             &MainWindow::OnEncryptFiles);
    t.decryptButton = Button(w, tb, "ToolButton4", "Decrypt file", 7,
                             {"Decrypt file", "Decrypt the selected files (Ctrl+D)"},
                             &MainWindow::OnDecryptFiles);
    t.hashButton = Button(w, tb, "ToolButton11", "Hash file", 11,
                          {"Hash file", "Show the SHA-1 hash of the selected file (Ctrl+H)"},
                          &MainWindow::OnHashFile);
    t.shredButton = Button(w, tb, "ToolButton5", "Shred file", 8,
                           {"Shred file", "Overwrite and delete the selected files (Ctrl+S)"},
                           &MainWindow::OnShredFiles);
    AddSpacer(tb, 8);
    t.chooseFolderButton =
        Button(w, tb, "btnBrowse", "Choose dir - (Enter)", 0,
               {"Choose folder", "Choose the folder to list (Options menu, Alt+O then C)"},
               &MainWindow::OnChooseFolder);
    t.upOneLevelButton =
        Button(w, tb, "btnBack", "One level back - (BackSpace)", 5,
               {"Up one level", "List the folder one level up (Backspace in the file list)"},
               &MainWindow::OnUpOneLevel);
    t.refreshButton =
        Button(w, tb, "ToolButton10", "Refresh list - F5", 12,
               {"Refresh list", "List the folder again (F5)"}, &MainWindow::OnRefresh);
    tb->addSeparator();
    // The four view-style toggles: one group, no hints, none down at start.
    // They are on the toolbar only, so each has a key: Ctrl+1 to Ctrl+4.
    t.viewStyles = new QActionGroup(&w);
    t.viewStyles->setExclusive(true);
    QAction** styles[] = {&t.largeIconsButton, &t.smallIconsButton, &t.listButton, &t.reportButton};
    const char* const names[] = {"btnLargeIcons", "btnSmallIcons", "btnList", "btnReport"};
    const Spoken spoken[] = {
        {"Large icons", "Show the files as large icons (Ctrl+1)"},
        {"Small icons", "Show the files as small icons in rows (Ctrl+2)"},
        {"List", "Show the files as a list in columns (Ctrl+3)"},
        {"Details", "Show the files with their size, type, date and attributes (Ctrl+4)"},
    };
    for (int tag = 0; tag < 4; ++tag) {
        QAction* style = Button(w, tb, names[tag], "", tag + 1, spoken[tag], nullptr);
        style->setToolTip(QString());
        style->setCheckable(true);
        style->setData(tag);
        style->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + tag)));
        t.viewStyles->addAction(style);
        QObject::connect(style, &QAction::triggered, &w,
                         Guarded([&w, tag] { w.OnViewStyle(tag); }));
        *styles[tag] = style;
    }
    tb->addSeparator();
    t.helpButton = Button(w, tb, "ToolButton7", "Help on...", 9,
                          {"Help", "Help on the program (F1)"}, &MainWindow::OnHelp);
    t.exitButton = Button(w, tb, "ToolButton8", "Exit", 10, {"Exit", "Close the program (Ctrl+X)"},
                          &MainWindow::OnExit);

    QMenu* popup = new QMenu(&w);
    popup->setObjectName(QStringLiteral("PopupMenu1"));
    t.contextMenu = popup;
    MenuItem(w, popup, "Encryptfile2", "&Encrypt file", QKeySequence(),
             &MainWindow::OnEncryptFiles);
    MenuItem(w, popup, "Decryptfile2", "&Decrypt file", QKeySequence(),
             &MainWindow::OnDecryptFiles);
    MenuItem(w, popup, "Hashfile2", "&Hash file", QKeySequence(), &MainWindow::OnHashFile);
    MenuItem(w, popup, "Shredfile2", "&Shred file", QKeySequence(), &MainWindow::OnShredFiles);
    MenuItem(w, popup, "Viewfile2", "&View file", QKeySequence(), &MainWindow::OnViewFile);
    popup->addSeparator();
    MenuItem(w, popup, "Emptyclipboard2", "E&mpty clipboard", QKeySequence(),
             &MainWindow::OnEmptyClipboard);
    MenuItem(w, popup, "Refreshlist2", "&Refresh list", QKeySequence(), &MainWindow::OnRefresh);
    return t;
}

} // namespace ciphra::gui
