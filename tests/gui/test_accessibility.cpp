// Accessibility and keyboard: every control of every window has a name and a
// description for screen readers, Tab visits the path box, the tree and the
// list in that order, and the commands that live on the toolbar or behind the
// mouse alone have keys too.

#include "gui/list/file_list_view.h"
#include "gui/tree/drive_view.h"
#include "gui/windows/cipher_progress_window.h"
#include "ui_test_support.h"
#include "window_rows.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolBar>
#include <QTreeView>

using namespace ciphra::gui;
using ciphra::gui::testing::AddWindowRows;
using ciphra::gui::testing::ClearSettings;
using ciphra::gui::testing::FolderOf;
using ciphra::gui::testing::WindowNamed;

namespace {

// What a screen reader announces: controls, editable and list views,
// progress bars and pictures. Plain caption labels read their own text.
bool IsAnnounced(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return !label->pixmap().isNull() || label->focusPolicy() != Qt::NoFocus;
    return qobject_cast<const QAbstractButton*>(widget) != nullptr ||
           qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
           qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QComboBox*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
           qobject_cast<const QProgressBar*>(widget) != nullptr;
}

QString AccessibleText(QWidget* widget, QAccessible::Text kind)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(kind) : QString();
}

QWidget* FocusAfter(QWidget& window, Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
    return window.focusWidget();
}

bool IsIn(const QWidget* widget, const QWidget* control)
{
    return widget == control || control->isAncestorOf(widget);
}

// The letter after a single "&" in a caption, lower-cased; none without one.
QChar Mnemonic(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1].toLower();
        ++i;
    }
    return {};
}

