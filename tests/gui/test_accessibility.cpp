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
