// The shred command and the wipe progress window, offscreen, with the
// message boxes scripted and a stand-in for the main window's file list.

#include "core/error.h"
#include "gui/commands/shred_command.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/wipe_window.h"

#include <QDir>
#include <QGuiApplication>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace ciphra::gui;

namespace {

const QString kTemporaryName =
    QString(55, QLatin1Char('a')) + QLatin1Char('.') + QString(7, QLatin1Char('a'));
const QString kQuestion = "Are you sure you want to wipe this file?\n"
                          "Note: Once the file is deleted there is no\n"
                          "way to recover it.";
const QString kAllShredded = "File(s) shredded...";
const QString kSomeFailed = "Errors where reported when shredding one or more files...";

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Records the list calls together with the boxes shown so far, to check
// their order.
struct FakeList : FileListHost {
    QString Folder;
    QStringList Selected;
    QStringList Log;
    const MessageBoxScript* Boxes = nullptr;

    QString FolderPath() const override { return Folder; }
    QStringList SelectedNames() const override { return Selected; }
    void RefreshFromPathBox() override { Log << QString("refresh after %1 boxes").arg(Count()); }
    void ClearSelection() override { Log << QString("clear after %1 boxes").arg(Count()); }

private:
    qsizetype Count() const { return Boxes ? qsizetype(Boxes->Boxes().size()) : -1; }
};

QStringList Texts(const MessageBoxScript& script)
{
    QStringList texts;
    for (const auto& box : script.Boxes())
        texts << box.title + ": " + box.text;
    return texts;
}

} // namespace

class TestShredCommand : public QObject {
    Q_OBJECT

    int beeps_ = 0;

    void Prepare(WipeProgressWindow& window)
    {
        window.beep = [this] { ++beeps_; };
        window.clockText = [] { return QStringLiteral("08/12/2026 10:15:42"); };
        // Whatever disk the test runs on, the texts stay the same.
        window.shredLimits = [](const std::string&) { return std::vector<ciphra::ShredFinding>{}; };
    }

private slots:
    void init() { beeps_ = 0; }