// What keeps a menu's items from being chosen by their letters: an item
// without a letter, or two items sharing one (the letter then only moves
// between them).
QStringList MnemonicFaults(const QString& menu, const QList<QAction*>& items)
{
    QStringList faults;
    QHash<QChar, QString> taken;
    for (const QAction* item : items) {
        if (item->isSeparator() || !item->isVisible())
            continue;
        const QChar letter = Mnemonic(item->text());
        if (letter.isNull())
            faults << menu + ": \"" + item->text() + "\" has no letter";
        else if (taken.contains(letter))
            faults << menu + ": \"" + item->text() + "\" and \"" + taken[letter] +
                          "\" share a letter";
        else
            taken.insert(letter, item->text());
    }
    return faults;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void everyControlHasANameAndADescription_data()
    {
        AddWindowRows();
        QTest::newRow("cipher progress") << QByteArray("cipher progress");
    }
    void everyControlHasANameAndADescription()
    {
        QFETCH(QByteArray, window);
        ProgramWindows windows;
        CipherProgressWindow cipherProgress(&windows.Main());
        QWidget* shown =
            window == "cipher progress" ? &cipherProgress : WindowNamed(windows, window);
        QVERIFY(shown != nullptr);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        QStringList missing;
        int announced = 0;
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            if (!control->isVisible() || !IsAnnounced(control))
                continue;
            ++announced;
            const QString id = control->objectName().isEmpty()
                                   ? QString::fromLatin1(control->metaObject()->className())
                                   : control->objectName();
            if (AccessibleText(control, QAccessible::Name).trimmed().isEmpty())
                missing << id + " has no name";
            if (AccessibleText(control, QAccessible::Description).trimmed().isEmpty())
                missing << id + " has no description";
        }
        QVERIFY(announced > 0);
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
        shown->hide();
    }

    // The toolbar's buttons are named as a person would say them, the four
    // view styles included (their buttons carry no caption of their own).
    void toolbarButtonNames()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        QStringList names;
        for (QAction* action : w.commands.toolBar->actions()) {
            QWidget* button = w.commands.toolBar->widgetForAction(action);
            if (action->isSeparator() || button == nullptr || button->objectName().isEmpty())
                continue;
            names << AccessibleText(button, QAccessible::Name);
        }
        QCOMPARE(names, QStringList({"Encrypt file", "Decrypt file", "Hash file", "Shred file",
                                     "Choose folder", "Up one level", "Refresh list", "Large icons",
                                     "Small icons", "List", "Details", "Help", "Exit"}));
    }

    // Tab goes from the path box to the tree, to the list and back to the
    // path box; Shift+Tab goes the other way. In every view style.
    void tabVisitsPathBoxTreeAndList_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("details") << int(ViewStyle::Report);
        QTest::newRow("list") << int(ViewStyle::List);
    }
    void tabVisitsPathBoxTreeAndList()
    {
        QFETCH(int, style);
        FolderOf folder({"a.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.ShowFolderByPath(folder.Path());
        w.OnViewStyle(style);
        QWidget* list = w.fileList->CurrentView();
        w.pathBox->setFocus();
        QVERIFY(IsIn(w.focusWidget(), w.pathBox));
        QVERIFY(IsIn(FocusAfter(w, Qt::Key_Tab), w.driveTree));
        QVERIFY(IsIn(FocusAfter(w, Qt::Key_Tab), list));
        QVERIFY(IsIn(FocusAfter(w, Qt::Key_Tab), w.pathBox));
        QVERIFY(IsIn(FocusAfter(w, Qt::Key_Backtab), list));
        QVERIFY(IsIn(FocusAfter(w, Qt::Key_Backtab), w.driveTree));
        QVERIFY(IsIn(FocusAfter(w, Qt::Key_Backtab), w.pathBox));
    }

    // The view styles, on the toolbar only, have keys of their own.
    void viewStylesHaveKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("style");
        QTest::newRow("Ctrl+1") << int(Qt::Key_1) << int(ViewStyle::LargeIcons);
        QTest::newRow("Ctrl+2") << int(Qt::Key_2) << int(ViewStyle::SmallIcons);
        QTest::newRow("Ctrl+3") << int(Qt::Key_3) << int(ViewStyle::List);
        QTest::newRow("Ctrl+4") << int(Qt::Key_4) << int(ViewStyle::Report);
    }
    void viewStylesHaveKeys()
    {
        QFETCH(int, key);
        QFETCH(int, style);
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Start from another style, so that every key has something to change.
        w.OnViewStyle(style == int(ViewStyle::Report) ? int(ViewStyle::List)
                                                      : int(ViewStyle::Report));
        QTest::keyClick(&w, Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(int(w.fileList->CurrentViewStyle()), style);
        QVERIFY(w.commands.viewStyles->checkedAction() != nullptr);
        QCOMPARE(w.commands.viewStyles->checkedAction()->data().toInt(), style);
    }

    // Every command is reached from the keyboard: the menus and their items
    // by letters of their own (Alt and the menu's letter, then the item's),
    // the context menu's commands through the same items of the menu bar, and
    // each toolbar button through its menu item or a key of its own.
    void everyCommandHasAKeyboardPath()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        QStringList faults = MnemonicFaults("menu bar", w.menuBar()->actions());
        QSet<QString> inMenus;
        for (const QAction* title : w.menuBar()->actions()) {
            faults += MnemonicFaults(title->text(), title->menu()->actions());
            for (const QAction* item : title->menu()->actions())
                inMenus.insert(item->objectName());
        }
        for (const QAction* item : w.commands.contextMenu->actions()) {
            QString twin = item->objectName();
            twin.replace(twin.size() - 1, 1, "1"); // "Encryptfile2" is "Encryptfile1"
            if (!item->isSeparator() && !inMenus.contains(twin))
                faults << "context menu: " + item->objectName() + " is in no menu of the bar";
        }
        // A toolbar button's menu item; empty: the button has a key of its own.
        const QHash<QString, QString> menuItemOf = {{"ToolButton2", "Encryptfile1"},
                                                    {"ToolButton4", "Decryptfile1"},
                                                    {"ToolButton11", "Hashfile1"},
                                                    {"ToolButton5", "Shredfile1"},
                                                    {"btnBrowse", "Choosedir1"},
                                                    {"btnBack", "Goonelevelup1"},
                                                    {"ToolButton10", "Refreshlist1"},
                                                    {"btnLargeIcons", ""},
                                                    {"btnSmallIcons", ""},
                                                    {"btnList", ""},
                                                    {"btnReport", ""},
                                                    {"ToolButton7", "Helpon1"},
                                                    {"ToolButton8", "Exit1"}};
        for (const QAction* button : w.commands.toolBar->actions()) {
            const QString name = button->objectName();
            if (button->isSeparator() || name.isEmpty())
                continue;
            const QString item = menuItemOf.value(name, "unknown");
            if (item.isEmpty() ? button->shortcut().isEmpty() : !inMenus.contains(item))
                faults << "toolbar: " + name + " has no keyboard path";
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
    }

    // The letters work: Alt+O opens Options, C chooses the folder to list.
    void menuLettersRunTheCommand()
    {
        FolderOf folder({"a.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.chooseFolder = [&](QWidget*) { return folder.Path(); };
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_O, Qt::AltModifier);
        QMenu* options = w.menuBar()->actions()[2]->menu();
        QTRY_VERIFY(options->isVisible());
        QTest::keyClick(options, Qt::Key_C);
        QTRY_COMPARE(w.CurrentFolderID(), folder.Path());
    }

    // About's address is reached with Tab and opened with Enter or Space.
    void aboutAddressOpensFromTheKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }
    void aboutAddressOpensFromTheKeyboard()
    {
        QFETCH(int, key);
        ProgramWindows windows;
        AboutWindow& about = *windows.Others().about;
        QUrl opened;
        about.openAddress = [&](const QUrl& url) { opened = url; };
        about.show();
        about.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QCOMPARE(about.focusWidget(), about.addressLink);
        QTest::keyClick(about.addressLink, Qt::Key(key));
        QCOMPARE(opened, QUrl(QString("https://") + kProjectAddress));
        QVERIFY(about.isVisible());
        about.hide();
    }
};

CIPHRA_UI_TEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
