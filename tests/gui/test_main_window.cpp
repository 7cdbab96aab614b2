// The main window: start-up, settings, the command table and the rule that
// enables the file commands; the colour legend, About and Help.

#include "gui/app/startup.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_view.h"
#include "gui/shells/shells.h"
#include "gui/tree/drive_view.h"
#include "gui/windows/about_window.h"
#include "gui/windows/color_legend.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_window.h"
#include "ui_test_support.h"
#include "window_rows.h"

#include <QActionGroup>
#include <QComboBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeView>

#include <limits>

using namespace ciphra::gui;
using ciphra::gui::testing::AddWindowRows;
using ciphra::gui::testing::ClearSettings;
using ciphra::gui::testing::FolderOf;
using ciphra::gui::testing::WindowNamed;

namespace {

bool FileCommandsEnabled(MainWindow& w)
{
    bool all = true;
    bool any = false;
    for (QAction* control : w.commands.FileCommands()) {
        all = all && control->isEnabled();
        any = any || control->isEnabled();
    }
    if (all != any)
        qWarning("the nine file commands disagree");
    return all;
}

QStringList Captions(const QList<QAction*>& actions)
{
    QStringList captions;
    for (QAction* action : actions)
        captions << (action->isSeparator() ? QString("-") : action->text());
    return captions;
}

void StorePlacement(int left, int top, int right, int bottom, const char* maximized)
{
    QSettings settings;
    settings.beginGroup("Ciphra2KP");
    settings.setValue("Left", QString::number(left));
    settings.setValue("Top", QString::number(top));
    settings.setValue("Right", QString::number(right));
    settings.setValue("Bottom", QString::number(bottom));
    settings.setValue("Maximized", maximized);
}

// What the hash command shows for the list's selection as it stands: the
// file name it puts into the hash window and the digest of that file.
struct HashCommandResult {
    QString path;
    QString digest;
};

HashCommandResult RunHashCommand(MainWindow& w)
{
    w.SetFileCommandsEnabled(true);
    ModalScript script;
    HashCommandResult result;
    script.Queue([&](QDialog& dialog) {
        auto& hash = static_cast<HashWindow&>(dialog);
        result.path = hash.fileNameEdit->text();
        QTest::mouseClick(hash.hashButton, Qt::LeftButton);
        result.digest = hash.hashEdit->text();
        return int(QDialog::Rejected);
    });
    w.commands.hashAction->trigger();
    return result;
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QString HexDigest(const QByteArray& bytes)
{
    return "0x" + QString::fromLatin1(
                      QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().toUpper());
}

QStringList ListedNames(const MainWindow& w)
{
    QStringList names;
    for (int row = 0; row < w.entries->EntryCount(); ++row)
        names << w.entries->Entry(row).Name;
    return names;
}

void SelectOnly(MainWindow& w, int row)
{
    w.fileList->Selection()->select(w.entries->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void windowsAndCaptions()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        QCOMPARE(w.windowTitle(), QString("Ciphra 2K V2.0 Beta1"));
        const OtherWindows& o = windows.Others();
        const std::vector<std::pair<QWidget*, QString>> expected = {
            {o.legend, "Color info:"},
            {o.hash, "Hash File"},
            {o.password, "Enter password:"},
            {o.wipeProgress, "Wipe::"},
            {o.viewer, "File viewer"},
            {o.about, "About Ciphra 2K"},
            {o.stringEncryption, "String encryption / clipboard encryption"},
        };
        for (const auto& [window, caption] : expected) {
            QVERIFY(window != nullptr);
            QCOMPARE(window->windowTitle(), caption);
            QVERIFY(!window->isVisible());
        }
        QCOMPARE(o.about->size(), QSize(293, 249));
        QCOMPARE(o.legend->size(), QSize(195, 85));
    }

    void firstRunDefaults()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        QCOMPARE(w.geometry(), MainWindow::kDesignedBounds);
        QVERIFY(!w.commands.selfDecryptingOption->isChecked());
        QVERIFY(!w.commands.overwriteOption->isChecked());
        QVERIFY(!w.commands.ageFormatOption->isChecked()); // .CPH stays the default
        QVERIFY(w.commands.clearClipboardOption->isChecked());
        QCOMPARE(w.pathBox->currentText(), QString("computer:///"));
        QCOMPARE(w.fileList->FirstSelectedRow(), 0);
        QVERIFY(!FileCommandsEnabled(w));
    }

    void optionsAreReadAndWritten_data()
    {
        QTest::addColumn<QVariant>("selfDec");
        QTest::addColumn<QVariant>("overWr");
        QTest::addColumn<bool>("selfDecOn");
        QTest::addColumn<bool>("overWrOn");
        QTest::newRow("any non-zero is on") << QVariant(5) << QVariant(0) << true << false;
        QTest::newRow("both on") << QVariant(1) << QVariant(1) << true << true;
        QTest::newRow("text stops the reading") << QVariant("yes") << QVariant(1) << false << false;
        QTest::newRow("missing first, second read") << QVariant() << QVariant(1) << false << true;
        QTest::newRow("text second") << QVariant(1) << QVariant("x") << true << false;
    }
    void optionsAreReadAndWritten()
    {
        QFETCH(QVariant, selfDec);
        QFETCH(QVariant, overWr);
        QFETCH(bool, selfDecOn);
        QFETCH(bool, overWrOn);
        {
            QSettings settings;
            if (selfDec.isValid())
                settings.setValue("SelfDec", selfDec);
            settings.setValue("OverWr", overWr);
        }
        {
            ProgramWindows windows;
            MainWindow& w = windows.Main();
            QCOMPARE(w.commands.selfDecryptingOption->isChecked(), selfDecOn);
            QCOMPARE(w.commands.overwriteOption->isChecked(), overWrOn);
            w.show();
            w.close();
        }
        QSettings settings;
        QCOMPARE(settings.value("SelfDec").toString(), QString(selfDecOn ? "1" : "0"));
        QCOMPARE(settings.value("OverWr").toString(), QString(overWrOn ? "1" : "0"));
    }

    // The system self-decrypting programs are written for: one of the two
    // marks, read from "SelfDecFor" (1 is Windows, anything else Linux) and
    // written back at close.
    void selfDecryptingForIsReadAndWritten_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("windows");
        QTest::newRow("missing") << QVariant() << false;
        QTest::newRow("0") << QVariant(0) << false;
        QTest::newRow("1") << QVariant(1) << true;
        QTest::newRow("2") << QVariant(2) << false;
        QTest::newRow("text") << QVariant("windows") << false;
    }
    void selfDecryptingForIsReadAndWritten()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, windows);
        if (stored.isValid()) {
            QSettings().setValue("SelfDecFor", stored);
        }
        {
            ProgramWindows programWindows;
            MainWindow& w = programWindows.Main();
            QCOMPARE(w.commands.windowsTargetOption->isChecked(), windows);
            QCOMPARE(w.commands.linuxTargetOption->isChecked(), !windows);
            w.show();
            // The other mark: the two are exclusive.
            (windows ? w.commands.linuxTargetOption : w.commands.windowsTargetOption)->trigger();
            QCOMPARE(w.commands.windowsTargetOption->isChecked(), !windows);
            QCOMPARE(w.commands.linuxTargetOption->isChecked(), windows);
            w.close();
        }
        QCOMPARE(QSettings().value("SelfDecFor").toString(), QString(windows ? "0" : "1"));
    }

    void optionToggleTakesEffectAtOnceAndIsStoredAtClose()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.commands.overwriteOption->trigger();
        QVERIFY(w.commands.overwriteOption->isChecked());
        QVERIFY(!w.storedOptions.overwrite); // the stored copy follows at close
        QVERIFY(!QSettings().contains("OverWr"));
        w.commands.exitAction->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(w.storedOptions.overwrite);
        QCOMPARE(QSettings().value("OverWr").toInt(), 1);
    }

    // Its own key, read whatever the other two hold, and written at close.
    void ageFormatOptionIsStored_data()
    {
        QTest::addColumn<QVariant>("selfDec");
        QTest::addColumn<QVariant>("ageFormat");
        QTest::addColumn<bool>("ageOn");
        QTest::newRow("missing") << QVariant(0) << QVariant() << false;
        QTest::newRow("on") << QVariant(0) << QVariant(1) << true;
        QTest::newRow("text is off") << QVariant(0) << QVariant("yes") << false;
        QTest::newRow("read after a broken option") << QVariant("x") << QVariant(2) << true;
    }
    void ageFormatOptionIsStored()
    {
        QFETCH(QVariant, selfDec);
        QFETCH(QVariant, ageFormat);
        QFETCH(bool, ageOn);
        {
            QSettings settings;
            settings.setValue("SelfDec", selfDec);
            if (ageFormat.isValid())
                settings.setValue("AgeFormat", ageFormat);
        }
        {
            ProgramWindows windows;
            MainWindow& w = windows.Main();
            QCOMPARE(w.commands.ageFormatOption->isChecked(), ageOn);
            QVERIFY(w.commands.ageFormatOption->isCheckable());
            w.show();
            w.commands.ageFormatOption->trigger();
            w.close();
        }
        QCOMPARE(QSettings().value("AgeFormat").toString(), QString(ageOn ? "0" : "1"));
    }

    // On unless stored off; the clipboard commands and the text window take
    // it when they run, and it is written at close.
    void clearClipboardOptionIsStoredAndApplied()
    {
        using namespace std::chrono_literals;
        QSettings().setValue("ClearClipboard", 0);
        {
            ProgramWindows windows;
            MainWindow& w = windows.Main();
            SecretClipboard& clipboard = windows.Others().stringEncryption->secretClipboard;
            QVERIFY(!w.commands.clearClipboardOption->isChecked());
            QVERIFY(w.commands.clearClipboardOption->isCheckable());
            ModalScript script; // nothing queued: every dialog is cancelled
            w.commands.decryptClipboardAction->trigger();
            QCOMPARE(clipboard.clearDelay, 0ms);
            w.show();
            w.commands.clearClipboardOption->trigger();
            w.commands.textEncryptionAction->trigger();
            QCOMPARE(clipboard.clearDelay, 30000ms);
            w.close();
        }
        QCOMPARE(QSettings().value("ClearClipboard").toString(), QString("1"));
    }

    void placementIsRestored_data()
    {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QTest::addColumn<QRect>("stored");
        QTest::addColumn<QRect>("restored");
        QTest::newRow("inside the screen") << QRect(10, 20, 400, 300) << QRect(10, 20, 400, 300);
        QTest::newRow("right edge 100 beyond") << QRect(screen.width() - 300, 50, 400, 300)
                                               << QRect(screen.width() - 400, 50, 400, 300);
        QTest::newRow("bottom edge 30 beyond") << QRect(5, screen.height() - 270, 400, 300)
                                               << QRect(5, screen.height() - 300, 400, 300);
        QTest::newRow("negative left stays")
            << QRect(-20, 40, 400, 300) << QRect(-20, 40, 400, 300);
    }
    void placementIsRestored()
    {
        QFETCH(QRect, stored);
        QFETCH(QRect, restored);
        StorePlacement(stored.left(), stored.top(), stored.left() + stored.width(),
                       stored.top() + stored.height(), "0");
        ProgramWindows windows;
        QCOMPARE(windows.Main().geometry(), restored);
        QVERIFY(!windows.Main().isMaximized());
    }

    // Stored edges that would give a window without area, larger than the
    // screen, out of sight, or that overflow when subtracted.
    void damagedPlacementStaysOnScreen_data()
    {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        const int most = std::numeric_limits<int>::max();
        const int least = std::numeric_limits<int>::min();
        QTest::addColumn<QRect>("edges"); // left, top, right, bottom as stored
        QTest::addColumn<QRect>("restored");
        QTest::newRow("right before left")
            << QRect(QPoint(900, 50), QPoint(100, 350)) << QRect(199, 50, 558, 300);
        QTest::newRow("no height")
            << QRect(QPoint(10, 100), QPoint(410, 100)) << QRect(10, 90, 400, 393);
        QTest::newRow("wider than the screen")
            << QRect(QPoint(0, 10), QPoint(screen.width() + 1, 410)) << QRect(199, 10, 558, 400);
        QTest::newRow("wholly left of and above the screen")
            << QRect(QPoint(-9000, -9000), QPoint(-8000, -8500)) << QRect(199, 90, 558, 393);
        QTest::newRow("extreme edges")
            << QRect(QPoint(least, least), QPoint(most, most)) << QRect(199, 90, 558, 393);
        QTest::newRow("far right and below, moved back")
            << QRect(QPoint(most - 400, most - 300), QPoint(most, most))
            << QRect(screen.width() - 400, screen.height() - 300, 400, 300);
    }
    void damagedPlacementStaysOnScreen()
    {
        QFETCH(QRect, edges);
        QFETCH(QRect, restored);
        // QRect's corners carry the four stored numbers as they are.
        StorePlacement(edges.left(), edges.top(), edges.right(), edges.bottom(), "0");
        ProgramWindows windows;
        QCOMPARE(windows.Main().geometry(), restored);
    }

    void badPlacementValuesTakeTheDesignedBounds()
    {
        StorePlacement(0, 10, 0, 410, "no");
        QSettings().setValue("Ciphra2KP/Left", "abc");
        QSettings().setValue("Ciphra2KP/Right", "");
        ProgramWindows windows;
        QCOMPARE(windows.Main().geometry(), QRect(199, 10, 558, 400));
        QVERIFY(!windows.Main().isMaximized());
    }

    void maximizedIsRestoredMaximized()
    {
        StorePlacement(30, 40, 530, 440, "1");
        {
            ProgramWindows windows;
            windows.Main().show();
            QVERIFY(windows.Main().isMaximized());
        }
        // The normal rectangle is written, not the maximized one.
        QSettings settings;
        settings.beginGroup("Ciphra2KP");
        const QStringList edges = {
            settings.value("Left").toString(), settings.value("Top").toString(),
            settings.value("Right").toString(), settings.value("Bottom").toString(),
            settings.value("Maximized").toString()};
        QCOMPARE(edges, QStringList({"30", "40", "530", "440", "1"}));
    }

    void placementIsWrittenAsEdges()
    {
        {
            ProgramWindows windows;
            windows.Main().setGeometry(11, 22, 333, 244);
        }
        QSettings settings;
        settings.beginGroup("Ciphra2KP");
        QCOMPARE(settings.value("Left").toString(), QString("11"));
        QCOMPARE(settings.value("Right").toString(), QString("344"));
        QCOMPARE(settings.value("Bottom").toString(), QString("266"));
        QCOMPARE(settings.value("Maximized").toString(), QString("0"));
    }

    void menusToolbarAndContextMenu()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        QCOMPARE(Captions(w.menuBar()->actions()),
                 QStringList({"&File", "&Clipboard", "&Options", "&Help"}));
        const QList<QStringList> menus = {
            {"&Encrypt file", "&Decrypt file", "&Hash file", "&Shred file", "&View file", "-",
             "E&xit"},
            {"&String / clipboard encryption", "&Encrypt clipboard", "&Decrypt clipboard",
             "Empty &clipboard"},
            {"Create self-&decrypting files", "Self-decrypting &for",
             "&Overwrite file on encryption", "Encrypt to the &age format (recommended)",
             "C&lear decrypted text from the clipboard after 30 s", "-",
             "&Go one level up - (BckSpc)", "&Choose dir - (Enter)", "&Refresh list - (F5)", "-",
             "&Show color info"},
            {"&Help on...", "&About"},
        };
        for (int i = 0; i < menus.size(); ++i)
            QCOMPARE(Captions(w.menuBar()->actions()[i]->menu()->actions()), menus[i]);
        QCOMPARE(Captions(w.commands.selfDecryptingForMenu->actions()),
                 QStringList({"&Linux", "&Windows"}));
        QCOMPARE(Captions(w.commands.contextMenu->actions()),
                 QStringList({"&Encrypt file", "&Decrypt file", "&Hash file", "&Shred file",
                              "&View file", "-", "E&mpty clipboard", "&Refresh list"}));
        const QStringList shortcuts = {
            w.commands.encryptAction->shortcut().toString(),
            w.commands.decryptAction->shortcut().toString(),
            w.commands.hashAction->shortcut().toString(),
            w.commands.shredAction->shortcut().toString(),
            w.commands.viewAction->shortcut().toString(),
            w.commands.exitAction->shortcut().toString(),
            w.commands.textEncryptionAction->shortcut().toString(),
            w.commands.encryptClipboardAction->shortcut().toString(),
            w.commands.decryptClipboardAction->shortcut().toString(),
            w.commands.emptyClipboardAction->shortcut().toString(),
            w.commands.colorLegendAction->shortcut().toString(),
            w.commands.helpAction->shortcut().toString(),
        };
        QCOMPARE(shortcuts, QStringList({"Ctrl+E", "Ctrl+D", "Ctrl+H", "Ctrl+S", "Ctrl+V", "Ctrl+X",
                                         "F3", "F6", "F7", "F8", "F2", "F1"}));
        QStringList toolbar;
        for (QAction* action : w.commands.toolBar->actions()) {
            if (action->isSeparator())
                toolbar << "-";
            else if (QWidget* item = w.commands.toolBar->widgetForAction(action))
                toolbar << (item->objectName().isEmpty() ? QString("gap") : action->toolTip());
        }
        QCOMPARE(toolbar, QStringList({"Encrypt file", "Decrypt file", "Hash file", "Shred file",
                                       "gap", "Choose dir - (Enter)",
                                       "One level back - (BackSpace)", "Refresh list - F5", "-", "",
                                       "", "", "", "-", "Help on...", "Exit"}));
        for (QAction* style : w.commands.viewStyles->actions())
            QVERIFY(style->isCheckable() && !style->isChecked());
    }

    void releaseRule()
    {
        FolderOf folder({"a.txt", "b.txt", "c.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.move(0, 0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ShowFolderByPath(folder.Path());
        QAbstractItemView* view = w.fileList->CurrentView();
        const QPoint row1 = view->visualRect(w.entries->index(1, 0)).center();
        const QPoint empty = QPoint(5, view->viewport()->height() - 5);
        QMenu* popup = w.commands.contextMenu;

        // Left release on a row: enabled.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row1);
        QVERIFY(FileCommandsEnabled(w));
        // Right release on empty space with no selection: disabled, no menu.
        w.fileList->ClearSelection();
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, empty);
        QVERIFY(!FileCommandsEnabled(w));
        QVERIFY(!popup->isVisible());
        // Right release with a selection: enabled and the menu beside the
        // first selected row, whatever the pointer's position.
        w.fileList->Selection()->select(w.entries->index(1, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.fileList->Selection()->select(w.entries->index(2, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QPoint row2 = view->visualRect(w.entries->index(2, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, row2);
        QVERIFY(FileCommandsEnabled(w));
        QTRY_VERIFY(popup->isVisible());
        QCOMPARE(popup->pos(), w.fileList->RowTopLeftOnScreen(1) + QPoint(10, 20));
        popup->hide();
        // Middle release with a selection: disabled.
        QTest::mouseClick(view->viewport(), Qt::MiddleButton, {}, row1);
        QVERIFY(!FileCommandsEnabled(w));
    }

    void keysAndTheEnablingRule()
    {
        FolderOf folder({"a.txt", "b.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ShowFolderByPath(folder.Path());
        QAbstractItemView* view = w.fileList->CurrentView();
        view->setFocus();

        // Up/Down are judged before the list moves: no selection, disabled,
        // although the key then selects a row.
        w.fileList->ClearSelection();
        QTest::keyClick(view, Qt::Key_Down);
        QVERIFY(!FileCommandsEnabled(w));
        QVERIFY(w.fileList->FirstSelectedRow() >= 0);
        QTest::keyClick(view, Qt::Key_Up);
        QVERIFY(FileCommandsEnabled(w));

        QTest::keyClick(w.pathBox, Qt::Key_End);
        QVERIFY(!FileCommandsEnabled(w));

        w.SetFileCommandsEnabled(true);
        QTest::keyClick(w.driveTree, Qt::Key_Right);
        QVERIFY(!FileCommandsEnabled(w));

        // Up one level leaves the state as it was.
        w.SetFileCommandsEnabled(true);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Backspace);
        QVERIFY(FileCommandsEnabled(w));
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
    }

    void f5CommitsTheEditedText()
    {
        FolderOf folder({"x/"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.SetFileCommandsEnabled(true);
        w.pathBox->setEditText(folder.Path());
        QTest::keyClick(&w, Qt::Key_F5);
        QCOMPARE(w.CurrentFolderID(), folder.Path());
        QVERIFY(!FileCommandsEnabled(w));
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
    }

    // Names that differ in case alone are different folders: the list, the
    // path box, its history and the commands all keep them apart.
    void foldersDifferingOnlyInCaseStayApart()
    {
        QTemporaryDir root;
        const QString lower = root.filePath("case/a");
        const QString upper = root.filePath("case/A");
        QVERIFY(QDir().mkpath(lower) && QDir().mkpath(upper));
        WriteFile(lower + "/note.txt", "in the lower-case folder");
        WriteFile(upper + "/note.txt", "in the upper-case folder");
        WriteFile(upper + "/only-here.txt", "");
        ProgramWindows windows;
        MainWindow& w = windows.Main();

        w.ShowFolderByPath(lower);
        w.ShowFolderByPath(upper);
        QCOMPARE(w.pathBox->currentText(), upper);
        QCOMPARE(w.pathBox->itemText(1), lower); // both in the history
        QCOMPARE(ListedNames(w), QStringList({"note.txt", "only-here.txt"}));
        SelectOnly(w, 0);
        const HashCommandResult hashed = RunHashCommand(w);
        QCOMPARE(hashed.path, upper + "/note.txt");
        QCOMPARE(hashed.digest, HexDigest("in the upper-case folder"));

        // Refreshing lists the folder of the path box again: still the upper-case one.
        w.OnRefresh();
        QCOMPARE(w.CurrentPath(), upper);
        QCOMPARE(ListedNames(w), QStringList({"note.txt", "only-here.txt"}));
    }

    // Text typed into the path box and not committed names no folder yet:
    // the commands and the open keep to the folder the list shows.
    void uncommittedPathBoxTextIsNotTheFolder()
    {
        FolderOf listed({"a.txt"});
        FolderOf typed({"a.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(listed.Path());
        w.pathBox->setEditText(typed.Path());
        SelectOnly(w, 0);

        QCOMPARE(w.FolderPath(), listed.Path());
        QCOMPARE(w.FullPathOf(0), listed.FilePath("a.txt"));
        QStringList opened;
        w.openFile = [&](const QString& file, const QString& folder) { opened << file << folder; };
        w.OnListDoubleClick();
        QCOMPARE(opened, QStringList({"a.txt", listed.Path()}));
        QCOMPARE(RunHashCommand(w).path, listed.FilePath("a.txt"));
        QCOMPARE(w.pathBox->currentText(), typed.Path()); // still there to be committed
    }

    void hashCommandTakesTheFirstSelectedEntry()
    {
        FolderOf folder({"a.txt", "b.txt", "c.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(folder.Path());
        w.fileList->Selection()->select(w.entries->index(2, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.SetFileCommandsEnabled(true);
        ModalScript script;
        QString shownPath;
        script.Queue([&](QDialog& dialog) {
            shownPath = static_cast<HashWindow&>(dialog).fileNameEdit->text();
            return int(QDialog::Rejected);
        });
        w.commands.hashAction->trigger();
        QCOMPARE(shownPath, folder.FilePath("a.txt"));
        QCOMPARE(script.Shown(), std::vector<QString>{"Hash File"});
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
        QVERIFY(FileCommandsEnabled(w)); // the Hash command leaves the state as it was
    }

    void helpAboutAndLegend()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        MessageBoxScript boxes;
        QTest::keyClick(&w, Qt::Key_F1);
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].kind, BoxKind::Plain);
        QCOMPARE(boxes.Boxes()[0].title, QString("Ciphra 2K"));
        QCOMPARE(boxes.Boxes()[0].text, QString("Sorry... Next time, I promise."));

        AboutWindow& about = *windows.Others().about;
        ModalScript modal;
        QUrl opened;
        about.openAddress = [&](const QUrl& url) { opened = url; };
        modal.Queue([&](QDialog&) {
            QTest::mouseClick(about.addressLink, Qt::LeftButton);
            return int(QDialog::Rejected);
        });
        w.commands.aboutAction->trigger();
        QCOMPARE(modal.Shown(), std::vector<QString>{"About Ciphra 2K"});
        QCOMPARE(opened, QUrl(QString("https://") + kProjectAddress));
        QCOMPARE(about.addressLink->toolTip(), QString("Go to ") + kProjectAddress);
        QCOMPARE(about.addressLink->pos(), QPoint(80, 179));
        QVERIFY(about.addressLink->width() >= about.addressLink->sizeHint().width());

        ColorLegendWindow& legend = *windows.Others().legend;
        QVERIFY(legend.windowFlags() & Qt::WindowStaysOnTopHint);
        QTest::keyClick(&w, Qt::Key_F2);
        QVERIFY(legend.isVisible());
        QTest::mouseClick(legend.closeButton, Qt::LeftButton);
        QVERIFY(!legend.isVisible());
        QTest::keyClick(&w, Qt::Key_F2);
        QVERIFY(legend.isVisible());
        QCOMPARE(windows.Others().legend, &legend);
        legend.close();
    }

    // About opens in the middle of the screen, wherever the main window is.
    void aboutIsCentredOnTheScreen()
    {
        ProgramWindows windows;
        windows.Main().setGeometry(10, 10, 558, 393);
        windows.Main().show();
        AboutWindow& about = *windows.Others().about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        const QPoint middle = about.screen()->availableGeometry().center();
        QVERIFY2((about.frameGeometry().center() - middle).manhattanLength() <= 2,
                 qPrintable(QString("About's middle is at %1,%2")
                                .arg(about.frameGeometry().center().x())
                                .arg(about.frameGeometry().center().y())));
        about.hide();
    }

    // A click on the legend's Close button, as the window system delivers it
    // (to the window, then to the control under the pointer), closes it.
    void legendClosesByAClickOnItsButton()
    {
        ProgramWindows windows;
        ColorLegendWindow& legend = *windows.Others().legend;
        legend.ShowLegend();
        QVERIFY(QTest::qWaitForWindowExposed(&legend));
        QTest::mouseClick(legend.windowHandle(), Qt::LeftButton, {},
                          legend.closeButton->geometry().center());
        QTRY_VERIFY(!legend.isVisible());
    }

    // No label or picture lies over a control of any window: the control
    // under the middle of each control is that control.
    void everyControlIsOnTop_data() { AddWindowRows(); }
    void everyControlIsOnTop()
    {
        QFETCH(QByteArray, window);
        ProgramWindows windows;
        QWidget* shown = WindowNamed(windows, window);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        const QList<QWidget*> children = shown->findChildren<QWidget*>();
        for (QWidget* control : children) {
            if (!control->isVisible() || control->focusPolicy() == Qt::NoFocus ||
                control->window() != shown)
                continue;
            const QPoint middle = control->mapTo(shown, control->rect().center());
            QWidget* hit = shown->childAt(middle);
            QVERIFY2(
                hit == control || control->isAncestorOf(hit),
                qPrintable(control->objectName() + " is covered by " +
                           (hit != nullptr ? QString::fromLatin1(hit->metaObject()->className())
                                           : QString("nothing"))));
        }
        shown->hide();
    }
};

CIPHRA_UI_TEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