    // While a file is wiped the window shows its name, the bar moves one step
    // per pass and the pointer is the hourglass; afterwards all is back.
    void progressFollowsThePasses()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("report.doc");
        WriteFile(path, QByteArray(20000, 'x'));
        WipeProgressWindow window;
        Prepare(window);
        QStringList seen;
        window.clockText = [&] {
            seen << QString("%1 %2 %3/%4 %5")
                        .arg(window.windowTitle())
                        .arg(window.isVisible())
                        .arg(window.progressBar->value())
                        .arg(window.progressBar->maximum())
                        .arg(QGuiApplication::overrideCursor() != nullptr);
            return QStringLiteral("clock");
        };
        QVERIFY(window.WipeFile(path, 3));
        QCOMPARE(seen,
                 QStringList({"report.doc 1 1/3 1", "report.doc 1 2/3 1", "report.doc 1 3/3 1"}));
        QVERIFY(!window.isVisible());
        QCOMPARE(window.progressBar->value(), 0);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    // Files of every kind are wiped after one question; a file that cannot
    // be opened gets its box and turns the summary into the error text.
    void shredSelectedFiles_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("beeps");
        const QString confirm = "Confirm: " + kQuestion;
        QTest::newRow("answer No")
            << false << QStringList{"small", "empty"}
            << QStringList{"chunks", "empty", "readonly", "small"} << QStringList{confirm} << 0;
        QTest::newRow("several kinds")
            << true << QStringList{"small", "empty", "chunks", "readonly"} << QStringList{}
            << QStringList{confirm, "Ciphra 2K: " + kAllShredded} << 0;
        QTest::newRow("one unopenable among others")
            << true << QStringList{"small", "gone", "chunks"} << QStringList{"empty", "readonly"}
            << QStringList{confirm, "Error: Unable to get file from disk: \n\n%1/gone",
                           "Ciphra 2K: " + kSomeFailed}
            << 1;
        QTest::newRow("nothing selected")
            << true << QStringList{} << QStringList{"chunks", "empty", "readonly", "small"}
            << QStringList{confirm, "Ciphra 2K: " + kAllShredded} << 0;
    }
    void shredSelectedFiles()
    {
        QFETCH(bool, yes);
        QFETCH(QStringList, selected);
        QFETCH(QStringList, left);
        QFETCH(QStringList, boxes);
        QFETCH(int, beeps);
        QTemporaryDir dir;
        WriteFile(dir.filePath("small"), "tiny");
        WriteFile(dir.filePath("empty"), "");
        WriteFile(dir.filePath("chunks"), QByteArray(2 * 8192, 'c'));
        WriteFile(dir.filePath("readonly"), "locked");
        QFile::setPermissions(dir.filePath("readonly"), QFile::ReadOwner);
        WipeProgressWindow window;
        Prepare(window);
        MessageBoxScript script;
        script.QueueAnswer(yes);
        FakeList list;
        list.Folder = dir.path();
        list.Selected = selected;
        list.Boxes = &script;

        ShredSelectedFiles(nullptr, list, window);

        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), left);
        QCOMPARE(Texts(script), boxes.replaceInStrings("%1", dir.path()));
        QCOMPARE(list.Log,
                 yes ? QStringList({QString("refresh after %1 boxes").arg(boxes.size() - 1),
                                    QString("clear after %1 boxes").arg(boxes.size())})
                     : QStringList{});
        QCOMPARE(beeps_, beeps);
    }

    // The confirmation tells what overwriting cannot reach, each limit once
    // with the files it concerns, and what helps instead.
    void confirmationTellsWhatOverwritingCannotReach()
    {
        QTemporaryDir dir;
        WriteFile(dir.filePath("a"), "on btrfs and an SSD");
        WriteFile(dir.filePath("b"), "on an SSD");
        WipeProgressWindow window;
        Prepare(window);
        window.shredLimits = [](const std::string& path) {
            ciphra::StorageFacts facts;
            facts.FileSystemMagic = path.ends_with("/a") ? 0x9123683E : 0xEF53;
            facts.Rotational = false;
            return ciphra::ShredLimitsOf(facts);
        };
        MessageBoxScript script;
        script.QueueAnswer(false);
        FakeList list;
        list.Folder = dir.path();
        list.Selected = {"a", "b"};
        QVERIFY(!ShredSelectedFiles(nullptr, list, window));
        QCOMPARE(script.Boxes().size(), std::size_t(1));
        const QString text = script.Boxes()[0].text;
        QVERIFY2(text.startsWith(kQuestion + "\n\nOverwriting cannot reach everything here:\n\n"
                                             "a: It is on a copy-on-write file system (btrfs)"),
                 qPrintable(text));
        QVERIFY2(text.contains("\n\na, b: It is on solid-state storage"), qPrintable(text));
        QVERIFY2(text.endsWith("after deleting (TRIM: fstrim, or the discard mount option)."),
                 qPrintable(text));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"a", "b"}));
    }

    // A file whose data a copy still shares is not called shredded.
    void sharedDataIsNotClaimedGone()
    {
        QTemporaryDir dir;
        WriteFile(dir.filePath("shared"), "reflinked");
        WriteFile(dir.filePath("plain"), "alone");
        WipeProgressWindow window;
        Prepare(window);
        window.shredLimits = [](const std::string& path) {
            ciphra::StorageFacts facts;
            facts.SharedExtents = path.ends_with("/shared");
            return ciphra::ShredLimitsOf(facts);
        };
        MessageBoxScript script;
        script.QueueAnswer(true);
        FakeList list;
        list.Folder = dir.path();
        list.Selected = {"shared", "plain"};
        QVERIFY(!ShredSelectedFiles(nullptr, list, window));
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(Texts(script).last(),
                 "Ciphra 2K: Not everything is gone:\n\nshared: the name was removed, but the "
                 "data may remain: a copy or snapshot still shares it.");
    }

    // On the disk itself: a second name of the file is found, and the
    // summary says the file remains under it, overwritten.
    void aHardLinkIsFoundAndTold()
    {
        QTemporaryDir dir;
        WriteFile(dir.filePath("secret"), "the secret");
        QVERIFY(::link(QFile::encodeName(dir.filePath("secret")).constData(),
                       QFile::encodeName(dir.filePath("other name")).constData()) == 0);
        WipeProgressWindow window;
        Prepare(window);
        window.shredLimits = [](const std::string& path) {
            return ciphra::ShredLimitsOfFile(path);
        };
        MessageBoxScript script;
        script.QueueAnswer(true);
        FakeList list;
        list.Folder = dir.path();
        list.Selected = {"secret"};
        QVERIFY(!ShredSelectedFiles(nullptr, list, window));
        QVERIFY2(script.Boxes()[0].text.contains(
                     "secret: It has 1 other name (a hard link): overwriting reaches"),
                 qPrintable(script.Boxes()[0].text));
        QVERIFY2(Texts(script).last().contains("secret: the name was removed and the data "
                                               "overwritten, but the file remains under its "
                                               "other names (hard links)."),
                 qPrintable(Texts(script).last()));
        QFile other(dir.filePath("other name"));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.size(), qint64(10));
        QVERIFY(other.readAll() != QByteArray("the secret"));
    }

    // A file named like the temporary name is left alone; the selected file
    // is wiped under its own name.
    void takenTemporaryNameIsLeftAlone()
    {
        QTemporaryDir dir;
        WriteFile(dir.filePath(kTemporaryName), "not mine");
        WriteFile(dir.filePath("mine"), "secret");
        WipeProgressWindow window;
        Prepare(window);
        MessageBoxScript script;
        script.QueueAnswer(true);
        FakeList list;
        list.Folder = dir.path() + "/";
        list.Selected = {"mine"};
        ShredSelectedFiles(nullptr, list, window);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{kTemporaryName});
        QFile other(dir.filePath(kTemporaryName));
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("not mine"));
        QCOMPARE(Texts(script).last(), "Ciphra 2K: " + kAllShredded);
    }

    // Any other failure ends the command where it happens: later files stay,
    // no refresh and no summary, and the window and pointer are restored.
    void otherFailureEndsTheCommand()
    {
        QTemporaryDir dir;
        WriteFile(dir.filePath("first"), "one");
        WriteFile(dir.filePath("second"), "two");
        WipeProgressWindow window;
        Prepare(window);
        window.clockText = []() -> QString { throw ciphra::Exception("Disk full"); };
        MessageBoxScript script;
        script.QueueAnswer(true);
        FakeList list;
        list.Folder = dir.path();
        list.Selected = {"first", "second"};
        QVERIFY_THROWS_EXCEPTION(ciphra::Exception, ShredSelectedFiles(nullptr, list, window));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({kTemporaryName, "second"}));
        QCOMPARE(script.Boxes().size(), std::size_t(1));
        QVERIFY(list.Log.isEmpty());
        QVERIFY(!window.isVisible());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
};

QTEST_MAIN(TestShredCommand)
#include "test_shred_command.moc"
