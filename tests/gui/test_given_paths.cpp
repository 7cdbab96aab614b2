// Paths handed to the main window: on the command line (a folder, files,
// files of several folders, missing ones), dropped on the window or on a
// toolbar command, and the rows dragged out of the list.

#include "gui/app/startup.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/list/file_list_view.h"
#include "gui/windows/password_dialog.h"
#include "support/stream_reference.h"
#include "support/test_files.h"
#include "ui_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>

#include <filesystem>

using namespace ciphra;
using namespace ciphra::gui;

namespace {

// A scratch folder with two subfolders of files.
struct Tree {
    test::TempFolder root;
    Tree()
    {
        std::filesystem::create_directories(root.Path() / "one/sub");
        std::filesystem::create_directories(root.Path() / "two");
        for (const char* name : {"one/a.txt", "one/b.txt", "one/c.txt", "two/d.txt"}) {
            test::WriteBytes(root / name, std::string("bytes of ") + name);
        }
    }
    QString Path(const QString& relative) const
    {
        return QString::fromStdString(root.Path().string()) + "/" + relative;
    }
};

QStringList SelectedNames(const MainWindow& w)
{
    return w.SelectedNames();
}

bool FileCommandsEnabled(const MainWindow& w)
{
    return w.commands.encryptButton->isEnabled() && w.commands.shredAction->isEnabled();
}

QMimeData* UrlsOf(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    data->setUrls(urls);
    return data;
}

// Drags the data over target at pos and drops it there; returns whether
// the drag was accepted on entering.
bool DropOn(QWidget& target, const QPoint& pos, const QMimeData& data)
{
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return drop.isAccepted();
}

QPoint CentreOf(QToolBar& bar, QAction* button)
{
    return bar.widgetForAction(button)->geometry().center();
}

} // namespace

class TestGivenPaths : public QObject {
    Q_OBJECT
private slots:
    void init() { testing::ClearSettings(); }

    void showsWhatTheCommandLineNames_data()
    {
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QString>("folder"); // empty: the start folder stays
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("missing");

        QTest::newRow("a folder") << QStringList{"one"} << "one" << QStringList{} << QStringList{};
        QTest::newRow("files") << QStringList{"one/c.txt", "one/a.txt"} << "one"
                               << QStringList{"a.txt", "c.txt"} << QStringList{};
        QTest::newRow("a file and a subfolder") << QStringList{"one/b.txt", "one/sub"} << "one"
                                                << QStringList{"sub", "b.txt"} << QStringList{};
        QTest::newRow("files of two folders: the first decides")
            << QStringList{"two/d.txt", "one/a.txt"} << "two" << QStringList{"d.txt"}
            << QStringList{};
        QTest::newRow("a folder first, then files")
            << QStringList{"two", "one/a.txt"} << "two" << QStringList{} << QStringList{};
        QTest::newRow("a missing file beside a found one")
            << QStringList{"one/gone.txt", "one/b.txt"} << "one" << QStringList{"b.txt"}
            << QStringList{"one/gone.txt"};
        QTest::newRow("nothing found") << QStringList{"gone", "one/gone.txt"} << "" << QStringList{}
                                       << QStringList{"gone", "one/gone.txt"};
    }

    void showsWhatTheCommandLineNames()
    {
        QFETCH(QStringList, given);
        QFETCH(QString, folder);
        QFETCH(QStringList, selected);
        QFETCH(QStringList, missing);
        const Tree tree;
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        const QString start = w.CurrentPath();
        QStringList paths;
        for (const QString& each : given) {
            paths << tree.Path(each);
        }
        MessageBoxScript boxes;

        w.ShowGivenPaths(paths);

        QCOMPARE(w.CurrentPath(), folder.isEmpty() ? start : tree.Path(folder));
        if (!folder.isEmpty()) {
            QCOMPARE(SelectedNames(w), selected);
            QCOMPARE(FileCommandsEnabled(w), !selected.isEmpty());
        }
        if (missing.isEmpty()) {
            QVERIFY(boxes.Boxes().empty());
        } else {
            QStringList missingPaths;
            for (const QString& each : missing) {
                missingPaths << tree.Path(each);
            }
            QCOMPARE(boxes.Boxes().size(), std::size_t(1));
            QCOMPARE(boxes.Boxes()[0].kind, BoxKind::Error);
            QCOMPARE(boxes.Boxes()[0].text,
                     "File or folder not found:\n" + missingPaths.join('\n'));
        }
    }

