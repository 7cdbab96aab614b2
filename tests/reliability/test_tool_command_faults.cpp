// The shred and hash commands of the main window on files they cannot use:
// the shredder never deletes what it could not overwrite and says so in its
// summary; the hash window reports a file gone before it is hashed.

#include <QLineEdit>
#include <QTest>

#include <filesystem>

#include "gui/commands/shred_command.h"
#include "gui/file_command_bench.h"
#include "gui/kit/application.h"
#include "gui/windows/hash_window.h"
#include "gui/windows/wipe_window.h"

using namespace ciphra;
using namespace ciphra::test;
namespace fs = std::filesystem;

class TestToolCommandFaults : public QObject {
    Q_OBJECT
private slots:
    void shredKeepsWhatItCannotOpen_data()
    {
        QTest::addColumn<bool>("vanished"); // else no read or write permission
        QTest::newRow("no permission") << false;
        QTest::newRow("vanished before the command") << true;
    }
    void shredKeepsWhatItCannotOpen()
    {
        QFETCH(bool, vanished);
        CommandBench bench;
        bench.AddFile("first", "wiped");
        const std::string locked = bench.AddFile("locked", "the user's only copy");
        bench.AddFile("last", "wiped too");
        if (vanished)
            fs::remove(locked);
        else
            fs::permissions(locked, fs::perms::none);
        bench.Boxes.QueueAnswer(true);
        gui::WipeProgressWindow progress;
        progress.beep = [] {};

        {
            AsFolderOwner owner(bench.Folder.Path());
            gui::ShredSelectedFiles(nullptr, bench.List, progress);
        }

        if (!vanished)
            fs::permissions(locked, fs::perms::owner_read);
        const auto left = Snapshot(bench.Folder.Path());
        if (vanished) {
            QVERIFY(left.empty());
        } else {
            QCOMPARE(left.size(), std::size_t(1));
            QCOMPARE(ReadBytes(locked), std::string("the user's only copy"));
        }
        const auto boxes = bench.BoxTexts();
        QCOMPARE(boxes.size(), std::size_t(3));
        QCOMPARE(boxes[1],
                 "Error|Unable to get file from disk: \n\n" + QString::fromStdString(locked));
        QCOMPARE(boxes[2],
                 QString("Ciphra 2K|Errors where reported when shredding one or more files..."));
    }

    void hashOfVanishedFileIsReported()
    {
        CommandBench bench;
        const std::string path = bench.AddFile("gone.txt", "abc");
        fs::remove(path);
        gui::HashWindow window;
        bench.Dialogs.Queue([](QDialog& dialog) {
            auto& hash = static_cast<gui::HashWindow&>(dialog);
            hash.OnHash();
            hash.reject();
            return int(QDialog::Rejected);
        });

        gui::HashSelectedFile(bench.List, window);

        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{"Information|Unable to open source file."}));
        QVERIFY(window.hashEdit->text().isEmpty());
        QVERIFY(Snapshot(bench.Folder.Path()).empty());
    }
};

int main(int argc, char** argv)
{
    gui::Application app(argc, argv);
    TestToolCommandFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_tool_command_faults.moc"
