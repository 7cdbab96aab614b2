// The program's command line: what each start asks for, and a file command
// run without the main window, through the real commands with scripted
// dialogs and boxes.

#include "core/jobs/output_names.h"
#include "gui/app/file_command_launch.h"
#include "gui/app/launch.h"
#include "gui/browse/given_paths.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/main/placement.h"
#include "gui/windows/hash_window.h"
#include "gui/windows/password_dialog.h"
#include "support/stream_reference.h"
#include "support/test_files.h"
#include "ui_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <filesystem>

using namespace ciphra;
using namespace ciphra::gui;

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The next dialog is the password dialog; it closes with OK after the entry.
void AnswerPassword(ModalScript& dialogs, const QString& password, bool digest = true)
{
    dialogs.Queue([password, digest](QDialog& dialog) {
        auto& asked = static_cast<PasswordDialog&>(dialog);
        asked.passwordEdit->setText(password);
        asked.digestOption->setChecked(digest);
        return int(QDialog::Accepted);
    });
}

QStringList BoxTexts(const MessageBoxScript& boxes)
{
    QStringList texts;
    for (const auto& box : boxes.Boxes()) {
        texts << box.title + "|" + box.text;
    }
    return texts;
}

} // namespace

class TestLaunch : public QObject {
    Q_OBJECT
private slots:
    void init() { testing::ClearSettings(); }

    void parsesTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("paths");

