// The main window's file commands when a read fails in the middle of the
// selected file, as on a bad sector. This program runs with the fault library
// preloaded (see CMakeLists.txt) and arms it, through the environment, only
// around each command. Every command must end in the error report: nothing
// claimed as done, the plain file whole and nothing half written beside it,
// the shredder keeping what it could not overwrite, the fields blanked.

#include <QCryptographicHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdlib>
#include <filesystem>

#include "gui/commands/decrypt_command.h"
#include "gui/commands/encrypt_command.h"
#include "gui/commands/shred_command.h"
#include "gui/file_command_bench.h"
#include "gui/kit/application.h"
#include "gui/windows/hash_window.h"
#include "gui/windows/wipe_window.h"

using namespace ciphra;
using namespace ciphra::test;
namespace fs = std::filesystem;

namespace {

enum class Command {
    EncryptBeside,
    EncryptInPlace,
    SelfDecrypting,
    DecryptBeside,
    DecryptInPlace,
    Hash,
    Shred
};

constexpr std::size_t FileSize = 64 * 1024;

// While this lives, reads of a file whose path ends with `name` fail with
// EIO from the middle of the file on.
class ReadFault {
public:
    explicit ReadFault(const std::string& name)
    {
        ::setenv("CIPHRA_FAULT_READ_PATH", name.c_str(), 1);
        ::setenv("CIPHRA_FAULT_READ_FROM", std::to_string(FileSize / 2).c_str(), 1);
    }
    ReadFault(const ReadFault&) = delete;
    ReadFault& operator=(const ReadFault&) = delete;
    ~ReadFault() { ::unsetenv("CIPHRA_FAULT_READ_PATH"); }
};

bool ClaimsSuccess(const QString& box)
{
    return box.contains("Encrypted") || box.contains("Decrypted") || box.contains("All done") ||
           box.contains("shredded") || box.contains("Decryptor spawned");
}

// Runs the command on the one selected file; the shredder's working name is
// where its reads happen, so the fault follows the file there. Returns the
// digest the hash window showed, if any.
QString Run(Command command, CommandBench& bench, const std::string& name)
{
    QString digest;
    switch (command) {
    case Command::EncryptBeside:
    case Command::EncryptInPlace:
    case Command::SelfDecrypting: {
        const bool inPlace = command == Command::EncryptInPlace;
        if (inPlace)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("the password", false);
        ReadFault fault(name);
        gui::RunGuarded([&] {
            gui::RunEncryptCommand(bench.Windows(), {command == Command::SelfDecrypting, inPlace},
                                   CIPHRA_STUB_FILE);
        });
        break;
    }
    case Command::DecryptBeside:
    case Command::DecryptInPlace: {
        const bool inPlace = command == Command::DecryptInPlace;
        if (inPlace)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("the password", false);
        ReadFault fault(name);
        gui::RunGuarded([&] { gui::RunDecryptCommand(bench.Windows(), inPlace); });
        break;
    }
    case Command::Hash: {
        gui::HashWindow window;
        bench.Dialogs.Queue([&digest](QDialog& dialog) {
            auto& hash = static_cast<gui::HashWindow&>(dialog);
            QTest::mouseClick(hash.hashButton, Qt::LeftButton);
            digest = hash.hashEdit->text();
            hash.reject();
            return int(QDialog::Rejected);
        });
        ReadFault fault(name);
        gui::RunGuarded([&] { gui::HashSelectedFile(bench.List, window); });
        break;
    }
    case Command::Shred: {
        bench.Boxes.QueueAnswer(true);
        gui::WipeProgressWindow progress;
        progress.beep = [] {};
        ReadFault fault("aaaaaaa.aaaaaaa");
        gui::RunGuarded([&] { gui::ShredSelectedFiles(nullptr, bench.List, progress); });
        break;
    }
    }
    return digest;
}

} // namespace

Q_DECLARE_METATYPE(Command)

