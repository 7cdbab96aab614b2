// The encrypt and decrypt commands with age files, driven offscreen: the
// option writes "<name>.age" with the dialog's password; decrypting
// recognises age files, asks only for what opens them, and a wrong key or an
// altered file is reported with nothing written.

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <filesystem>

#include "core/io/posix_file.h"
#include "core/jobs/age_file.h"
#include "file_command_bench.h"
#include "gui/commands/decrypt_command.h"
#include "gui/commands/encrypt_command.h"
#include "gui/commands/file_transform.h"
#include "gui/kit/application.h"

using namespace ciphra;
using namespace ciphra::test;
namespace fs = std::filesystem;

namespace {

const QString Info = QStringLiteral("Information|");
const QString Error = QStringLiteral("Error|");

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Seals `plain` into `path` as an age file, with a password or to a recipient.
void WriteAgeFile(const std::string& path, const std::string& plain, const age::Keys& keys)
{
    WriteBytes(path + ".plain", plain);
    File input = File::Open(path + ".plain", OpenMode::ReadOnly);
    File output = File::Open(path, OpenMode::CreateTruncate, 0600);
    age::EncryptStream(input, output, keys, nullptr);
    fs::remove(path + ".plain");
}

age::Keys PasswordKeys(std::string_view password)
{
    age::Keys keys;
    keys.Password = password;
    keys.WorkFactor = 10;
    return keys;
}

// The plaintext of an age file, or nothing when the keys do not open it.
std::optional<std::string> Opened(const std::string& path, const age::Keys& keys)
{
    File input = File::Open(path, OpenMode::ReadOnly);
    File output = File::Open(path + ".opened", OpenMode::CreateTruncate, 0600);
    try {
        age::DecryptStream(input, output, keys, nullptr);
    } catch (const age::AgeError&) {
        fs::remove(path + ".opened");
        return std::nullopt;
    }
    const std::string plain = ReadBytes(path + ".opened");
    fs::remove(path + ".opened");
    return plain;
}

// An identity file in the bench's folder's parent, and its recipient.
struct IdentityFile {
    TempFolder Folder;
    std::string Path = Folder / "key.txt";
    age::Identity Identity;

    IdentityFile()
    {
        age::GenerateIdentity(Identity);
        SecretText text;
        age::IdentityFileText(Identity, "2024-01-01T00:00:00Z", text);
        WriteBytes(Path, std::string(text.View()));
    }
    age::Keys ToRecipient() const
    {
        age::Keys keys;
        keys.Recipients = {age::RecipientOf(Identity)};
        return keys;
    }
};

} // namespace

