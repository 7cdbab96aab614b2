// The encrypt and decrypt commands of the main window under failing disks
// and changing folders: a full disk, an output name taken by a folder, a
// folder that cannot be written, a selected file gone before the command.
// The plain file must survive the beside ways, no success may be claimed,
// no half output may be left, and the password field must end up blank.

#include <QLineEdit>
#include <QTest>

#include <filesystem>

#include "core/jobs/output_names.h"
#include "gui/commands/decrypt_command.h"
#include "gui/commands/encrypt_command.h"
#include "gui/file_command_bench.h"
#include "gui/kit/application.h"

using namespace ciphra;
using namespace ciphra::test;
namespace fs = std::filesystem;

namespace {

enum class Fault { DiskFull, OutputIsFolder, ReadOnlyFolder, Vanished };

constexpr std::size_t FileSize = 64 * 1024;
constexpr rlim_t DiskRoom = 16 * 1024;

bool Succeeded(const QString& box)
{
    return box.contains("Encrypted") || box.contains("Decrypted") || box.contains("All done");
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestFileCommandFaults : public QObject {
    Q_OBJECT
private slots:
    void failureNeverCostsThePlainFile_data()
    {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("box"); // empty: the general error report

        const QString cannotCreate = "Error|Unable to create output file...";
        const QString cannotOpen = "Information|File cannot be opened...";
        QTest::newRow("encrypt beside, disk full") << true << false << Fault::DiskFull << "";
        QTest::newRow("decrypt beside, disk full") << false << false << Fault::DiskFull << "";
        QTest::newRow("encrypt in place, disk full") << true << true << Fault::DiskFull << "";
        QTest::newRow("encrypt beside, output is a folder")
            << true << false << Fault::OutputIsFolder << cannotCreate;
        QTest::newRow("decrypt beside, output is a folder")
            << false << false << Fault::OutputIsFolder << cannotCreate;
        QTest::newRow("encrypt beside, read-only folder")
            << true << false << Fault::ReadOnlyFolder << cannotCreate;
        QTest::newRow("decrypt beside, read-only folder")
            << false << false << Fault::ReadOnlyFolder << cannotCreate;
        QTest::newRow("encrypt beside, file vanished")
            << true << false << Fault::Vanished
            << "Information|File cannot be opened. Check if the file is Read Only.";
        QTest::newRow("decrypt beside, file vanished")
            << false << false << Fault::Vanished << cannotOpen;
        QTest::newRow("encrypt in place, file vanished")
            << true << true << Fault::Vanished << cannotOpen;
        QTest::newRow("decrypt in place, file vanished")
            << false << true << Fault::Vanished << cannotOpen;
    }
    void failureNeverCostsThePlainFile()
    {
        QFETCH(bool, encrypt);
        QFETCH(bool, inPlace);
        QFETCH(Fault, fault);
        QFETCH(QString, box);
        CommandBench bench;
        const std::string bytes = PatternBytes(FileSize, 11);
        const std::string name = encrypt ? "a.txt" : "a.CPH";
        const std::string output = encrypt ? "a.txt.CPH" : "a.dec";
        const std::string path = bench.AddFile(name, bytes);
        if (fault == Fault::OutputIsFolder)
            fs::create_directory(bench.PathOf(output));
        if (fault == Fault::ReadOnlyFolder)
            fs::permissions(bench.Folder.Path(), fs::perms::owner_write, fs::perm_options::remove);
        if (fault == Fault::Vanished)
            fs::remove(path);
        auto before = Snapshot(bench.Folder.Path());
        if (inPlace)
            bench.Boxes.QueueAnswer(true); // the overwrite question
        bench.AnswerPassword("the password", true);

        bool finished = false;
        {
            AsFolderOwner owner(bench.Folder.Path());
            FileSizeLimit limit(fault == Fault::DiskFull ? DiskRoom : RLIM_INFINITY);
            finished = gui::RunGuarded([&] {
                if (encrypt)
                    gui::RunEncryptCommand(bench.Windows(), {false, inPlace}, DefaultStubPath());
                else
                    gui::RunDecryptCommand(bench.Windows(), inPlace);
            });
        }
        fs::permissions(bench.Folder.Path(), fs::perms::owner_write, fs::perm_options::add);

        const auto boxes = bench.BoxTexts();
        QVERIFY(!boxes.empty());
        for (const QString& shown : boxes)
            QVERIFY2(!Succeeded(shown), qPrintable(shown));
        if (box.isEmpty()) {
            QVERIFY(!finished);
            QCOMPARE(bench.Boxes.Boxes().back().kind, gui::BoxKind::ErrorReport);
        } else {
            QCOMPARE(boxes.back(), box);
        }
        // The in-place way changes the file itself; the others never touch it,
        // and leave nothing that was not there before.
        auto after = Snapshot(bench.Folder.Path());
        if (inPlace && fault == Fault::DiskFull) {
            QCOMPARE(after.size(), before.size());
        } else {
            QCOMPARE(after, before);
        }
        QVERIFY(bench.List.Calls.empty()); // no end step after a failure
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
        QVERIFY(!bench.Password.passwordEdit->isUndoAvailable());
    }

    // The program is written whole in a working file or not at all.
    void selfDecryptingProgramOnFullDisk()
    {
        CommandBench bench;
        bench.AddFile("a.txt", PatternBytes(FileSize, 12));
        const auto before = Snapshot(bench.Folder.Path());
        bench.AnswerPassword("the password", false);

        bool finished = false;
        {
            FileSizeLimit limit(DiskRoom);
            finished = gui::RunGuarded([&] {
                gui::RunEncryptCommand(bench.Windows(), {true, false}, CIPHRA_STUB_FILE);
            });
        }

        QVERIFY(!finished);
        QCOMPARE(bench.Boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(bench.Boxes.Boxes().back().kind, gui::BoxKind::ErrorReport);
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }
};

int main(int argc, char** argv)
{
    gui::Application app(argc, argv);
    TestFileCommandFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_file_command_faults.moc"
