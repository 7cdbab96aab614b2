// The decrypt command driven offscreen: beside and in place, several files
// with one password, replaced outputs, and its failures.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "core/crypto/twofish.h"
#include "file_command_bench.h"
#include "gui/commands/decrypt_command.h"
#include "gui/kit/application.h"

using namespace ciphra;
using namespace ciphra::test;
namespace fs = std::filesystem;

namespace {

const QString Info = QStringLiteral("Information|");
const QString Error = QStringLiteral("Error|");
const QString Confirm = QStringLiteral("Confirm|");

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

class TestDecryptCommand : public QObject {
    Q_OBJECT
private slots:
    // Beside: the extension replaced by ".dec", the encrypted file kept, an
    // existing output replaced without a question.
    void besideWritesTheDecryptedCopy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("outputExists");
        QTest::newRow("full name kept") << "a.txt.CPH"
                                        << "a.txt.dec" << false;
        QTest::newRow("extension replaced") << "report.CPH"
                                            << "report.dec" << false;
        QTest::newRow("no extension") << "blob"
                                      << "blob.dec" << false;
        QTest::newRow("existing output replaced") << "b.txt.CPH"
                                                  << "b.txt.dec" << true;
    }
    void besideWritesTheDecryptedCopy()
    {
        QFETCH(QString, name);
        QFETCH(QString, output);
        QFETCH(bool, outputExists);
        CommandBench bench;
        const std::string plain = PatternBytes(8200, 1);
        const std::string cipher = Encrypted(plain, "pw", true);
        const std::string source = bench.AddFile(name.toStdString(), cipher);
        fs::permissions(source, fs::perms::owner_read | fs::perms::owner_write);
        const std::string out = bench.PathOf(output.toStdString());
        if (outputExists)
            WriteBytes(out, std::string(9000, 'o'));
        bench.AnswerPassword("pw", true);

        gui::RunDecryptCommand(bench.Windows(), false);

        QCOMPARE(ReadBytes(out), plain);
        QCOMPARE(ReadBytes(source), cipher);
        // The plain copy is as private as the encrypted file (0600 here).
        QCOMPARE(fs::status(out).permissions() & fs::perms::all,
                 fs::perms::owner_read | fs::perms::owner_write);
        QCOMPARE(bench.BoxTexts(), (std::vector<QString>{Info + "File Decrypted in: " + Q(out)}));
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"refresh", "deselect"}));
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    // Three files, one password, each with its own box; the names stay.
    void inPlaceRestoresEveryFile()
    {
        CommandBench bench;
        std::vector<std::string> plains, paths;
        for (int i = 0; i < 3; ++i) {
            plains.push_back(PatternBytes(static_cast<std::size_t>(1000 * i + 17), 10 + i));
            // The name is built in steps: GCC 12 at -O3 warns falsely
            // (-Wrestrict) on "f" + std::to_string(i) + ".CPH".
            std::string name = "f";
            name += std::to_string(i);
            name += ".CPH";
            paths.push_back(bench.AddFile(name, Encrypted(plains.back(), "one password", false)));
        }
        bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("one password", false);

        gui::RunDecryptCommand(bench.Windows(), true);

        for (int i = 0; i < 3; ++i)
            QCOMPARE(ReadBytes(paths[i]), plains[i]);
        const QString done = Info + "All done. File Decrypted.";
        QCOMPARE(bench.BoxTexts(), (std::vector<QString>{Confirm + gui::OverwriteOnDecryptQuestion,
                                                         done, done, done}));
        QCOMPARE(Snapshot(bench.Folder.Path()).size(), std::size_t(3));
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"refresh", "deselect"}));
    }

    // Nothing tells a file that was never encrypted, nor the wrong key form:
    // the file is transformed, and encrypting the result gives it back.
    void anyFileIsTransformed_data()
    {
        QTest::addColumn<bool>("useDigest");
        QTest::newRow("password bytes") << false;
        QTest::newRow("digest") << true;
    }
    void anyFileIsTransformed()
    {
        QFETCH(bool, useDigest);
        CommandBench bench;
        const std::string plain = PatternBytes(333, 20);
        bench.AddFile("never.txt", plain);
        bench.AnswerPassword("pw", useDigest);

        gui::RunDecryptCommand(bench.Windows(), false);

        const std::string out = ReadBytes(bench.PathOf("never.dec"));
        QCOMPARE(out.size(), plain.size());
        QVERIFY(out != plain);
        QCOMPARE(Encrypted(out, "pw", useDigest), plain);
        QCOMPARE(bench.BoxTexts().size(), std::size_t(1));
    }

    void declinedOverwriteChangesNothing()
    {
        CommandBench bench;
        bench.AddFile("a.CPH", "cipher");
        const auto before = Snapshot(bench.Folder.Path());
        bench.Boxes.QueueAnswer(false);

        gui::RunDecryptCommand(bench.Windows(), true);

        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Confirm + gui::OverwriteOnDecryptQuestion}));
        QVERIFY(bench.Dialogs.Shown().empty());
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QVERIFY(bench.List.AnySelected());
        QVERIFY(bench.List.Calls.empty());
    }

    void cancelledPasswordRefreshesThenDeselects()
    {
        CommandBench bench;
        bench.AddFile("a.CPH", "cipher");
        bench.CancelPassword();

        gui::RunDecryptCommand(bench.Windows(), false);

        QVERIFY(bench.BoxTexts().empty());
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"refresh", "deselect"}));
        QVERIFY(!fs::exists(bench.PathOf("a.dec")));
    }

    // Failures of opening or creating end the command after their box:
    // earlier files stay done, later ones untouched, no end step.
    void failuresEndTheCommand_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("box");
        QTest::newRow("folder beside") << "dir.CPH" << false << Info + "File cannot be opened...";
        QTest::newRow("folder in place") << "dir.CPH" << true << Info + "File cannot be opened...";
        // Decrypting "x.dec" beside would truncate the source into its own output.
        QTest::newRow("output is the source")
            << "x.dec" << false << Error + "Unable to create output file...";
    }
    void failuresEndTheCommand()
    {
        QFETCH(QString, failing);
        QFETCH(bool, overwrite);
        QFETCH(QString, box);
        CommandBench bench;
        const std::string plain = PatternBytes(50, 30);
        const std::string first = bench.AddFile("1.CPH", Encrypted(plain, "pw", true));
        if (failing.startsWith("dir")) {
            fs::create_directory(bench.PathOf(failing.toStdString()));
            bench.Select(failing.toStdString());
        } else {
            bench.AddFile(failing.toStdString(), "keep me");
        }
        bench.AddFile("3.CPH", "never reached");
        if (overwrite)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("pw", true);

        gui::RunDecryptCommand(bench.Windows(), overwrite);

        QCOMPARE(bench.BoxTexts().back(), box);
        QCOMPARE(ReadBytes(overwrite ? first : bench.PathOf("1.dec")), plain);
        QCOMPARE(ReadBytes(bench.PathOf("3.CPH")), std::string("never reached"));
        QVERIFY(!fs::exists(bench.PathOf("3.dec")));
        if (!failing.startsWith("dir"))
            QCOMPARE(ReadBytes(bench.PathOf(failing.toStdString())), std::string("keep me"));
        QVERIFY(bench.List.Calls.empty());
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    // The dialog keeps what the user chose between commands; each command
    // leaves its field blank, so that OK is disabled at the next opening.
    void passwordDialogKeepsItsChoicesBetweenCommands()
    {
        CommandBench bench;
        const std::string plain = PatternBytes(64, 50);
        bench.AddFile("a.CPH", Encrypted(plain, "raw", false));
        bench.AnswerPassword("raw", false);
        bench.Password.showPasswordOption->setChecked(true);
        gui::RunDecryptCommand(bench.Windows(), false);
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
        QVERIFY(!bench.Password.okButton->isEnabled());

        bench.List.Entries[0].Selected = true;
        bench.Boxes.QueueAnswer(true);
        bench.Dialogs.Queue([&](QDialog&) {
            [&] { QVERIFY(!bench.Password.okButton->isEnabled()); }();
            QTest::keyClicks(bench.Password.passwordEdit, "raw");
            return int(QDialog::Accepted);
        });
        gui::RunDecryptCommand(bench.Windows(), true);

        QCOMPARE(ReadBytes(bench.PathOf("a.CPH")), plain); // still keyed from the bytes
        QVERIFY(!bench.Password.digestOption->isChecked());
        QVERIFY(bench.Password.showPasswordOption->isChecked());
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    void overlongPasswordChangesNoFile()
    {
        CommandBench bench;
        bench.AddFile("a.CPH", PatternBytes(100, 40));
        const auto before = Snapshot(bench.Folder.Path());
        bench.AnswerPassword(QString(33, QLatin1Char('k')), false);

        QVERIFY(!gui::RunGuarded([&] { gui::RunDecryptCommand(bench.Windows(), false); }));

        QCOMPARE(bench.BoxTexts(), (std::vector<QString>{
                                       QString("Ciphra 2K|") + gui::WithFinalDot(QString::fromUtf8(
                                                                   TwofishKeyLengthMessage())),
                                   }));
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
    }
};

int main(int argc, char** argv)
{
    gui::Application app(argc, argv);
    TestDecryptCommand test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_decrypt_command.moc"