    void filesDroppedOnTheWindowAreSelectedInTheirFolder()
    {
        const Tree tree;
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        const std::unique_ptr<QMimeData> files(
            UrlsOf({tree.Path("one/b.txt"), tree.Path("one/c.txt")}));

        QVERIFY(DropOn(w, w.rect().center(), *files));
        QTRY_COMPARE(w.CurrentPath(), tree.Path("one"));
        QCOMPARE(SelectedNames(w), (QStringList{"b.txt", "c.txt"}));
        QVERIFY(FileCommandsEnabled(w));

        // Only local files are taken.
        QMimeData page;
        page.setUrls({QUrl("https://example.org/a.txt")});
        QVERIFY(!DropOn(w, w.rect().center(), page));
    }

    // Dropped on the toolbar's Encrypt button (disabled: nothing is selected
    // before the drop), the files are encrypted; on Refresh they are only
    // listed.
    void filesDroppedOnAToolbarCommandRunIt()
    {
        const Tree tree;
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.show();
        QVERIFY(!w.commands.encryptButton->isEnabled());
        PasswordDialog& password = *windows.Others().password;
        MessageBoxScript boxes;
        ModalScript dialogs;
        dialogs.Queue([&password](QDialog&) {
            password.passwordEdit->setText("pw");
            password.digestOption->setChecked(true);
            return int(QDialog::Accepted);
        });
        const std::unique_ptr<QMimeData> files(
            UrlsOf({tree.Path("one/a.txt"), tree.Path("two/d.txt")}));
        QToolBar& bar = *w.commands.toolBar;

        QVERIFY(DropOn(bar, CentreOf(bar, w.commands.encryptButton), *files));
        // The command runs once for each folder; the second password dialog
        // is cancelled.
        QTRY_COMPARE(dialogs.Shown().size(), std::size_t(2));
        QCOMPARE(test::ReadBytes(tree.root / "one/a.txt.CPH"),
                 test::Encrypted("bytes of one/a.txt", "pw"));
        QVERIFY(!std::filesystem::exists(tree.root.Path() / "two/d.txt.CPH"));

        const std::unique_ptr<QMimeData> one(UrlsOf({tree.Path("one/b.txt")}));
        QVERIFY(DropOn(bar, CentreOf(bar, w.commands.refreshButton), *one));
        QTRY_COMPARE(SelectedNames(w), QStringList{"b.txt"});
        QCOMPARE(dialogs.Shown().size(), std::size_t(2));
    }

    // Rows dragged out of the list give their files as URLs, each row once.
    void rowsDraggedOutCarryTheirUrls()
    {
        const Tree tree;
        ProgramWindows windows;
        MainWindow& w = windows.Main();
        w.ShowGivenPaths({tree.Path("one/c.txt"), tree.Path("one/sub"), tree.Path("one/a.txt")});
        const QModelIndexList rows = w.fileList->Selection()->selectedIndexes();
        QVERIFY(rows.size() > 3); // every column of the three rows
        QVERIFY(w.fileList->ReportView()->dragEnabled());
        QVERIFY(w.entries->flags(rows.front()).testFlag(Qt::ItemIsDragEnabled));

        const std::unique_ptr<QMimeData> dragged(w.entries->mimeData(rows));
        QCOMPARE(dragged->urls(), (QList<QUrl>{QUrl::fromLocalFile(tree.Path("one/sub")),
                                               QUrl::fromLocalFile(tree.Path("one/a.txt")),
                                               QUrl::fromLocalFile(tree.Path("one/c.txt"))}));
        QCOMPARE(w.entries->supportedDragActions(), Qt::DropActions(Qt::CopyAction));
    }
};

CIPHRA_UI_TEST_MAIN(TestGivenPaths)

#include "test_given_paths.moc"