        const int window = int(LaunchMode::Window);
        const int command = int(LaunchMode::FileCommand);
        const int usage = int(LaunchMode::UsageError);
        const int encrypt = int(FileCommandKind::Encrypt);
        const QStringList none;
        QTest::newRow("nothing") << none << window << encrypt << none;
        QTest::newRow("paths") << QStringList{"a", "/b/c"} << window << encrypt
                               << QStringList{"a", "/b/c"};
        QTest::newRow("encrypt") << QStringList{"--encrypt", "a", "b"} << command << encrypt
                                 << QStringList{"a", "b"};
        QTest::newRow("option after a file") << QStringList{"a", "--decrypt"} << command
                                             << int(FileCommandKind::Decrypt) << QStringList{"a"};
        QTest::newRow("shred") << QStringList{"--shred", "a"} << command
                               << int(FileCommandKind::Shred) << QStringList{"a"};
        QTest::newRow("hash") << QStringList{"--hash", "a"} << command << int(FileCommandKind::Hash)
                              << QStringList{"a"};
        QTest::newRow("command without files")
            << QStringList{"--encrypt"} << command << encrypt << none;
        QTest::newRow("-- ends the options")
            << QStringList{"--shred", "--", "--hash", "-x"} << command
            << int(FileCommandKind::Shred) << QStringList{"--hash", "-x"};
        QTest::newRow("a lone dash is a path")
            << QStringList{"-"} << window << encrypt << QStringList{"-"};
        QTest::newRow("two commands")
            << QStringList{"--encrypt", "--decrypt", "a"} << usage << encrypt << none;
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << usage << encrypt << none;
        QTest::newRow("help wins") << QStringList{"--bogus", "--encrypt", "--help"}
                                   << int(LaunchMode::Help) << encrypt << none;
        QTest::newRow("short help")
            << QStringList{"-h"} << int(LaunchMode::Help) << encrypt << none;
        QTest::newRow("version beside a Qt option")
            << QStringList{"-platform", "--version"} << int(LaunchMode::Version) << encrypt << none;
    }

    void parsesTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, mode);
        QFETCH(int, command);
        QFETCH(QStringList, paths);
        const Launch launch = ParseLaunch(arguments);
        QCOMPARE(int(launch.Mode), mode);
        if (launch.Mode == LaunchMode::FileCommand) {
            QCOMPARE(int(launch.Command), command);
        }
        if (launch.Mode == LaunchMode::Window || launch.Mode == LaunchMode::FileCommand) {
            QCOMPARE(launch.Paths, paths);
        }
        if (launch.Mode == LaunchMode::UsageError) {
            QVERIFY(!launch.Problem.isEmpty());
        }
    }

    void versionIsTheProjects()
    {
        QCOMPARE(VersionText(), QString("ciphra2k " CIPHRA_VERSION "\n"));
    }

    void givenPathsAreMadeAbsoluteAndGroupedByFolder()
    {
        const QString here = QDir::currentPath();
        QCOMPARE(AbsoluteGivenPath("a.txt"), here + "/a.txt");
        QCOMPARE(AbsoluteGivenPath("/x/./y/../z.txt"), QString("/x/z.txt"));
        QCOMPARE(AbsoluteGivenPath("file:///x/a%20b.txt"), QString("/x/a b.txt"));

        const std::vector<FolderFiles> groups =
            GroupByFolder({"/x/a", "/y/b", "/x/c", "/x/a", "/y/d"});
        QCOMPARE(groups.size(), std::size_t(2));
        QCOMPARE(groups[0].Folder, QString("/x"));
        QCOMPARE(groups[0].Names, (QStringList{"a", "c"}));
        QCOMPARE(groups[1].Folder, QString("/y"));
        QCOMPARE(groups[1].Names, (QStringList{"b", "d"}));

        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile("/x/a"), QUrl("https://example.org/b"),
                         QUrl::fromLocalFile("/y/c")});
        QCOMPARE(DroppedPaths(dropped), (QStringList{"/x/a", "/y/c"}));
    }

    // Encrypted beside, then decrypted beside, from files in two folders:
    // the password is asked once for each folder.
    void encryptAndDecryptFilesOfTwoFolders()
    {
        test::TempFolder one;
        test::TempFolder two;
        test::WriteBytes(one / "a.txt", "first file");
        test::WriteBytes(one / "b.txt", "second file");
        test::WriteBytes(two / "c.txt", "third file");
        MessageBoxScript boxes;
        ModalScript dialogs;
        AnswerPassword(dialogs, "pw");
        AnswerPassword(dialogs, "pw");

        QCOMPARE(RunLaunchedCommand(FileCommandKind::Encrypt,
                                    {Q(one / "a.txt"), Q(two / "c.txt"), Q(one / "b.txt")}),
                 LaunchDone);

        QCOMPARE(dialogs.Shown().size(), std::size_t(2));
        QCOMPARE(test::ReadBytes(one / "a.txt.CPH"), test::Encrypted("first file", "pw"));
        QCOMPARE(test::ReadBytes(one / "b.txt.CPH"), test::Encrypted("second file", "pw"));
        QCOMPARE(test::ReadBytes(two / "c.txt.CPH"), test::Encrypted("third file", "pw"));
        QCOMPARE(BoxTexts(boxes).size(), 3);

        std::filesystem::remove(one.Path() / "a.txt");
        AnswerPassword(dialogs, "pw");
        QCOMPARE(RunLaunchedCommand(FileCommandKind::Decrypt, {Q(one / "a.txt.CPH")}), LaunchDone);
        QCOMPARE(test::ReadBytes(one / "a.txt.dec"), std::string("first file"));
    }

    // Relative paths are taken from the current folder; the stored option
    // "Overwrite file on encryption" applies, with its question.
    void storedOptionsAndRelativePathsApply()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "plain");
        {
            QSettings settings;
            WriteOptions(settings, {false, true});
        }
        const QString before = QDir::currentPath();
        QDir::setCurrent(Q(folder.Path().string()));
        MessageBoxScript boxes;
        boxes.QueueAnswer(true);
        ModalScript dialogs;
        AnswerPassword(dialogs, "pw");

        const int status = RunLaunchedCommand(FileCommandKind::Encrypt, {"a.txt"});
        QDir::setCurrent(before);

        QCOMPARE(status, LaunchDone);
        QCOMPARE(test::ReadBytes(folder / "a.txt"), test::Encrypted("plain", "pw"));
        QCOMPARE(boxes.Boxes().front().kind, BoxKind::Confirm);
        QVERIFY(!std::filesystem::exists(folder.Path() / "a.txt.CPH"));
    }

    // The stored "Encrypt to the age format" applies as in the main window.
    void storedAgeFormatApplies()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "plain");
        {
            QSettings settings;
            WriteOptions(settings, {.ageFormat = true});
        }
        MessageBoxScript boxes;
        ModalScript dialogs;
        AnswerPassword(dialogs, "pw");

        QCOMPARE(RunLaunchedCommand(FileCommandKind::Encrypt, {Q(folder / "a.txt")}), LaunchDone);

        QVERIFY(!std::filesystem::exists(folder.Path() / "a.txt.CPH"));
        const std::string sealed = test::ReadBytes(folder / "a.txt.age");
        QVERIFY(sealed.starts_with("age-encryption.org/v1\n-> scrypt "));
    }

    // The stored "Self-decrypting for" chooses the stub as in the main window:
    // the program starts with that stub, or, where it is not built, the error
    // report names it.
    void storedSelfDecryptingTargetApplies_data()
    {
        QTest::addColumn<StubTarget>("target");
        QTest::newRow("Linux") << StubTarget::Linux;
        QTest::newRow("Windows") << StubTarget::Windows;
    }
    void storedSelfDecryptingTargetApplies()
    {
        QFETCH(StubTarget, target);
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "plain");
        {
            QSettings settings;
            WriteOptions(settings, {.selfDecrypting = true, .selfDecryptingFor = target});
        }
        const std::string stub = DefaultStubPath(target);
        QVERIFY(stub.ends_with(std::string("/") + StubFileName(target)));
        MessageBoxScript boxes;
        ModalScript dialogs;
        AnswerPassword(dialogs, "pw");

        const int status = RunLaunchedCommand(FileCommandKind::Encrypt, {Q(folder / "a.txt")});

        if (std::filesystem::exists(stub)) {
            QCOMPARE(status, LaunchDone);
            QVERIFY(test::ReadBytes(folder / "a.exe").starts_with(test::ReadBytes(stub)));
        } else {
            QCOMPARE(status, LaunchFailed);
            QVERIFY2(BoxTexts(boxes).join('\n').contains(Q(stub)),
                     qPrintable(BoxTexts(boxes).join('\n')));
        }
    }

    // Nothing runs when a given file is missing; a No, a Cancel or a file
    // that cannot be done make the start fail, and a failure in the first
    // folder leaves the second alone.
    void failuresExitWithOne()
    {
        test::TempFolder one;
        test::TempFolder two;
        test::WriteBytes(one / "a.txt", "a");
        test::WriteBytes(two / "b.txt", "b");
        std::filesystem::create_directory(one.Path() / "sub");
        const auto before = test::Snapshot(one.Path());
        {
            MessageBoxScript boxes;
            ModalScript dialogs;
            QCOMPARE(
                RunLaunchedCommand(FileCommandKind::Shred, {Q(one / "a.txt"), Q(one / "gone.txt")}),
                LaunchFailed);
            QCOMPARE(BoxTexts(boxes),
                     QStringList{"Error|File or folder not found:\n" + Q(one / "gone.txt")});
            QVERIFY(dialogs.Shown().empty());
        }
        {
            MessageBoxScript boxes;
            QCOMPARE(RunLaunchedCommand(FileCommandKind::Shred, {"/"}), LaunchFailed);
            QVERIFY(boxes.Boxes().empty());
        }
        {
            MessageBoxScript boxes; // the confirmation is answered "&No"
            QCOMPARE(RunLaunchedCommand(FileCommandKind::Shred, {Q(one / "a.txt")}), LaunchFailed);
        }
        {
            MessageBoxScript boxes;
            ModalScript dialogs; // the password dialog is cancelled
            QCOMPARE(RunLaunchedCommand(FileCommandKind::Encrypt, {Q(one / "a.txt")}),
                     LaunchFailed);
        }
        {
            MessageBoxScript boxes;
            ModalScript dialogs;
            AnswerPassword(dialogs, "pw");
            AnswerPassword(dialogs, "pw");
            QCOMPARE(
                RunLaunchedCommand(FileCommandKind::Encrypt, {Q(one / "sub"), Q(two / "b.txt")}),
                LaunchFailed);
            QCOMPARE(
                BoxTexts(boxes),
                QStringList{"Information|File cannot be opened. Check if the file is Read Only."});
            QCOMPARE(dialogs.Shown().size(), std::size_t(1));
        }
        QCOMPARE(test::Snapshot(one.Path()), before);
        QVERIFY(!std::filesystem::exists(two.Path() / "b.txt.CPH"));
    }

    void shredsAfterTheConfirmation()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "a");
        test::WriteBytes(folder / "b.txt", "b");
        MessageBoxScript boxes;
        boxes.QueueAnswer(true);
        QCOMPARE(
            RunLaunchedCommand(FileCommandKind::Shred, {Q(folder / "a.txt"), Q(folder / "b.txt")}),
            LaunchDone);
        QVERIFY(std::filesystem::is_empty(folder.Path()));
        QCOMPARE(BoxTexts(boxes).back(), QString("Ciphra 2K|File(s) shredded..."));
    }

    void hashShowsEachFileInTurn()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "a");
        test::WriteBytes(folder / "b.txt", "b");
        ModalScript dialogs;
        QStringList shown;
        for (int i = 0; i < 2; ++i) {
            dialogs.Queue([&shown](QDialog& dialog) {
                shown << static_cast<HashWindow&>(dialog).fileNameEdit->text();
                return int(QDialog::Rejected);
            });
        }
        QCOMPARE(
            RunLaunchedCommand(FileCommandKind::Hash, {Q(folder / "b.txt"), Q(folder / "a.txt")}),
            LaunchDone);
        QCOMPARE(shown, (QStringList{Q(folder / "b.txt"), Q(folder / "a.txt")}));
    }

    // Without files the command asks for them; choosing none fails.
    void asksForTheFilesWhenNoneAreGiven()
    {
        test::TempFolder folder;
        test::WriteBytes(folder / "a.txt", "a");
        MessageBoxScript boxes;
        boxes.QueueAnswer(true);
        int asked = 0;
        const auto choose = [&](const QStringList& files) {
            return [&asked, files] {
                ++asked;
                return files;
            };
        };
        QCOMPARE(RunLaunchedCommand(FileCommandKind::Shred, {}, choose({})), LaunchFailed);
        QCOMPARE(RunLaunchedCommand(FileCommandKind::Shred, {}, choose({Q(folder / "a.txt")})),
                 LaunchDone);
        QCOMPARE(asked, 2);
        QVERIFY(!std::filesystem::exists(folder.Path() / "a.txt"));
    }
};

CIPHRA_UI_TEST_MAIN(TestLaunch)

#include "test_launch.moc"
