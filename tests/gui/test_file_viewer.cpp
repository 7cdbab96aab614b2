// The file viewer: what it shows for a file's bytes, that it is emptied
// between views, its failure for a file it cannot open, and its cut for very
// large files.

#include "gui/kit/application.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/windows/banner_strip.h"
#include "gui/windows/file_viewer.h"
#include "support/test_files.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <sys/stat.h>

using namespace ciphra::gui;
using ciphra::test::TempFolder;
using ciphra::test::WriteBytes;

namespace {

// What one showing of the viewer looked like.
struct Seen {
    QString title;
    QString text;
    bool readOnly = false;
    bool noteShown = false;
};

ModalScript::Step Look(FileViewerWindow& viewer, Seen& seen)
{
    return [&viewer, &seen](QDialog& shown) {
        seen = {shown.windowTitle(), viewer.textView->toPlainText(), viewer.textView->isReadOnly(),
                !viewer.truncatedNote->isHidden()};
        return int(QDialog::Rejected);
    };
}

} // namespace

class TestFileViewer : public QObject {
    Q_OBJECT
private slots:
    void layout()
    {
        FileViewerWindow viewer;
        QCOMPARE(viewer.pos(), QPoint(192, 107));
        QVERIFY(!(viewer.windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(viewer.bannerStrip->height(), 25);
        QCOMPARE(viewer.textView->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(viewer.textView->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(viewer.textView->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // Some monospaced fonts do not flag themselves as fixed pitch: measure.
        const QFontMetrics metrics(viewer.textView->font());
        QCOMPARE(metrics.horizontalAdvance("iiii"), metrics.horizontalAdvance("WWWW"));
        QCOMPARE(viewer.textView->font().pixelSize(), 12);
        QCOMPARE(viewer.cancelButton->text(), QString("This is invisible"));
        QVERIFY(viewer.cancelButton->isHidden());
    }

    // The file's bytes as plain text: formatting codes raw, line breaks kept,
    // bytes that are not UTF-8 shown as Latin-1, zero bytes as a symbol.
    void showsTheBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("rich text shown raw")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl\\f0 Arial;}\\f0\\b bold\\b0\\par}")
            << "{\\rtf1\\ansi{\\fonttbl\\f0 Arial;}\\f0\\b bold\\b0\\par}";
        QTest::newRow("line breaks") << QByteArray("one\r\ntwo\nthree") << "one\ntwo\nthree";
        QTest::newRow("utf-8") << QByteArray("\xC3\xA9t\xC3\xA9") << QString::fromUtf8("été");
        QTest::newRow("8-bit bytes")
            << QByteArray("\xE9t\xE9 \xC3\xA9") << QString::fromUtf8("été é");
        QTest::newRow("zero bytes") << QByteArray("a\0b", 3) << QString::fromUtf8("a\u2400b");
    }
    void showsTheBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        TempFolder folder;
        const std::string path = folder / "file.txt";
        WriteBytes(path, bytes.toStdString());
        FileViewerWindow viewer;
        Seen seen;
        ModalScript script;
        script.Queue(Look(viewer, seen));
        viewer.ViewFile(QString::fromStdString(path));
        QCOMPARE(seen.title, QString("File viewer"));
        QCOMPARE(seen.text, shown);
        QVERIFY(seen.readOnly);
        QVERIFY(!seen.noteShown);
        QVERIFY(viewer.textView->toPlainText().isEmpty());
    }

    void secondViewShowsOnlyTheSecondFile()
    {
        TempFolder folder;
        WriteBytes(folder / "first.txt", "first file");
        WriteBytes(folder / "second.txt", "second");
        FileViewerWindow viewer;
        Seen first, second;
        ModalScript script;
        script.Queue(Look(viewer, first));
        script.Queue(Look(viewer, second));
        viewer.ViewFile(QString::fromStdString(folder / "first.txt"));
        viewer.ViewFile(QString::fromStdString(folder / "second.txt"));
        QCOMPARE(first.text, QString("first file"));
        QCOMPARE(second.text, QString("second"));
    }

    void escapeClosesThroughTheHiddenButton()
    {
        TempFolder folder;
        WriteBytes(folder / "a.txt", "text");
        FileViewerWindow viewer;
        bool closed = false;
        QString before;
        ModalScript script;
        script.Queue([&](QDialog& shown) {
            shown.show();
            before = viewer.textView->toPlainText();
            QTest::keyClick(viewer.textView, Qt::Key_Escape);
            closed = !shown.isVisible();
            return shown.result();
        });
        viewer.ViewFile(QString::fromStdString(folder / "a.txt"));
        QCOMPARE(before, QString("text"));
        QVERIFY(closed);
        QVERIFY(viewer.textView->toPlainText().isEmpty());
    }

    // The viewer is not shown; the error report names the full path.
    void cannotOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing file") << "missing.txt";
        QTest::newRow("folder") << "folder";
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("no read permission") << "locked.txt";
    }
    void cannotOpen()
    {
        QFETCH(QString, name);
        TempFolder folder;
        std::filesystem::create_directory(folder.Path() / "folder");
        QVERIFY(mkfifo((folder / "fifo").c_str(), 0600) == 0);
        WriteBytes(folder / "locked.txt", "secret");
        std::filesystem::permissions(folder.Path() / "locked.txt", std::filesystem::perms::none);
        ciphra::test::AsFolderOwner owner(folder.Path()); // root reads every file

        const QString path = QString::fromStdString(folder / name.toStdString());
        FileViewerWindow viewer;
        MessageBoxScript boxes;
        ModalScript script;
        QVERIFY(!RunGuarded([&] { viewer.ViewFile(path); }));
        QVERIFY(script.Shown().empty());
        QCOMPARE(boxes.Boxes().size(), std::size_t(1));
        QCOMPARE(boxes.Boxes()[0].kind, BoxKind::ErrorReport);
        QCOMPARE(boxes.Boxes()[0].text, "Cannot open file " + path + ".");
    }

