// The encrypt command driven offscreen: its three ways, its boxes in order,
// what it leaves on disk, and its failures.

#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

#include "core/crypto/twofish.h"
#include "core/jobs/cipher_stream.h"
#include "file_command_bench.h"
#include "gui/commands/encrypt_command.h"
#include "gui/commands/file_transform.h"
#include "gui/kit/application.h"
#include "support/run_process.h"

using namespace ciphra;
using namespace ciphra::test;
using ciphra::gui::EncryptOptions;
namespace fs = std::filesystem;

namespace {

const std::string StubFile = CIPHRA_STUB_FILE;
const QString Info = QStringLiteral("Information|");
const QString Error = QStringLiteral("Error|");
const QString Confirm = QStringLiteral("Confirm|");
const QString Plain = QStringLiteral("Ciphra 2K|");
const QString Report = QStringLiteral("Ciphra 2K|");
const QString LongPassword = QString(33, QLatin1Char('p'));

void Encrypt(CommandBench& bench, EncryptOptions options, const std::string& stub = StubFile)
{
    gui::RunEncryptCommand(bench.Windows(), options, stub);
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Restores a self-decrypting program by running it without a display.
int RunProgram(const std::string& program, const QByteArray& password)
{
    ProcessRun run;
    run.Program = program;
    run.Stdin = password.toStdString() + "\n";
    run.Deadline = std::chrono::seconds(30);
    const ProcessResult result = RunProcess(run);
    return result.TimedOut ? -1 : result.ExitCode;
}

// Runs ciphra2k-cli in `folder` with the password in a file; its exit code.
int RunTool(const TempFolder& folder, std::vector<std::string> args, const std::string& password)
{
    TempFolder secrets;
    WriteBytes(secrets / "pw", password);
    args.insert(args.begin() + 1, {"--password-file", secrets / "pw"});
    ProcessRun run;
    run.Program = CIPHRA_CLI_PATH;
    run.Args = std::move(args);
    run.WorkingFolder = folder.Path().string();
    run.Deadline = std::chrono::seconds(30);
    const ProcessResult result = RunProcess(run);
    return result.TimedOut ? -1 : result.ExitCode;
}

} // namespace

class TestEncryptCommand : public QObject {
    Q_OBJECT
private slots:
    void besideWritesOneOutputPerSelectedFile()
    {
        CommandBench bench;
        const std::string a = bench.AddFile("a.txt", PatternBytes(100, 1));
        bench.AddFile("skipped", "not selected", false);
        const std::string b = bench.AddFile("b.bin", PatternBytes(8193, 2));
        bench.AnswerPassword("pass word", true);

        Encrypt(bench, {});

        QCOMPARE(bench.BoxTexts(), (std::vector<QString>{
                                       Info + "File Encrypted in: " + Q(a + ".CPH"),
                                       Info + "File Encrypted in: " + Q(b + ".CPH"),
                                   }));
        QCOMPARE(ReadBytes(a + ".CPH"), Encrypted(ReadBytes(a), "pass word", true));
        QCOMPARE(ReadBytes(b + ".CPH"), Encrypted(ReadBytes(b), "pass word", true));
        QVERIFY(!fs::exists(bench.PathOf("skipped.CPH")));
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"deselect", "refresh"}));
        QVERIFY(!bench.List.AnySelected());
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    void outputNamesAndReplacedOutputs_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("outputExists");
        QTest::newRow("encrypted name again") << "x.CPH"
                                              << "x.CPH.CPH" << false;
        QTest::newRow("no extension") << "notes"
                                      << "notes.CPH" << false;
        QTest::newRow("existing longer output replaced") << "r.doc"
                                                         << "r.doc.CPH" << true;
    }
    void outputNamesAndReplacedOutputs()
    {
        QFETCH(QString, name);
        QFETCH(QString, output);
        QFETCH(bool, outputExists);
        CommandBench bench;
        const std::string plain = PatternBytes(37, 3);
        bench.AddFile(name.toStdString(), plain);
        if (outputExists)
            WriteBytes(bench.PathOf(output.toStdString()), std::string(5000, 'z'));
        bench.AnswerPassword("pw", false);

        Encrypt(bench, {});

        QCOMPARE(ReadBytes(bench.PathOf(output.toStdString())), Encrypted(plain, "pw", false));
        QCOMPARE(bench.BoxTexts().size(), std::size_t(1));
    }

    void inPlaceKeepsTheName()
    {
        CommandBench bench;
        const std::string plain = PatternBytes(20000, 4);
        const std::string a = bench.AddFile("a.dat", plain);
        bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("secret", false);

        Encrypt(bench, {false, true});

        QCOMPARE(ReadBytes(a), Encrypted(plain, "secret", false));
        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{
                     Confirm + gui::OverwriteOnEncryptQuestion,
                     Info + "All done. File Encrypted with the same name as the original.",
                 }));
        QCOMPARE(Snapshot(bench.Folder.Path()).size(), std::size_t(1));
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"deselect", "refresh"}));
    }

    // The file's name gets the encrypted version; another hard link of the
    // file keeps the plain bytes, and the box says so rather than let the
    // user believe them gone.
    void inPlaceTellsOfOtherLinks()
    {
        CommandBench bench;
        const std::string a = bench.AddFile("a.dat", "plain bytes");
        fs::create_hard_link(a, bench.Folder / "elsewhere");
        bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("secret", false);

        Encrypt(bench, {false, true});

        QCOMPARE(ReadBytes(a), Encrypted("plain bytes", "secret", false));
        QCOMPARE(ReadBytes(bench.Folder / "elsewhere"), std::string("plain bytes"));
        QCOMPARE(bench.BoxTexts().back(),
                 Info + "All done. File Encrypted with the same name as the original.\n\nNote: 1 "
                        "other hard link to this file still holds its former contents.");
    }

    void declinedOverwriteChangesNothing_data()
    {
        QTest::addColumn<bool>("selfDecrypting");
        QTest::newRow("in place") << false;
        QTest::newRow("self-decrypting too") << true;
    }
    void declinedOverwriteChangesNothing()
    {
        QFETCH(bool, selfDecrypting);
        CommandBench bench;
        bench.AddFile("a.txt", "plain text");
        const auto before = Snapshot(bench.Folder.Path());
        bench.Boxes.QueueAnswer(false);
        bench.AnswerPassword("never asked", true);

        Encrypt(bench, {selfDecrypting, true});

        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Confirm + gui::OverwriteOnEncryptQuestion}));
        QVERIFY(bench.Dialogs.Shown().empty());
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QVERIFY(bench.List.Calls.empty());
        QVERIFY(bench.List.AnySelected());
    }

    void cancelledPasswordOnlyEndsTheCommand()
    {
        CommandBench bench;
        bench.AddFile("a.txt", "plain text");
        const auto before = Snapshot(bench.Folder.Path());
        bench.Password.passwordEdit->setText("left by the user");
        bench.CancelPassword();

        Encrypt(bench, {});

        QVERIFY(bench.BoxTexts().empty());
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"deselect", "refresh"}));
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    // The program carries the password's own bytes even with the digest
    // chosen, and the stub gives the plain file back.
    void selfDecryptingProgramRestoresTheFile_data()
    {
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("useDigest");
        QTest::newRow("digest chosen") << false << true;
        QTest::newRow("overwrite on too") << true << false;
    }
    void selfDecryptingProgramRestoresTheFile()
    {
        QFETCH(bool, overwrite);
        QFETCH(bool, useDigest);
        CommandBench bench;
        const std::string plain = PatternBytes(10007, 5);
        const std::string a = bench.AddFile("report.doc", plain);
        bench.AddFile("second.txt", "only the first selected file counts");
        if (overwrite)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("pässword", useDigest);

        Encrypt(bench, {true, overwrite});

        const std::string program = bench.PathOf("report.exe");
        const std::string stub = ReadBytes(StubFile);
        const std::string written = ReadBytes(program);
        QCOMPARE(written.size(), stub.size() + plain.size());
        QVERIFY(written.compare(0, stub.size(), stub) == 0);
        QCOMPARE(written.substr(stub.size()), Encrypted(plain, "pässword", false));
        QVERIFY((fs::status(program).permissions() & fs::perms::owner_exec) != fs::perms::none);
        QCOMPARE(ReadBytes(a), plain);
        // Nothing else is left: no plain copy, no working file, no second program.
        QCOMPARE(Snapshot(bench.Folder.Path()).size(), std::size_t(3));
        QCOMPARE(bench.BoxTexts().back(), Plain + "Decryptor spawned to file:: " + Q(program));
        QCOMPARE(bench.BoxTexts().size(), std::size_t(overwrite ? 2 : 1));
        QVERIFY(bench.List.Calls.empty());
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());

        QCOMPARE(RunProgram(program, QByteArray("pässword")), 0);
        QCOMPARE(ReadBytes(bench.PathOf("report.dec")), plain);
    }

    // The windows and ciphra2k-cli run the same jobs: each way of writing
    // gives the same bytes from both.
    void windowsAndToolWriteTheSameBytes_data()
    {
        QTest::addColumn<bool>("selfDecrypting");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("useDigest");
        QTest::newRow("beside, digest") << false << false << true;
        QTest::newRow("in place, password's bytes") << false << true << false;
        QTest::newRow("self-decrypting") << true << false << false;
    }
    void windowsAndToolWriteTheSameBytes()
    {
        QFETCH(bool, selfDecrypting);
        QFETCH(bool, overwrite);
        QFETCH(bool, useDigest);
        const std::string plain = PatternBytes(70001, 12);
        CommandBench bench;
        bench.AddFile("data.bin", plain);
        if (overwrite)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("same pw", useDigest);
        Encrypt(bench, {selfDecrypting, overwrite});

        TempFolder tool;
        WriteBytes(tool / "data.bin", plain);
        std::vector<std::string> args{selfDecrypting ? "sfx" : "encrypt"};
        if (overwrite)
            args.push_back("--in-place");
        if (!useDigest && !selfDecrypting)
            args.push_back("--raw-key");
        if (selfDecrypting)
            args.insert(args.end(), {"--stub", StubFile});
        args.push_back("data.bin");
        QCOMPARE(RunTool(tool, args, "same pw"), 0);

        const std::string name = selfDecrypting ? "data.exe"
                                 : overwrite    ? "data.bin"
                                                : "data.bin.CPH";
        QCOMPARE(ReadBytes(bench.PathOf(name)), ReadBytes(tool / name));
        QCOMPARE(Snapshot(bench.Folder.Path()), Snapshot(tool.Path()));
    }

    // The file of the program's name is reported as it is, and kept.
    void takenProgramNameIsReported()
    {
        CommandBench bench;
        bench.AddFile("a.txt", "plain text");
        WriteBytes(bench.PathOf("a.exe"), "the user's own program");
        const auto before = Snapshot(bench.Folder.Path());
        bench.AnswerPassword("pw", true);

        Encrypt(bench, {true, false});

        QCOMPARE(bench.BoxTexts(), (std::vector<QString>{Error + gui::DecryptorNameTakenText +
                                                         Q(bench.PathOf("a.exe"))}));
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    // A missing stub reaches the error report, naming the file, and leaves nothing.
    void missingStubLeavesNothing()
    {
        CommandBench bench;
        bench.AddFile("a.txt", "plain text");
        const auto before = Snapshot(bench.Folder.Path());
        bench.AnswerPassword("pw", true);

        const std::string stub = bench.PathOf("missing/sfdstub.dtt");
        QVERIFY(!gui::RunGuarded([&] { Encrypt(bench, {true, false}, stub); }));

        QCOMPARE(bench.BoxTexts(), (std::vector<QString>{Report + Q(stub) + ": File not found."}));
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
    }

    // A FIFO or a device is never opened for data: it would block the
    // window or stream forever. It gets the box at once, like a folder.
    void unopenableFileEndsTheCommand_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("selfDecrypting");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("text");
        const QString readOnlyHint = "File cannot be opened. Check if the file is Read Only.";
        const QString plainText = "File cannot be opened...";
        QTest::newRow("read-only beside") << "read-only" << false << false << readOnlyHint;
        QTest::newRow("read-only in place") << "read-only" << false << true << plainText;
        QTest::newRow("folder beside") << "folder" << false << false << readOnlyHint;
        QTest::newRow("folder in place") << "folder" << false << true << plainText;
        QTest::newRow("folder self-decrypting") << "folder" << true << false << plainText;
        QTest::newRow("FIFO beside") << "fifo" << false << false << readOnlyHint;
        QTest::newRow("FIFO in place") << "fifo" << false << true << plainText;
        QTest::newRow("FIFO self-decrypting") << "fifo" << true << false << plainText;
    }
    void unopenableFileEndsTheCommand()
    {
        QFETCH(QString, kind);
        QFETCH(bool, selfDecrypting);
        QFETCH(bool, overwrite);
        QFETCH(QString, text);
        CommandBench bench;
        const std::string first = bench.AddFile("1.txt", "done before the failure");
        if (kind == "read-only") {
            bench.AddFile("2.txt", "read only");
            fs::permissions(bench.PathOf("2.txt"), fs::perms::owner_read | fs::perms::group_read);
        } else if (kind == "folder") {
            fs::create_directory(bench.PathOf("2.dir"));
            bench.Select("2.dir");
        } else {
            QCOMPARE(::mkfifo(bench.PathOf("2.fifo").c_str(), 0666), 0);
            bench.Select("2.fifo");
        }
        bench.AddFile("3.txt", "never reached");
        bench.List.Entries[0].Selected = !selfDecrypting; // the folder comes first then
        if (overwrite)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("pw", false);

        {
            AsFolderOwner owner(bench.Folder.Path());
            Encrypt(bench, {selfDecrypting, overwrite});
        }

        QCOMPARE(bench.BoxTexts().back(), Info + text);
        const std::size_t doneBoxes = selfDecrypting ? 0 : 1;
        QCOMPARE(bench.BoxTexts().size(), (overwrite ? 2 : 1) + doneBoxes);
        QCOMPARE(ReadBytes(bench.PathOf("3.txt")), std::string("never reached"));
        QVERIFY(!fs::exists(bench.PathOf("3.txt.CPH")));
        QVERIFY(bench.List.Calls.empty()); // no end step
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
        if (!selfDecrypting && !overwrite)
            QVERIFY(fs::exists(first + ".CPH"));
    }

    void outputThatCannotBeCreatedEndsTheCommand()
    {
        CommandBench bench;
        bench.AddFile("a.txt", "plain");
        bench.AddFile("b.txt", "plain too");
        fs::permissions(bench.Folder.Path(), fs::perms::owner_write, fs::perm_options::remove);
        bench.AnswerPassword("pw", true);

        {
            AsFolderOwner owner(bench.Folder.Path());
            Encrypt(bench, {});
        }

        fs::permissions(bench.Folder.Path(), fs::perms::owner_write, fs::perm_options::add);
        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Error + "Unable to create output file..."}));
        QCOMPARE(Snapshot(bench.Folder.Path()).size(), std::size_t(2));
        QVERIFY(bench.List.Calls.empty());
    }

    // An existing output is replaced "without a question" by taking its
    // name: a link there, even one back to the source, is never written
    // through, and what it led to keeps its bytes.
    void outputNameTakenByALinkIsReplaced_data()
    {
        QTest::addColumn<QString>("link");
        QTest::newRow("symbolic link to the source") << "symbolic";
        QTest::newRow("hard link to the source") << "hard";
        QTest::newRow("symbolic link elsewhere") << "elsewhere";
    }
    void outputNameTakenByALinkIsReplaced()
    {
        QFETCH(QString, link);
        CommandBench bench;
        const std::string a = bench.AddFile("a.txt", "precious");
        const std::string other = bench.Folder / "other";
        WriteBytes(other, "someone's");
        if (link == "symbolic")
            fs::create_symlink("a.txt", bench.PathOf("a.txt.CPH"));
        else if (link == "hard")
            fs::create_hard_link(a, bench.PathOf("a.txt.CPH"));
        else
            fs::create_symlink(other, bench.PathOf("a.txt.CPH"));
        bench.AnswerPassword("pw", true);

        Encrypt(bench, {});

        QCOMPARE(ReadBytes(a), std::string("precious"));
        QCOMPARE(ReadBytes(other), std::string("someone's"));
        QVERIFY(!fs::is_symlink(bench.PathOf("a.txt.CPH")));
        QCOMPARE(ReadBytes(bench.PathOf("a.txt.CPH")), Encrypted("precious", "pw", true));
        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Info + "File Encrypted in: " +
                                       QString::fromStdString(bench.PathOf("a.txt.CPH"))}));
    }

    // 33 password bytes give no key: the error report shows the key-length
    // message and no file changes, whichever way was chosen.
    void overlongPasswordChangesNoFile_data()
    {
        QTest::addColumn<bool>("selfDecrypting");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("useDigest");
        QTest::addColumn<bool>("programExists");
        QTest::newRow("beside") << false << false << false << false;
        QTest::newRow("in place") << false << true << false << false;
        QTest::newRow("self-decrypting, digest chosen") << true << false << true << false;
        QTest::newRow("self-decrypting, name taken") << true << false << false << true;
    }
    void overlongPasswordChangesNoFile()
    {
        QFETCH(bool, selfDecrypting);
        QFETCH(bool, overwrite);
        QFETCH(bool, useDigest);
        QFETCH(bool, programExists);
        CommandBench bench;
        bench.AddFile("a.txt", PatternBytes(3000, 6));
        if (programExists)
            WriteBytes(bench.PathOf("a.exe"), "taken");
        bench.AddFile("b.txt", PatternBytes(10, 7));
        const auto before = Snapshot(bench.Folder.Path());
        if (overwrite)
            bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword(LongPassword, useDigest);

        QVERIFY(!gui::RunGuarded([&] { Encrypt(bench, {selfDecrypting, overwrite}); }));

        QCOMPARE(bench.BoxTexts().back(),
                 Report + gui::WithFinalDot(QString::fromUtf8(TwofishKeyLengthMessage())));
        QCOMPARE(bench.Boxes.Boxes().back().kind, gui::BoxKind::ErrorReport);
        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QVERIFY(bench.List.Calls.empty());
    }

    // A long file shows the progress window with its name; it is gone again
    // before the file's box.
    void longFileShowsProgress()
    {
        CommandBench bench;
        bench.AddFile("big.bin", PatternBytes(12 * StreamChunkSize + 5, 8)); // 13 reports
        bench.Progress.SetDelay(0);
        std::vector<int> values;
        QString shownName;
        QObject::connect(bench.Progress.Bar, &QProgressBar::valueChanged, [&](int value) {
            values.push_back(value);
            shownName = bench.Progress.FileLabel->text();
            QVERIFY(bench.Progress.isVisible());
        });
        bench.AnswerPassword("pw", true);

        Encrypt(bench, {});

        QVERIFY(values.size() > 10);
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QCOMPARE(values.back(), gui::CipherProgressWindow::BarRange);
        QCOMPARE(shownName, QString("big.bin"));
        QVERIFY(!bench.Progress.isVisible());
        QCOMPARE(bench.BoxTexts().size(), std::size_t(1));
    }

    void shortFileShowsNoProgress()
    {
        CommandBench bench;
        bench.AddFile("small.bin", PatternBytes(40 * 8192, 9));
        bool shown = false;
        QObject::connect(bench.Progress.Bar, &QProgressBar::valueChanged,
                         [&] { shown = shown || bench.Progress.isVisible(); });
        bench.AnswerPassword("pw", true);

        Encrypt(bench, {});

        QVERIFY(!shown);
    }
};

int main(int argc, char** argv)
{
    gui::Application app(argc, argv);
    TestEncryptCommand test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_encrypt_command.moc"