class TestWindowReadErrors : public QObject {
    Q_OBJECT
private slots:
    void readErrorIsReportedAndCostsNothing_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<bool>("changesTheFile"); // in place: the file is half transformed
        QTest::newRow("encrypt beside") << Command::EncryptBeside << false;
        QTest::newRow("encrypt in place") << Command::EncryptInPlace << true;
        QTest::newRow("self-decrypting") << Command::SelfDecrypting << false;
        QTest::newRow("decrypt beside") << Command::DecryptBeside << false;
        QTest::newRow("decrypt in place") << Command::DecryptInPlace << true;
        QTest::newRow("hash") << Command::Hash << false;
        QTest::newRow("shred") << Command::Shred << true;
    }
    void readErrorIsReportedAndCostsNothing()
    {
        QFETCH(Command, command);
        QFETCH(bool, changesTheFile);
        CommandBench bench;
        const bool decrypting =
            command == Command::DecryptBeside || command == Command::DecryptInPlace;
        const std::string name = decrypting ? "a.CPH" : "a.txt";
        const std::string bytes = PatternBytes(FileSize, 21);
        bench.AddFile(name, bytes);
        const auto before = Snapshot(bench.Folder.Path());

        const QString digest = Run(command, bench, name);

        const auto& boxes = bench.Boxes.Boxes();
        QVERIFY(!boxes.empty());
        for (const auto& box : boxes)
            QVERIFY2(!ClaimsSuccess(box.text), qPrintable(box.text));
        QCOMPARE(boxes.back().kind, gui::BoxKind::ErrorReport);
        // The self-decrypting way names the file that failed first.
        QVERIFY2(boxes.back().text.endsWith("I/O error 5."), qPrintable(boxes.back().text));
        if (command != Command::Hash)          // the hash window always deselects when it closes
            QVERIFY(bench.List.Calls.empty()); // no end step after a failure
        QVERIFY2(digest.isEmpty(), qPrintable(digest)); // no digest of half a file

        const auto after = Snapshot(bench.Folder.Path());
        if (changesTheFile) {
            // One file of the same length is left, under its own name or, for
            // the shredder, under its working name: never deleted, never cut.
            QCOMPARE(after.size(), std::size_t(1));
            QCOMPARE(after.begin()->second.size(), bytes.size());
        } else {
            QCOMPARE(after, before);
        }
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
        QVERIFY(!bench.Password.passwordEdit->isUndoAvailable());
    }

    // The hash window's own button: the read error ends its handler in the
    // error report before it could unwind through Qt's dispatch of the click
    // (a handler connected after it still runs), and the window goes on.
    void hashButtonReportsReadErrorAndStaysUsable()
    {
        CommandBench bench;
        const std::string bytes = PatternBytes(FileSize, 21);
        const std::string path = bench.AddFile("a.txt", bytes);
        gui::HashWindow window;
        window.fileNameEdit->setText(QString::fromStdString(path));
        int clicksDispatched = 0;
        QObject::connect(window.hashButton, &QPushButton::clicked, [&] { ++clicksDispatched; });

        {
            ReadFault fault("a.txt");
            QTest::mouseClick(window.hashButton, Qt::LeftButton);
        }
        QCOMPARE(clicksDispatched, 1);
        const auto& boxes = bench.Boxes.Boxes();
        QCOMPARE(boxes.size(), std::size_t(1));
        QCOMPARE(boxes[0].kind, gui::BoxKind::ErrorReport);
        QVERIFY2(boxes[0].text.endsWith("I/O error 5."), qPrintable(boxes[0].text));
        QVERIFY(window.hashEdit->text().isEmpty());

        QTest::mouseClick(window.hashButton, Qt::LeftButton);
        QCOMPARE(clicksDispatched, 2);
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha1);
        QCOMPARE(window.hashEdit->text(), "0x" + QString::fromLatin1(digest.toHex().toUpper()));
        QCOMPARE(boxes.size(), std::size_t(1));
    }
};

int main(int argc, char** argv)
{
    gui::Application app(argc, argv);
    TestWindowReadErrors test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_read_errors.moc"
