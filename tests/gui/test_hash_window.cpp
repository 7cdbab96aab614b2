// The hash window and the hash command, offscreen, with the message boxes
// and the save dialog scripted.

#include "core/jobs/file_hash.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/windows/hash_window.h"
#include "support/test_files.h"
#include "ui_test_support.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace ciphra::gui;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// A save dialog step that types `name` and presses Save.
ModalScript::Step SaveAs(const QString& name)
{
    return [name](QDialog& dialog) {
        static_cast<QFileDialog&>(dialog).selectFile(name);
        return int(QDialog::Accepted);
    };
}

struct FakeList : FileListHost {
    QString Folder;
    QStringList Selected;
    QStringList Log;

    QString FolderPath() const override { return Folder; }
    QStringList SelectedNames() const override { return Selected; }
    void RefreshFromPathBox() override { Log << "refresh"; }
    void ClearSelection() override
    {
        Log << "clear";
        Selected.clear();
    }
};

// The verdict as shown: its kind (the label's property) and its text.
struct Shown {
    QString kind;
    QString text;
};

Shown VerdictOf(const HashWindow& window)
{
    if (window.verdictLabel->isHidden())
        return {};
    return {window.verdictLabel->property("verdict").toString(), window.verdictLabel->text()};
}

const QString kReportHead = "--- Ciphra 2K v1.0.2 HASH using SHA-1 ------\r\n"
                            "--- HASH of file%\r\n";

} // namespace

class TestHashWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int beeps_ = 0;

    QString In(const QString& name) const { return dir_.filePath(name); }

    void Prepare(HashWindow& window)
    {
        window.beep = [this] { ++beeps_; };
        window.dateTimeText = [] { return QStringLiteral("08/12/2026 10:15:42"); };
    }

