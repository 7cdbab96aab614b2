// Paths handed to the main window on the command line: a folder, files,
// files of several folders, missing ones.

#include "gui/app/startup.h"
#include "gui/kit/message_boxes.h"
#include "support/test_files.h"
#include "ui_test_support.h"

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
};

CIPHRA_UI_TEST_MAIN(TestGivenPaths)

#include "test_given_paths.moc"
