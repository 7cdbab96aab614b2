// The file list and navigation: the model's contract and row texts, the
// name-column markings, history, up one level, find, opening entries, the
// drive tree coupling, failures, and details fetched for shown rows only.

#include "core/error.h"
#include "gui/app/startup.h"
#include "gui/kit/message_boxes.h"
#include "gui/list/file_list_view.h"
#include "gui/tree/drive_view.h"
#include "ui_test_support.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QCompleter>
#include <QFileSystemModel>
#include <QFont>
#include <QListView>
#include <QPalette>
#include <QScopeGuard>
#include <QTreeView>

#include <sys/stat.h>

using namespace ciphra::gui;
using ciphra::gui::testing::ClearSettings;
using ciphra::gui::testing::FolderOf;

namespace {

QStringList Names(const FileListModel& model)
{
    QStringList names;
    for (int row = 0; row < model.EntryCount(); ++row)
        names << model.Entry(row).Name;
    return names;
}

QStringList History(const QComboBox& box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

// True when the tree's selected node lies wholly inside its visible part.
bool CurrentNodeInView(const QTreeView& tree)
{
    const QRect node = tree.visualRect(tree.currentIndex());
    return node.isValid() && tree.viewport()->rect().contains(node);
}

// Keys as a person types them: through the window system to the window,
// which hands them to an open popup before the focused control.
void TypeIntoWindow(QWidget& window, const QString& text)
{
    for (const QChar c : text)
        QTest::keyClick(window.windowHandle(), c.toLatin1());
}

} // namespace

class TestFileList : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void modelContractAndRowTexts()
    {
        FolderOf folder({"sub/", "big.bin", "note.txt", ".dot"});
        QFile big(folder.FilePath("big.bin"));
        QVERIFY(big.open(QIODevice::ReadWrite) && big.resize(2000));
        big.close();
        FileListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.LoadEntries(folder.Path());
        QCOMPARE(Names(model), QStringList({"sub", ".dot", "big.bin", "note.txt"}));

        const auto text = [&](int row, int column) {
            return model.data(model.index(row, column), Qt::DisplayRole).toString();
        };
        QCOMPARE(text(0, FileListModel::kSize), QString());
        QCOMPARE(text(0, FileListModel::kType), QString("Folder"));
        QCOMPARE(text(1, FileListModel::kAttributes), QString("h"));
        QCOMPARE(text(2, FileListModel::kSize), QString("2KB"));
        QCOMPARE(text(3, FileListModel::kSize), QString("1KB"));
        QVERIFY(!text(3, FileListModel::kModified).isEmpty());
        const QStringList captions = {"Name", "Size", "Type", "Modified", "Attributes"};
        for (int column = 0; column < FileListModel::kColumnCount; ++column)
            QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                     captions[column]);
        QCOMPARE(model.data(model.index(0, FileListModel::kSize), Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignRight | Qt::AlignVCenter));
        QCOMPARE(
            model.data(model.index(0, FileListModel::kAttributes), Qt::TextAlignmentRole).toInt(),
            int(Qt::AlignCenter));