private slots:
    void init()
    {
        beeps_ = 0;
        ciphra::gui::testing::ClearSettings();
    }

    // Known digests; the Char form leaves out the zero bytes before Base64.
    void hexAndCharForms_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QString>("shown");
        QTest::newRow("hex abc") << QByteArray("abc") << true
                                 << "0xA9993E364706816ABA3E25717850C26C9CD0D89D";
        QTest::newRow("hex empty")
            << QByteArray() << true << "0xDA39A3EE5E6B4B0D3255BFEF95601890AFD80709";
        QTest::newRow("char, no zero byte")
            << QByteArray("abc") << false << "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=";
        QTest::newRow("char, one zero byte")
            << QByteArray("ciphra13") << false << "hOoui6kGN0z59dCzveRZadC0ZA==";
        QTest::newRow("char, two zero bytes")
            << QByteArray("ciphra316") << false << "hjC+I9JMyszungwDIizz44Ln";
        QTest::newRow("hex keeps zero bytes")
            << QByteArray("ciphra316") << true << "0x8630BE23D24CCACCEE9E0C0003222CF3E382E700";
    }
    void hexAndCharForms()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, hex);
        QFETCH(QString, shown);
        const QString path = In("data.bin");
        WriteFile(path, content);
        // Read-only files are hashed: the file is only opened for reading.
        QFile::setPermissions(path, QFile::ReadOwner);
        HashWindow window;
        (hex ? window.hexOption : window.charOption)->setChecked(true);
        window.fileNameEdit->setText(path);
        MessageBoxScript boxes;
        QTest::mouseClick(window.hashButton, Qt::LeftButton);
        QCOMPARE(window.hashEdit->text(), shown);
        QVERIFY(boxes.Boxes().empty());
        QFile::remove(path);
    }

    // The algorithm chosen is stored and comes back in the next window; the
    // report names the algorithm of the digest shown, whatever is chosen
    // after "&Hash".
    void sha256IsChosenKeptAndReported()
    {
        const QString source = In("abc.txt");
        WriteFile(source, "abc");
        {
            HashWindow first;
            QCOMPARE(first.algorithmBox->currentText(), QStringLiteral("SHA-1"));
            first.algorithmBox->setCurrentIndex(1);
        }
        QCOMPARE(QSettings().value("HashAlgorithm").toString(), QStringLiteral("sha256"));
        HashWindow window;
        Prepare(window);
        QCOMPARE(window.algorithmBox->currentText(), QStringLiteral("SHA-256"));
        window.fileNameEdit->setText(source);
        QTest::mouseClick(window.hashButton, Qt::LeftButton);
        QCOMPARE(
            window.hashEdit->text(),
            QStringLiteral("0xBA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"));
        window.algorithmBox->setCurrentIndex(0);
        ModalScript modal;
        modal.Queue(SaveAs(In("abc.hsh")));
        MessageBoxScript boxes;
        window.OnSave();
        QVERIFY(
            ReadFile(In("abc.hsh")).startsWith("--- Ciphra 2K v1.0.2 HASH using SHA-256 ----\r\n"));
        QCOMPARE(QSettings().value("HashAlgorithm").toString(), QStringLiteral("sha1"));

        QSettings().setValue("HashAlgorithm", "md4"); // unknown: SHA-1
        QCOMPARE(HashWindow().algorithmBox->currentIndex(), 0);
    }

    // A pasted value in either form of either algorithm, or text that is no
    // value; the verdict names the algorithm and what was compared.
    void verifyAgainstAPastedValue_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        const QString sha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("SHA-1 as shown") << "data.bin"
                                        << "0xA9993E364706816ABA3E25717850C26C9CD0D89D"
                                        << "match"
                                        << "MATCH</big></b><br>The SHA-1 of data.bin is the value "
                                           "pasted.";
        QTest::newRow("SHA-256 lower case, blanks around")
            << "data.bin"
            << "  " + sha256 + "\n"
            << "match"
            << "The SHA-256 of data.bin is the value pasted.";
        QTest::newRow("SHA-256 Char form") << "data.bin"
                                           << "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIVrQ=="
                                           << "match"
                                           << "SHA-256";
        QTest::newRow("another digest") << "data.bin" << QString(40, '0') << "mismatch"
                                        << "NO MATCH</big></b><br>The SHA-1 of data.bin is not "
                                           "the value pasted.";
        QTest::newRow("no value") << "data.bin"
                                  << "md5 please"
                                  << "problem"
                                  << "Not a hash";
        QTest::newRow("nothing pasted") << "data.bin"
                                        << ""
                                        << "problem"
                                        << "Paste the expected hash, or open a checksum file.";
        QTest::newRow("no file") << "" << sha256 << "problem"
                                 << "Nothing to verify";
        QTest::newRow("missing file") << "missing" << sha256 << "problem"
                                      << "missing cannot be read.";
    }
    void verifyAgainstAPastedValue()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, expected);
        QFETCH(QString, kind);
        QFETCH(QString, says);
        WriteFile(In("data.bin"), "abc");
        HashWindow window;
        window.fileNameEdit->setText(fileName.isEmpty() ? fileName : In(fileName));
        window.expectedEdit->setText(expected);
        MessageBoxScript boxes;
        QTest::mouseClick(window.verifyButton, Qt::LeftButton);
        const Shown shown = VerdictOf(window);
        QCOMPARE(shown.kind, kind);
        QVERIFY2(shown.text.contains(says), qPrintable(shown.text));
        QVERIFY(window.hashEdit->text().isEmpty()); // verifying shows no digest
        QVERIFY(boxes.Boxes().empty());
    }

    // Lists and reports: the line for the file is found by its name and
    // named in the verdict, with the name it gives when that is more.
    void verifyAgainstAChecksumFile_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::newRow("second line") << "SHA256SUMS"
                                     << "match"
                                     << "The SHA-256 of data.bin is the one on line 2 of "
                                        "SHA256SUMS.";
        QTest::newRow("changed since") << "OLDSUMS"
                                       << "mismatch"
                                       << "The SHA-1 of data.bin differs from line 1 of "
                                          "OLDSUMS (for dir/data.bin).";
        QTest::newRow("report of another name")
            << "renamed.hsh"
            << "match"
            << "is the one on line 8 of renamed.hsh (for /elsewhere/old name.bin).";
        QTest::newRow("not listed") << "OTHERSUMS"
                                    << "problem"
                                    << "OTHERSUMS has no line for data.bin.";
        QTest::newRow("no checksum lines") << "notes.txt"
                                           << "problem"
                                           << "notes.txt holds no SHA-1 or SHA-256 checksum line.";
        QTest::newRow("folder") << "folder.sha1"
                                << "problem"
                                << "folder.sha1 cannot be read: is a folder, not a file";
    }
    void verifyAgainstAChecksumFile()
    {
        QFETCH(QString, list);
        QFETCH(QString, kind);
        QFETCH(QString, says);
        WriteFile(In("data.bin"), "abc");
        const QByteArray sha1 = "a9993e364706816aba3e25717850c26c9cd0d89d";
        const QByteArray sha256 =
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        WriteFile(In("SHA256SUMS"),
                  QByteArray(64, '0') + "  other.bin\n" + sha256 + " *data.bin\n");
        WriteFile(In("OLDSUMS"), QByteArray(40, '1') + "  dir/data.bin\n");
        WriteFile(In("OTHERSUMS"), sha1 + "  data.bin.part\n");
        WriteFile(In("notes.txt"), "just words\n");
        QDir(dir_.path()).mkpath("folder.sha1");
        WriteFile(In("renamed.hsh"), QByteArray::fromStdString(ciphra::HashReport(
                                         ciphra::HashAlgorithm::Sha1, "/elsewhere/old name.bin",
                                         "now", "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=")));
        HashWindow window;
        window.fileNameEdit->setText(In("data.bin"));
        // "&Open..." starts in the file's folder, takes the file chosen and verifies.
        ModalScript modal;
        QString startFolder;
        modal.Queue([&](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            startFolder = files.directory().path();
            files.selectFile(In(list));
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(window.openListButton, Qt::LeftButton);
        QCOMPARE(modal.Shown(), std::vector<QString>{"Open checksum file:"});
        QCOMPARE(startFolder, dir_.path());
        QCOMPARE(window.expectedEdit->text(), In(list));
        const Shown shown = VerdictOf(window);
        QCOMPARE(shown.kind, kind);
        QVERIFY2(shown.text.contains(says.toHtmlEscaped()), qPrintable(shown.text));
    }

    // A verdict goes as soon as the file or the expected value changes, and
    // with everything else on "&Clear all" and on closing.
    void verdictGoesWithWhatItWasAbout()
    {
        WriteFile(In("data.bin"), "abc");
        HashWindow window;
        const auto verified = [&] {
            window.fileNameEdit->setText(In("data.bin"));
            window.expectedEdit->setText("0xA9993E364706816ABA3E25717850C26C9CD0D89D");
            window.OnVerify();
            return VerdictOf(window).kind == "match";
        };
        QVERIFY(verified());
        window.fileNameEdit->setText(In("data.bin2"));
        QVERIFY(VerdictOf(window).kind.isEmpty());
        QVERIFY(verified());
        window.expectedEdit->insert(" ");
        QVERIFY(VerdictOf(window).kind.isEmpty());
        QVERIFY(verified());
        QTest::mouseClick(window.clearButton, Qt::LeftButton);
        QVERIFY(VerdictOf(window).kind.isEmpty());
        QVERIFY(window.expectedEdit->text().isEmpty());
        QVERIFY(verified());
        window.reject();
        QVERIFY(VerdictOf(window).kind.isEmpty());
        QVERIFY(window.expectedEdit->text().isEmpty());
    }

    void hashWithNothingToHash_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("information");
        QTest::newRow("empty box") << "" << false;
        QTest::newRow("missing file") << "missing" << true;
        QTest::newRow("folder") << "." << true;
    }
    void hashWithNothingToHash()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, information);
        HashWindow window;
        window.fileNameEdit->setText(fileName.isEmpty() ? fileName : In(fileName));
        window.hashEdit->setText("0xEARLIER");
        MessageBoxScript boxes;
        window.OnHash();
        QCOMPARE(window.hashEdit->text(), QStringLiteral("0xEARLIER"));
        QCOMPARE(boxes.Boxes().size(), std::size_t(information ? 1 : 0));
        if (information) {
            QCOMPARE(boxes.Boxes()[0].title, QStringLiteral("Information"));
            QCOMPARE(boxes.Boxes()[0].text, QStringLiteral("Unable to open source file."));
        }
    }

    // The dialog is set up as designed and offers the Filename box's text with
    // ".hsh"; the report holds that text as edited after hashing.
    void saveWritesTheReport()
    {
        const QString source = In("notes.txt");
        WriteFile(source, "abc");
        HashWindow window;
        Prepare(window);
        window.fileNameEdit->setText(source);
        window.OnHash();
        window.fileNameEdit->setText("edited name");
        ModalScript modal;
        QString offered;
        modal.Queue([&](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            [&] {
                QCOMPARE(files.acceptMode(), QFileDialog::AcceptSave);
                QCOMPARE(files.nameFilters(), QStringList({"Hash Files (*.hsh)", "All Files (*)"}));
                QCOMPARE(files.defaultSuffix(), QStringLiteral("HSH"));
            }();
            offered = files.selectedFiles().value(0);
            files.selectFile(In("notes.hsh"));
            return int(QDialog::Accepted);
        });
        MessageBoxScript boxes;
        window.OnSave();
        QCOMPARE(modal.Shown(), std::vector<QString>{"Save hash to file:"});
        QCOMPARE(QFileInfo(offered).fileName(), QStringLiteral("edited name.hsh"));
        QCOMPARE(ReadFile(In("notes.hsh")),
                 (kReportHead + "edited name\r\n"
                                "--- date/time: 08/12/2026 10:15:42\r\n\r\n"
                                "- Begin block\r\n\r\n"
                                "0xA9993E364706816ABA3E25717850C26C9CD0D89D\r\n\r\n"
                                "- End block\r\n")
                     .toUtf8());
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].title, QStringLiteral("Ciphra 2K"));
        QCOMPARE(boxes.Boxes()[0].text, QStringLiteral("All done. Hash saved to file."));
        QCOMPARE(beeps_, 1);
    }

    void saveOutcomes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("error");
        QTest::newRow("no extension gets HSH") << "plain"
                                               << "plain.HSH"
                                               << "";
        QTest::newRow("existing file") << "taken.hsh"
                                       << ""
                                       << "ERROR #142, file already exists, cannot overwrite.";
        QTest::newRow("missing folder")
            << "no/such/folder.hsh"
            << ""
            << "ERROR #132, Cannot create: disk is read-only or disk failure.";
    }
    void saveOutcomes()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        QFETCH(QString, error);
        QTemporaryDir folder;
        WriteFile(folder.filePath("taken.hsh"), "old");
        HashWindow window;
        Prepare(window);
        window.fileNameEdit->setText("x");
        window.hashEdit->setText("0x00");
        ModalScript modal;
        modal.Queue(SaveAs(folder.filePath(typed)));
        MessageBoxScript boxes;
        window.OnSave();
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(beeps_, 1);
        QCOMPARE(ReadFile(folder.filePath("taken.hsh")), QByteArray("old"));
        if (error.isEmpty()) {
            QVERIFY(ReadFile(folder.filePath(written)).startsWith(kReportHead.toUtf8()));
        } else {
            QCOMPARE(boxes.Boxes()[0].title, QStringLiteral("Error"));
            QCOMPARE(boxes.Boxes()[0].text, error);
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"taken.hsh"});
        }
    }

    // A write error while saving ends the save button's handler in the error
    // report, before it could unwind through Qt's dispatch of the click (a
    // handler connected after it still runs); the window goes on working.
    void saveWriteErrorIsReported()
    {
        const QString source = In("notes.txt");
        WriteFile(source, "abc");
        HashWindow window;
        Prepare(window);
        window.fileNameEdit->setText(source);
        QTest::mouseClick(window.hashButton, Qt::LeftButton);
        int clicksDispatched = 0;
        connect(window.saveButton, &QPushButton::clicked, [&] { ++clicksDispatched; });
        ModalScript modal;
        modal.Queue(SaveAs(In("cut short.hsh")));
        MessageBoxScript boxes;
        {
            const ciphra::test::FileSizeLimit limit(16);
            QTest::mouseClick(window.saveButton, Qt::LeftButton);
        }
        QCOMPARE(clicksDispatched, 1);
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].kind, BoxKind::ErrorReport);
        QVERIFY2(boxes.Boxes()[0].text.endsWith("I/O error 27."),
                 qPrintable(boxes.Boxes()[0].text));
        QCOMPARE(beeps_, 0);

        QTest::mouseClick(window.clearButton, Qt::LeftButton);
        QVERIFY(window.fileNameEdit->text().isEmpty());
        QVERIFY(window.hashEdit->text().isEmpty());
    }

    void saveDoesNothingWithoutHashOrWhenCancelled()
    {
        HashWindow window;
        Prepare(window);
        ModalScript modal;
        MessageBoxScript boxes;
        window.fileNameEdit->setText(In("x"));
        window.OnSave(); // empty Hash box: no dialog
        QVERIFY(modal.Shown().empty());
        window.hashEdit->setText("0x00");
        window.OnSave(); // no step queued: the dialog is cancelled
        QCOMPARE(modal.Shown().size(), std::size_t(1));
        QVERIFY(boxes.Boxes().empty());
        QCOMPARE(beeps_, 0);
    }

    // Every way of closing empties both boxes; the Hex/Char choice stays.
    void closingEmptiesBothBoxes_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Close button") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("title bar") << 2;
        QTest::newRow("Clear all") << 3;
    }
    void closingEmptiesBothBoxes()
    {
        QFETCH(int, way);
        HashWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.charOption->setChecked(true);
        window.fileNameEdit->setText("name");
        window.hashEdit->setText("hash");
        switch (way) {
        case 0:
            QTest::mouseClick(window.closeButton, Qt::LeftButton);
            break;
        case 1:
            QTest::keyClick(&window, Qt::Key_Escape);
            break;
        case 2:
            window.close();
            break;
        case 3:
            QTest::mouseClick(window.clearButton, Qt::LeftButton);
            break;
        }
        QCOMPARE(window.isVisible(), way == 3);
        QVERIFY(window.fileNameEdit->text().isEmpty());
        QVERIFY(window.hashEdit->text().isEmpty());
        QVERIFY(window.charOption->isChecked());
    }

    void hashCommandShowsTheFirstSelectedFile_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("path");
        QTest::newRow("folder without slash")
            << "/home/u" << QStringList{"a.txt", "b.txt"} << "/home/u/a.txt";
        QTest::newRow("root folder") << "/" << QStringList{"etc"} << "/etc";
        QTest::newRow("nothing selected") << "/home/u" << QStringList{} << "";
    }
    void hashCommandShowsTheFirstSelectedFile()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, selected);
        QFETCH(QString, path);
        HashWindow window;
        FakeList list;
        list.Folder = folder;
        list.Selected = selected;
        ModalScript modal;
        QString seen;
        modal.Queue([&](QDialog& dialog) {
            auto& hash = static_cast<HashWindow&>(dialog);
            seen = hash.fileNameEdit->text();
            hash.hashEdit->setText("0x00");
            hash.reject();
            return int(QDialog::Rejected);
        });
        HashSelectedFile(list, window);
        QCOMPARE(seen, path);
        QCOMPARE(modal.Shown().size(), std::size_t(path.isEmpty() ? 0 : 1));
        QCOMPARE(list.Log, path.isEmpty() ? QStringList{} : QStringList{"clear"});
        QVERIFY(window.fileNameEdit->text().isEmpty());
        QVERIFY(window.hashEdit->text().isEmpty());
    }
};

CIPHRA_UI_TEST_MAIN(TestHashWindow)
#include "test_hash_window.moc"