    // Lines over the limit are shown in pieces, cut after a space where one
    // is near; nothing is lost or added but the breaks.
    void longLinesAreShownInPieces_data()
    {
        const qsizetype n = FileViewerWindow::kLongLine;
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<qsizetype>>("pieces");
        QTest::newRow("at the limit") << QString(n, 'x') << QList<qsizetype>{n};
        QTest::newRow("no spaces") << QString(2 * n + 1, 'x') << QList<qsizetype>{n, n, 1};
        QString spaced(n + 10, 'x');
        spaced[n - 100] = ' ';
        QTest::newRow("after the last space") << spaced << QList<qsizetype>{n - 99, 109};
        QString early(n + 10, 'x');
        early[10] = ' ';
        QTest::newRow("space too early") << early << QList<qsizetype>{n, 10};
        QString astral = QString(n - 1, 'x') + QString::fromUtf8("\U0001F511") + "y";
        QTest::newRow("pair kept whole") << astral << QList<qsizetype>{n - 1, 3};
    }
    void longLinesAreShownInPieces()
    {
        QFETCH(QString, line);
        QFETCH(QList<qsizetype>, pieces);
        TempFolder folder;
        WriteBytes(folder / "long.txt", (line + "\nshort\n").toStdString());
        FileViewerWindow viewer;
        Seen seen;
        ModalScript script;
        script.Queue(Look(viewer, seen));
        viewer.ViewFile(QString::fromStdString(folder / "long.txt"));
        QStringList shown = seen.text.split('\n');
        QCOMPARE(shown.takeLast(), QString());
        QCOMPARE(shown.takeLast(), QString("short"));
        QList<qsizetype> lengths;
        for (const QString& piece : shown)
            lengths << piece.size();
        QCOMPARE(lengths, pieces);
        QCOMPARE(shown.join(QString()), line);
    }

    // A file over the limit shows its first part with the note; the next
    // view of a small file shows no note.
    void largeFileShowsItsFirstPart()
    {
        TempFolder folder;
        std::string big(std::size_t(FileViewerWindow::kShownBytes) + 4096, 'x');
        for (std::size_t i = 100; i < big.size(); i += 101)
            big[i] = '\n';
        WriteBytes(folder / "big.txt", big);
        WriteBytes(folder / "exact.txt", big.substr(0, std::size_t(FileViewerWindow::kShownBytes)));
        FileViewerWindow viewer;
        Seen large, exact;
        ModalScript script;
        script.Queue(Look(viewer, large));
        script.Queue(Look(viewer, exact));
        viewer.ViewFile(QString::fromStdString(folder / "big.txt"));
        viewer.ViewFile(QString::fromStdString(folder / "exact.txt"));
        QCOMPARE(large.text.size(), FileViewerWindow::kShownBytes);
        QVERIFY(large.noteShown);
        QCOMPARE(exact.text.size(), FileViewerWindow::kShownBytes);
        QVERIFY(!exact.noteShown);
    }
};

int main(int argc, char** argv)
{
    Application app(argc, argv);
    TestFileViewer test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_file_viewer.moc"