        // A folder that cannot be read keeps the entries of the last one.
        QVERIFY_THROWS_EXCEPTION(std::exception, model.LoadEntries("/no/such/folder"));
        QCOMPARE(model.CurrentFolder(), folder.Path());
        QCOMPARE(model.EntryCount(), 4);
    }

    void onlyTheNameColumnCarriesTheMarkings()
    {
        FolderOf folder({".hidden", "plain"});
        QVERIFY(::mkfifo(QFile::encodeName(folder.FilePath("pipe")).constData(), 0644) == 0);
        FileListModel model;
        model.LoadEntries(folder.Path());
        QCOMPARE(Names(model), QStringList({".hidden", "pipe", "plain"}));
        const QPalette palette = QGuiApplication::palette();
        const QBrush windowText = palette.brush(QPalette::Active, QPalette::WindowText);
        const auto role = [&](int row, int column, int r) {
            return model.data(model.index(row, column), r);
        };
        // hidden: underlined name, normal colour
        QVERIFY(qvariant_cast<QFont>(role(0, 0, Qt::FontRole)).underline());
        QVERIFY(!role(0, 0, Qt::ForegroundRole).isValid());
        // system (a FIFO): highlight colour
        QCOMPARE(qvariant_cast<QBrush>(role(1, 0, Qt::ForegroundRole)),
                 palette.brush(QPalette::Active, QPalette::Highlight));
        QVERIFY(!role(1, 0, Qt::FontRole).isValid());
        // plain: nothing
        QVERIFY(!role(2, 0, Qt::ForegroundRole).isValid());
        for (int row = 0; row < 3; ++row) {
            for (int column = 1; column < FileListModel::kColumnCount; ++column) {
                QCOMPARE(qvariant_cast<QBrush>(role(row, column, Qt::ForegroundRole)), windowText);
                QVERIFY(!role(row, column, Qt::FontRole).isValid());
            }
        }
    }

    void find_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<int>("found");
        // entries: alpha, Beta, beta2, gamma
        QTest::newRow("case ignored") << "b" << 0 << false << 1;
        QTest::newRow("longer prefix") << "BETA2" << 0 << false << 2;
        QTest::newRow("last entry") << "gam" << 0 << false << 3;
        QTest::newRow("from the start index on") << "beta" << 2 << false << 2;
        QTest::newRow("no wrap") << "al" << 1 << false << -1;
        QTest::newRow("wrap to the start") << "al" << 1 << true << 0;
        QTest::newRow("text longer than the name") << "alphabet" << 0 << true << -1;
        QTest::newRow("empty text") << "" << 0 << true << -1;
        QTest::newRow("nothing matches with wrap") << "z" << 0 << true << -1;
    }
    void find()
    {
        QFETCH(QString, text);
        QFETCH(int, start);
        QFETCH(bool, wrap);
        QFETCH(int, found);
        static FolderOf folder({"alpha", "Beta", "beta2", "gamma"});
        FileListModel model;
        model.LoadEntries(folder.Path());
        QCOMPARE(model.FindByPrefix(text, start, wrap), found);
    }

    void typingFindsAndWraps()
    {
        FolderOf folder({"apple", "banana", "cherry", "avocado"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.ShowFolderByPath(folder.Path());
        QAbstractItemView* view = w.fileList->CurrentView();
        view->setFocus();
        QApplication::setKeyboardInputInterval(100);
        QTest::keyClicks(view, "c");
        QCOMPARE(w.fileList->FirstSelectedRow(), 3);
        QTest::keyClick(view, Qt::Key_A, {}, 200); // a new search after a pause wraps
        QCOMPARE(w.fileList->FirstSelectedRow(), 0);
        QTest::keyClick(view, Qt::Key_Q, {}, 200); // nothing found: selection stays
        QCOMPARE(w.fileList->FirstSelectedRow(), 0);
    }

    void emptyFolder()
    {
        FolderOf folder({});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(folder.Path());
        QCOMPARE(w.entries->rowCount(), 0);
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
        QCOMPARE(w.pathBox->currentText(), folder.Path());
    }

    void historyNewestFirstWithoutDuplicates()
    {
        FolderOf one({"a"});
        FolderOf two({"b"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowFolderByPath(one.Path());
        w.ShowFolderByPath(two.Path());
        QCOMPARE(History(*w.pathBox), QStringList({two.Path(), one.Path(), "computer:///"}));
        QCOMPARE(w.fileList->FirstSelectedRow(), 0);

        // A known path typed again lists that folder, adds no item, and the
        // box then shows the history item.
        w.pathBox->setEditText(one.Path());
        w.OnRefresh();
        QCOMPARE(w.CurrentFolderID(), one.Path());
        QCOMPARE(w.pathBox->currentText(), one.Path());
        QCOMPARE(w.pathBox->count(), 3);
        // The commit clears the selection.
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
        // The same path in other case names another folder, here none.
        w.pathBox->setEditText(one.Path().toUpper());
        QVERIFY_THROWS_EXCEPTION(ciphra::Exception, w.OnRefresh());
        QCOMPARE(w.CurrentFolderID(), one.Path());
        QCOMPARE(w.pathBox->count(), 3);

        // Choosing an item from the drop-down list commits it.
        w.pathBox->setCurrentIndex(2);
        emit w.pathBox->activated(2);
        QCOMPARE(w.CurrentFolderID(), QString("computer:///"));
    }

    void upOneLevel()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        int beeps = 0;
        w.beep = [&] { ++beeps; };
        w.ShowFolderByPath("/");
        w.OnUpOneLevel();
        QCOMPARE(w.CurrentFolderID(), QString("computer:///"));
        QCOMPARE(beeps, 0);
        const int rows = w.entries->rowCount();
        w.OnUpOneLevel();
        QCOMPARE(beeps, 1);
        QCOMPARE(w.CurrentFolderID(), QString("computer:///"));
        QCOMPARE(w.entries->rowCount(), rows);

        FolderOf folder({"inner/"});
        w.ShowFolderByPath(folder.FilePath("inner"));
        w.OnUpOneLevel();
        QCOMPARE(w.CurrentFolderID(), folder.Path());
    }

    void doubleClickOpensEntries()
    {
        FolderOf folder({"sub/", "sub/deeper.txt", "readme.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList opened;
        w.openFile = [&](const QString& file, const QString& dir) { opened << file << dir; };
        w.ShowFolderByPath(folder.Path());
        QAbstractItemView* view = w.fileList->CurrentView();

        const QPoint fileRow = view->visualRect(w.entries->index(1, 0)).center();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, fileRow);
        QCOMPARE(opened, QStringList({"readme.txt", folder.Path()}));
        QCOMPARE(w.CurrentFolderID(), folder.Path());

        const QPoint folderRow = view->visualRect(w.entries->index(0, 0)).center();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, folderRow);
        QCOMPARE(w.CurrentFolderID(), folder.FilePath("sub"));
        QCOMPARE(Names(*w.entries), QStringList({"deeper.txt"}));
        QCOMPARE(w.fileList->FirstSelectedRow(), -1);
        QCOMPARE(w.driveTree->Directory(), folder.FilePath("sub"));

        // Enter with nothing selected does nothing.
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(w.CurrentFolderID(), folder.FilePath("sub"));
        QCOMPARE(opened.size(), 2);
    }

    void failingFolderKeepsThePreviousState_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "/no/such/folder"
                                 << "/no/such/folder: No such file or directory.";
        QTest::newRow("not a path") << "nowhere"
                                    << "The path \"nowhere\" is not an absolute folder path.";
        QTest::newRow("a file") << "/proc/version"
                                << "/proc/version: Not a directory.";
    }
    void failingFolderKeepsThePreviousState()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        FolderOf folder({"kept.txt"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.ShowFolderByPath(folder.Path());
        const QStringList history = History(*w.pathBox);
        MessageBoxScript boxes;
        w.pathBox->setEditText(typed);
        QTest::keyClick(w.pathBox, Qt::Key_Return);
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].kind, BoxKind::ErrorReport);
        QCOMPARE(boxes.Boxes()[0].text, message);
        QCOMPARE(w.CurrentFolderID(), folder.Path());
        QCOMPARE(Names(*w.entries), QStringList({"kept.txt"}));
        QCOMPARE(History(*w.pathBox), history);
        QCOMPARE(w.pathBox->currentText(), typed); // the box keeps the typed text
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(w.fileList->updatesEnabled());
    }

    void driveTreeCoupling()
    {
        FolderOf folder({"one/", "two/"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        // A commit points the tree at the listed folder; the tree's change
        // event commits the same folder once more, and the chain stops.
        w.pathBox->setEditText(folder.FilePath("one"));
        w.OnRefresh();
        QCOMPARE(w.driveTree->Directory(), folder.FilePath("one"));
        QCOMPARE(w.CurrentFolderID(), folder.FilePath("one"));

        // Choosing another node lists that folder.
        w.driveTree->SetDirectory(folder.FilePath("two"));
        QCOMPARE(w.CurrentFolderID(), folder.FilePath("two"));
        QCOMPARE(w.pathBox->currentText(), folder.FilePath("two"));

        // A missing folder selects its nearest existing parent.
        w.driveTree->SetDirectory(folder.FilePath("two/missing/deeper"));
        QCOMPARE(w.driveTree->Directory(), folder.FilePath("two"));
        // Text that is not a path changes nothing.
        w.driveTree->SetDirectory("computer:///");
        QCOMPARE(w.driveTree->Directory(), folder.FilePath("two"));
    }

    // Every style shows each name as long as it is, whatever the other
    // entries' names are; the large icons' grid cell is the only bound.
    void viewStylesShowWholeNames_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("large icons") << int(ViewStyle::LargeIcons);
        QTest::newRow("small icons") << int(ViewStyle::SmallIcons);
        QTest::newRow("list") << int(ViewStyle::List);
    }
    void viewStylesShowWholeNames()
    {
        QFETCH(int, style);
        FolderOf folder({"a", "b9999", ".hidden-notes", "c"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ShowFolderByPath(folder.Path());
        w.OnViewStyle(style);
        QListView* view = w.fileList->IconView();
        QCoreApplication::processEvents();
        const QFontMetrics metrics(view->font());
        const int icon = style == int(ViewStyle::LargeIcons) ? 0 : view->iconSize().width();
        for (int row = 0; row < w.entries->EntryCount(); ++row) {
            const QString name = w.entries->Entry(row).Name;
            int needed = metrics.horizontalAdvance(name) + icon;
            if (style == int(ViewStyle::LargeIcons)) // longer names wrap within the cell
                needed = std::min(needed, view->gridSize().width());
            const int shown = view->visualRect(w.entries->index(row, 0)).width();
            QVERIFY2(shown >= needed,
                     qPrintable(QString("%1: %2 < %3").arg(name).arg(shown).arg(needed)));
        }
    }

    // Sizing the items to their names reads names only: the icon views
    // fetch the details of the rows they draw and no others.
    void iconViewsFetchShownRowsOnly()
    {
        QStringList names;
        for (int i = 0; i < 1000; ++i)
            names << QString("file%1.txt").arg(i);
        FolderOf folder(names); // made once: creating files is the slow part
        for (const ViewStyle style :
             {ViewStyle::LargeIcons, ViewStyle::SmallIcons, ViewStyle::List}) {
            ProgramWindows windows;
            MainWindow& w = windows.Main();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            w.OnViewStyle(int(style));
            w.ShowFolderByPath(folder.Path());
            QCoreApplication::processEvents();
            w.fileList->CurrentView()->viewport()->repaint();
            const int shown = w.entries->FetchedCount();
            QVERIFY2(shown > 0 && shown < 300,
                     qPrintable(QString("style %1: %2").arg(int(style)).arg(shown)));
            QVERIFY(w.entries->Entry(999).DetailsPending);
        }
    }

    // The Modified column is wide enough for the dates and times it shows,
    // in the user's locale.
    void modifiedColumnFitsItsText_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("system") << QString();
        QTest::newRow("English (US)") << "en_US";
        QTest::newRow("German") << "de_DE";
        QTest::newRow("Portuguese (Brazil)") << "pt_BR";
    }
    void modifiedColumnFitsItsText()
    {
        QFETCH(QString, locale);
        const QLocale system;
        if (!locale.isEmpty())
            QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(system); });
        FolderOf folder({"late.txt"});
        QFile late(folder.FilePath("late.txt"));
        QVERIFY(late.open(QIODevice::ReadWrite));
        QVERIFY(late.setFileTime(QDateTime(QDate(2023, 12, 28), QTime(22, 58, 58)),
                                 QFileDevice::FileModificationTime));
        late.close();
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ShowFolderByPath(folder.Path());
        QTreeView* report = w.fileList->ReportView();
        QCoreApplication::processEvents();
        QVERIFY(!w.entries->data(w.entries->index(0, FileListModel::kModified), Qt::DisplayRole)
                     .toString()
                     .isEmpty());
        // What the shown rows need, as the view itself measures them.
        const int needed =
            static_cast<QAbstractItemView*>(report)->sizeHintForColumn(FileListModel::kModified);
        const int width = report->columnWidth(FileListModel::kModified);
        QVERIFY2(width >= needed, qPrintable(QString("%1 < %2").arg(width).arg(needed)));
    }

    // After a commit from the path box or its history, the tree shows the
    // listed folder's node, not only selects it.
    void driveTreeScrollsToTheListedFolder_data()
    {
        QTest::addColumn<bool>("fromHistory");
        QTest::newRow("typed into the path box") << false;
        QTest::newRow("chosen from the history") << true;
    }
    void driveTreeScrollsToTheListedFolder()
    {
        QFETCH(bool, fromHistory);
        QStringList names;
        for (int i = 0; i < 150; ++i)
            names << QString("d%1/").arg(i, 3, 10, QChar('0'));
        FolderOf folder(names);
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // As in the running program, the tree has read "/" before the commit.
        const auto* folders = qobject_cast<const QFileSystemModel*>(w.driveTree->model());
        QVERIFY(folders != nullptr);
        QTRY_VERIFY(folders->rowCount(folders->index("/")) > 1);
        QCoreApplication::processEvents();
        const QString far = folder.FilePath("d140");
        const QString near = folder.FilePath("d000");
        if (fromHistory) {
            w.ShowFolderByPath(far);
            w.pathBox->setEditText(near);
            QTest::keyClick(w.pathBox, Qt::Key_Return);
            QTRY_COMPARE(folders->rowCount(folders->index(folder.Path())), 150);
            QTRY_VERIFY(CurrentNodeInView(*w.driveTree));
            const int item = w.pathBox->findText(far);
            QVERIFY(item >= 0);
            w.pathBox->setCurrentIndex(item);
            emit w.pathBox->activated(item);
        } else {
            w.pathBox->setEditText(far);
            QTest::keyClick(w.pathBox, Qt::Key_Return);
        }
        QCOMPARE(w.driveTree->Directory(), far);
        // The tree reads the folders in the background: the node must be in
        // view once all of its siblings are in, not only at first.
        QTRY_COMPARE(folders->rowCount(folders->index(folder.Path())), 150);
        QTest::qWait(100);
        QTRY_VERIFY(CurrentNodeInView(*w.driveTree));
    }

    // The path box offers the history's matches in a popup, and Enter takes
    // what was typed unless a match was picked from the popup.
    void pathBoxCompletesInAPopup_data()
    {
        QTest::addColumn<bool>("pickMatch");
        QTest::newRow("Enter takes the typed text") << false;
        QTest::newRow("Down and Enter take the match") << true;
    }
    void pathBoxCompletesInAPopup()
    {
        QFETCH(bool, pickMatch);
        FolderOf folder({"data/Alpha/"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.ShowFolderByPath(folder.FilePath("data/Alpha"));
        w.ShowFolderByPath(folder.Path());
        w.pathBox->setFocus();
        w.pathBox->clearEditText();
        const QString typed = folder.FilePath("data");
        TypeIntoWindow(w, typed);
        QCOMPARE(w.pathBox->currentText(), typed);
        QTRY_VERIFY(w.pathBox->completer()->popup()->isVisible());
        if (pickMatch)
            QTest::keyClick(w.windowHandle(), Qt::Key_Down);
        QTest::keyClick(w.windowHandle(), Qt::Key_Return);
        QTRY_VERIFY(!w.pathBox->completer()->popup()->isVisible());
        QCOMPARE(w.CurrentFolderID(), pickMatch ? folder.FilePath("data/Alpha") : typed);
        QCOMPARE(w.driveTree->Directory(), w.CurrentFolderID());
    }

    // "Computer" shows names a person reads, home first; each entry keeps
    // its path, which the Type column and the tooltip show and opening uses.
    void computerShowsNamesAndKeepsPaths()
    {
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        const FileListModel& model = *w.entries;
        QCOMPARE(w.CurrentFolderID(), kComputerId);
        const auto cell = [&](int row, int column, int role) {
            return model.data(model.index(row, column), role).toString();
        };
        QVERIFY(model.EntryCount() >= 2);
        QCOMPARE(cell(0, FileListModel::kName, Qt::DisplayRole), QString("Home"));
        QCOMPARE(cell(1, FileListModel::kName, Qt::DisplayRole), QString("File System"));
        QCOMPARE(model.Entry(0).Name, QDir::homePath());
        QCOMPARE(model.Entry(1).Name, QString("/"));
        for (int row = 0; row < model.EntryCount(); ++row) {
            const QString path = model.Entry(row).Name;
            QVERIFY(!cell(row, FileListModel::kName, Qt::DisplayRole).startsWith('/'));
            QCOMPARE(cell(row, FileListModel::kType, Qt::DisplayRole), path);
            QCOMPARE(cell(row, FileListModel::kName, Qt::ToolTipRole), path);
        }
        // Typing finds by the shown name; opening goes by the path.
        QCOMPARE(model.FindByPrefix("file", 0, true), 1);
        w.fileList->Selection()->select(model.index(1, 0), QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
        w.OnListDoubleClick();
        QCOMPARE(w.CurrentFolderID(), QString("/"));
        QCOMPARE(w.pathBox->currentText(), QString("/"));
    }

    void viewStylesShareOneSelection()
    {
        FolderOf folder({"a", "b", "c"});
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        w.ShowFolderByPath(folder.Path());
        w.fileList->Selection()->select(w.entries->index(2, 0),
                                        QItemSelectionModel::ClearAndSelect |
                                            QItemSelectionModel::Rows);
        const QList<QAction*> styles = {w.commands.largeIconsButton, w.commands.smallIconsButton,
                                        w.commands.listButton, w.commands.reportButton};
        for (int tag = 0; tag < 4; ++tag) {
            styles[tag]->trigger();
            QCOMPARE(int(w.fileList->CurrentViewStyle()), tag);
            QVERIFY(styles[tag]->isChecked());
            QCOMPARE(w.fileList->CurrentView()->isVisible(), true);
            QCOMPARE(w.fileList->FirstSelectedRow(), 2);
        }
    }

    void detailsAreFetchedForShownRowsOnly()
    {
        QStringList names;
        for (int i = 0; i < 3000; ++i)
            names << QString("file%1.txt").arg(i);
        FolderOf folder(names);
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.resize(558, 393);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.ShowFolderByPath(folder.Path());
        QCOMPARE(w.entries->rowCount(), 3000);
        QCoreApplication::processEvents();
        w.fileList->CurrentView()->viewport()->repaint();
        const int shown = w.entries->FetchedCount();
        QVERIFY2(shown > 0 && shown < 60, qPrintable(QString::number(shown)));
        QVERIFY(w.entries->Entry(0).DetailsPending == false);
        QVERIFY(w.entries->Entry(2999).DetailsPending);
        // Scrolling to the end fetches the rows shown there, once.
        w.fileList->CurrentView()->scrollToBottom();
        w.fileList->CurrentView()->viewport()->repaint();
        QVERIFY(!w.entries->Entry(2999).DetailsPending);
        QVERIFY(w.entries->FetchedCount() < 2 * shown + 10);
    }
};

CIPHRA_UI_TEST_MAIN(TestFileList)
#include "test_file_list.moc"