class TestAgeCommands : public QObject {
    Q_OBJECT
private slots:
    // The digest choice does not apply: the box is hidden and its state
    // changes nothing; each file gets "<name>.age" and its own box.
    void encryptWritesAgeFilesBeside()
    {
        CommandBench bench;
        const std::string a = bench.AddFile("a.txt", PatternBytes(70000, 1));
        const std::string b = bench.AddFile("b", PatternBytes(3, 2));
        bench.AnswerPassword("pw", true);

        gui::RunEncryptCommand(bench.Windows(), {false, false, true}, "");

        QCOMPARE(bench.DigestOptionShown, std::vector<bool>{false});
        QVERIFY(bench.Password.DigestOptionVisible()); // shown again afterwards
        QCOMPARE(Opened(a + ".age", PasswordKeys("pw")), PatternBytes(70000, 1));
        QCOMPARE(Opened(b + ".age", PasswordKeys("pw")), PatternBytes(3, 2));
        QCOMPARE(ReadBytes(a), PatternBytes(70000, 1));
        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Info + "File Encrypted in: " + Q(a + ".age"),
                                       Info + "File Encrypted in: " + Q(b + ".age")}));
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"deselect", "refresh"}));
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    void encryptInPlaceKeepsTheName()
    {
        CommandBench bench;
        const std::string a = bench.AddFile("a.txt", "replace me");
        bench.Boxes.QueueAnswer(true);
        bench.AnswerPassword("pw", false);

        gui::RunEncryptCommand(bench.Windows(), {false, true, true}, "");

        QCOMPARE(Opened(a, PasswordKeys("pw")), std::string("replace me"));
        QVERIFY(!fs::exists(a + ".age"));
        QCOMPARE(bench.BoxTexts().back(),
                 Info + "All done. File Encrypted with the same name as the original.");
    }

    // Without the option the .CPH format is written as before.
    void optionOffWritesTheCphFormat()
    {
        CommandBench bench;
        const std::string a = bench.AddFile("a.txt", "plain");
        bench.AnswerPassword("pw", true);

        gui::RunEncryptCommand(bench.Windows(), {false, false, false}, "");

        QCOMPARE(bench.DigestOptionShown, std::vector<bool>{true});
        QCOMPARE(ReadBytes(a + ".CPH"), Encrypted("plain", "pw", true));
        QVERIFY(!fs::exists(a + ".age"));
    }

    // ".age" comes off; a CPH file beside takes the same password; the
    // digest box shows while a .CPH file is among them.
    void decryptOpensPasswordFilesAndCphFilesTogether()
    {
        CommandBench bench;
        const std::string sealed = bench.PathOf("report.doc.age");
        WriteAgeFile(sealed, "age text", PasswordKeys("pw"));
        bench.Select("report.doc.age");
        bench.AddFile("old.CPH", Encrypted("cph text", "pw", true));
        bench.AnswerPassword("pw", true);

        gui::RunDecryptCommand(bench.Windows(), false);

        QCOMPARE(bench.DigestOptionShown, std::vector<bool>{true});
        QCOMPARE(ReadBytes(bench.PathOf("report.doc")), std::string("age text"));
        QCOMPARE(ReadBytes(bench.PathOf("old.dec")), std::string("cph text"));
        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Info + "File Decrypted in: " + Q(bench.PathOf("report.doc")),
                                       Info + "File Decrypted in: " + Q(bench.PathOf("old.dec"))}));
        QCOMPARE(bench.IdentityQuestions, 0);
        QCOMPARE(bench.List.Calls, (std::vector<std::string>{"refresh", "deselect"}));
    }

    // A file for recipients asks for the identity file, not for a password.
    void decryptAsksForTheIdentityFile()
    {
        CommandBench bench;
        IdentityFile key;
        WriteAgeFile(bench.PathOf("x.age"), "for the key", key.ToRecipient());
        bench.Select("x.age");
        bench.IdentityFile = Q(key.Path);

        gui::RunDecryptCommand(bench.Windows(), false);

        QVERIFY(bench.Dialogs.Shown().empty());
        QCOMPARE(bench.IdentityQuestions, 1);
        QCOMPARE(ReadBytes(bench.PathOf("x")), std::string("for the key"));
        QCOMPARE(bench.BoxTexts(),
                 (std::vector<QString>{Info + "File Decrypted in: " + Q(bench.PathOf("x"))}));
    }

    // Every way an age file does not open: its box, nothing written, the
    // loop ends (later files untouched) without the end step.
    void faultsWriteNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("box");
        QTest::newRow("wrong password") << "wrong password" << Error + gui::AgeWrongPasswordText;
        QTest::newRow("altered") << "altered" << Error + gui::AgeNotDecryptedText;
        QTest::newRow("other identity") << "other identity" << Error + gui::AgeNotDecryptedText;
    }
    void faultsWriteNothing()
    {
        QFETCH(QString, fault);
        QFETCH(QString, box);
        CommandBench bench;
        IdentityFile key;
        IdentityFile other;
        const std::string path = bench.PathOf("x.txt.age");
        if (fault == "other identity") {
            WriteAgeFile(path, PatternBytes(100000, 4), other.ToRecipient());
            bench.IdentityFile = Q(key.Path);
        } else {
            WriteAgeFile(path, PatternBytes(100000, 4), PasswordKeys("pw"));
        }
        // The .CPH file after it needs the password in every case.
        bench.AnswerPassword(fault == "wrong password" ? "wrong" : "pw", false);
        if (fault == "altered") {
            std::string bytes = ReadBytes(path);
            bytes[bytes.size() - 10] ^= 1;
            WriteBytes(path, bytes);
        }
        bench.Select("x.txt.age");
        bench.AddFile("later.CPH", "never reached");
        const auto before = Snapshot(bench.Folder.Path());

        gui::RunDecryptCommand(bench.Windows(), false);

        QCOMPARE(Snapshot(bench.Folder.Path()), before);
        QCOMPARE(bench.BoxTexts().size(), std::size_t(1));
        QVERIFY2(bench.BoxTexts()[0].startsWith(box + Q(path)), qPrintable(bench.BoxTexts()[0]));
        QVERIFY(bench.List.Calls.empty());
        QVERIFY(bench.Password.passwordEdit->text().isEmpty());
    }

    void cancelledIdentityAndBrokenIdentityFile()
    {
        for (const bool broken : {false, true}) {
            CommandBench bench;
            IdentityFile key;
            WriteAgeFile(bench.PathOf("x.age"), "text", key.ToRecipient());
            bench.Select("x.age");
            if (broken) {
                WriteBytes(key.Path, "AGE-SECRET-KEY-1NOTAKEY\n");
                bench.IdentityFile = Q(key.Path);
            }
            const auto before = Snapshot(bench.Folder.Path());

            gui::RunDecryptCommand(bench.Windows(), false);

            QCOMPARE(Snapshot(bench.Folder.Path()), before);
            QCOMPARE(bench.BoxTexts().size(), std::size_t(broken ? 1 : 0));
            if (broken)
                QVERIFY(bench.BoxTexts()[0].startsWith(Error + Q(key.Path) + ":1: not an"));
            QCOMPARE(bench.List.Calls, (std::vector<std::string>{"refresh", "deselect"}));
        }
    }
};

int main(int argc, char** argv)
{
    gui::Application app(argc, argv);
    TestAgeCommands test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_age_commands.moc"
