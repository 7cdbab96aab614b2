// Folder logic without widgets: identifiers, path parsing, column texts,
// mount filtering, the sort order, enumeration and details.

#include "gui/browse/folder_reader.h"
#include "support/test_files.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

using namespace ciphra::gui;

namespace {

void Touch(const QString& path, qint64 size = 0)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

QString ParseError(const QString& text)
{
    try {
        ParseDisplayName(text);
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }
    return QString();
}

} // namespace

class TestBrowse : public QObject {
    Q_OBJECT
private slots:
    void parentAndConcat_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("parent");
        QTest::newRow("nested") << "/home/user"
                                << "/home";
        QTest::newRow("under root") << "/home"
                                    << "/";
        QTest::newRow("root goes to Computer") << "/" << kComputerId;
        QTest::newRow("Computer goes to the namespace root") << kComputerId << "";
        QTest::newRow("namespace root stays") << ""
                                              << "";
    }
    void parentAndConcat()
    {
        QFETCH(QString, id);
        QFETCH(QString, parent);
        QCOMPARE(ParentId(id), parent);
    }

    void fullPath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain folder") << "/home/u"
                                      << "a.txt"
                                      << "/home/u/a.txt";
        QTest::newRow("root ends in slash") << "/"
                                            << "etc"
                                            << "/etc";
        QTest::newRow("trailing slash kept") << "/tmp/"
                                             << "x"
                                             << "/tmp/x";
    }
    void fullPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, caption);
        QFETCH(QString, path);
        QCOMPARE(FullPath(folder, caption), path);
        QCOMPARE(ConcatId(folder, caption), path);
    }

    void concatInComputerTakesTheAbsolutePath()
    {
        QCOMPARE(ConcatId(kComputerId, "/media/usb"), QString("/media/usb"));
    }

    void parseAcceptsFolders_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("id");
        QTest::newRow("computer") << "computer:///" << kComputerId;
        QTest::newRow("computer in other case") << "Computer:///" << kComputerId;
        QTest::newRow("home") << "~" << QDir::homePath();
        QTest::newRow("below home") << "~/" << QDir::homePath();
        QTest::newRow("cleaned") << "/tmp/../tmp/"
                                 << "/tmp";
        QTest::newRow("root") << "/"
                              << "/";
    }
    void parseAcceptsFolders()
    {
        QFETCH(QString, text);
        QFETCH(QString, id);
        QCOMPARE(ParseDisplayName(text), id);
    }

    void parseRejects_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("relative") << "tmp"
                                  << "is not an absolute folder path";
        QTest::newRow("empty") << ""
                               << "is not an absolute folder path";
        QTest::newRow("missing") << "/no/such/folder/here"
                                 << "No such file or directory";
        QTest::newRow("a file") << "/proc/version"
                                << "Not a directory";
    }
    void parseRejects()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        QVERIFY2(ParseError(text).contains(message), qPrintable(ParseError(text)));
    }

    void sizeColumn_data()
    {
        QTest::addColumn<qulonglong>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty file") << 0ULL << "1KB";
        QTest::newRow("999") << 999ULL << "1KB";
        QTest::newRow("1999") << 1999ULL << "1KB";
        QTest::newRow("2000") << 2000ULL << "2KB";
        QTest::newRow("12345") << 12345ULL << "12KB";
        QTest::newRow("low 32 bits only") << 5000000000ULL << "705032KB";
        QTest::newRow("exactly 4 GiB is 0, shown as 1") << 4294967296ULL << "1KB";
    }
    void sizeColumn()
    {
        QFETCH(qulonglong, bytes);
        QFETCH(QString, text);
        ShellItem entry;
        entry.SizeKB = SizeKBOf(bytes);
        QCOMPARE(SizeText(entry), text);
        entry.IsFolder = true;
        QCOMPARE(SizeText(entry), QString());
    }

    void modifiedColumn()
    {
        const QLocale locale(QLocale::English, QLocale::UnitedStates);
        const QDate day(2024, 3, 9);
        const auto at = [&](int h, int m, int s) {
            return static_cast<std::time_t>(QDateTime(day, QTime(h, m, s)).toSecsSinceEpoch());
        };
        const QString date = locale.toString(day, QLocale::ShortFormat);
        QCOMPARE(ModifiedText(0, locale), QString());
        QCOMPARE(ModifiedText(at(0, 0, 0), locale), date);
        QCOMPARE(ModifiedText(at(0, 0, 1), locale),
                 date + " " + locale.toString(QTime(0, 0, 1), QLocale::LongFormat));
        QCOMPARE(ModifiedText(at(13, 5, 0), locale),
                 date + " " + locale.toString(QTime(13, 5, 0), QLocale::LongFormat));
    }

    void attributeLetters_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("letters");
        QTest::newRow("none") << 0 << "";
        QTest::newRow("read-only") << int(kAttrReadOnly) << "r";
        QTest::newRow("hidden system") << int(kAttrHidden | kAttrSystem) << "hs";
        QTest::newRow("all") << int(kAttrReadOnly | kAttrHidden | kAttrSystem) << "rhs";
    }
    void attributeLetters()
    {
        QFETCH(int, bits);
        QFETCH(QString, letters);
        QCOMPARE(AttributeLetters(static_cast<std::uint8_t>(bits)), letters);
    }

    void realMountPoints()
    {
        const QByteArray mounts = "proc /proc proc rw 0 0\n"
                                  "sysfs /sys sysfs ro 0 0\n"
                                  "tmpfs /run tmpfs rw 0 0\n"
                                  "overlay / overlay rw 0 0\n"
                                  "cgroup2 /sys/fs/cgroup cgroup2 rw 0 0\n"
                                  "/dev/sdb1 /media/my\\040stick vfat rw 0 0\n"
                                  "/dev/sda2 /boot ext4 rw 0 0\n"
                                  "/dev/sda2 /boot ext4 rw 0 0\n"
                                  "server:/export /mnt/nfs nfs4 rw 0 0\n";
        QStringList found;
        for (const MountPoint& mount : RealMountPoints(mounts))
            found << mount.source + " " + mount.point;
        QCOMPARE(found, QStringList({"/dev/sdb1 /media/my stick", "/dev/sda2 /boot",
                                     "server:/export /mnt/nfs"}));
    }

    void computerStartsWithHomeAndRoot()
    {
        const std::vector<ComputerEntry> entries = ComputerEntries();
        QVERIFY(entries.size() >= 2);
        QCOMPARE(entries[0].path, QDir::homePath());
        QCOMPARE(entries[0].caption, QString("Home"));
        QCOMPARE(entries[1].path, QString("/"));
        QCOMPARE(entries[1].caption, QString("File System"));
    }

    void computerCaptions_data()
    {
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("caption");
        QTest::newRow("home") << QDir::homePath() << "/dev/sda3"
                              << "Home";
        QTest::newRow("root") << "/"
                              << "/dev/sda1"
                              << "File System";
        QTest::newRow("labelled device") << "/media/ann/0A1B"
                                         << "/dev/sdz7"
                                         << "My Stick";
        QTest::newRow("device without a label") << "/boot"
                                                << "/dev/sdz9"
                                                << "boot";
        QTest::newRow("network share") << "/mnt/shared files"
                                       << "server:/export"
                                       << "shared files";
    }
    void computerCaptions()
    {
        QFETCH(QString, point);
        QFETCH(QString, source);
        QFETCH(QString, caption);
        const QHash<QString, QString> labels = {{"/dev/sdz7", "My Stick"}};
        QCOMPARE(ComputerCaption(point, source, labels), caption);
    }

    // The label links name their labels with "\xHH" escapes and lead to the
    // devices, relative to their folder; a link that leads nowhere is left out.
    void volumeLabelsFromTheirLinks()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("dev") && QDir(dir.path()).mkpath("by-label"));
        Touch(dir.filePath("dev/sdb1"));
        QVERIFY(QFile::link("../dev/sdb1", dir.filePath("by-label/My\\x20Stick")));
        QVERIFY(QFile::link("../dev/gone", dir.filePath("by-label/GONE")));
        const QHash<QString, QString> labels = VolumeLabels(dir.filePath("by-label"));
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.value(QFileInfo(dir.filePath("dev/sdb1")).canonicalFilePath()),
                 QString("My Stick"));
        QVERIFY(VolumeLabels(dir.filePath("no-such-folder")).isEmpty());
    }

    // Where the extension says nothing, the type comes from the file's first
    // bytes; encrypted files are named as such whatever the MIME database knows.
    void typeColumn_data()
    {
        QByteArray elf(64, '\0');
        elf.replace(0, 7,
                    QByteArray("\x7f"
                               "ELF\x02\x01\x01",
                               7));
        elf[16] = 2; // an executable, little-endian
        elf[18] = 0x3e;
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("type");
        QTest::newRow("program without extension") << "tool" << elf << "executable";
        QTest::newRow("script without extension")
            << "run-me" << QByteArray("#!/bin/sh\necho hi\n") << "shell script";
        QTest::newRow(".bin holding a PDF")
            << "data.bin" << QByteArray("%PDF-1.4\n%\xe2\xe3\n") << "PDF document";
        QTest::newRow("encrypted")
            << "report.doc.CPH" << QByteArray("\x93\x11\xfe\x02") << "Ciphra2K encrypted file";
        QTest::newRow("encrypted, lower case")
            << "notes.cph" << QByteArray("\x93\x11") << "Ciphra2K encrypted file";
        QTest::newRow("the extension wins")
            << "notes.txt" << QByteArray("%PDF-1.4\n") << "plain text document";
        QTest::newRow("nothing to go by")
            << "blob" << QByteArray("\x01\x02\x03\x04\x05") << "unknown";
    }
    void typeColumn()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, type);
        QTemporaryDir dir;
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        std::vector<ShellItem> entries = EnumerateFolder(dir.path());
        QCOMPARE(entries.size(), std::size_t(1));
        DetailFetcher details;
        details.FetchDetails(entries[0], dir.path());
        QCOMPARE(details.FileType(entries[0]), type);
    }

    // A FIFO is never opened for its content: fetching its details returns
    // at once although nothing writes to it.
    void fifoIsNotReadForItsType()
    {
        QTemporaryDir dir;
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0644) == 0);
        std::vector<ShellItem> entries = EnumerateFolder(dir.path());
        DetailFetcher details;
        details.FetchDetails(entries[0], dir.path());
        QCOMPARE(AttributeLetters(entries[0].Attributes), QString("s"));
    }

    void sortOrder()
    {
        // Folders first, then names without regard to case, digits as numbers.
        std::vector<ShellItem> entries;
        for (const char* name : {"b.txt", "file10", "A.txt", "file9", "zeta", "Alpha", "a.txt"}) {
            ShellItem entry;
            entry.Name = QString::fromLatin1(name);
            entry.IsFolder = entry.Name == "zeta" || entry.Name == "Alpha";
            entries.push_back(entry);
        }
        EntryOrder order;
        order.Sort(entries);
        QStringList names;
        for (const ShellItem& entry : entries)
            names << entry.Name;
        QCOMPARE(names,
                 QStringList({"Alpha", "zeta", "A.txt", "a.txt", "b.txt", "file9", "file10"}));
        for (std::size_t i = 1; i < entries.size(); ++i)
            QVERIFY(order.CompareEntries(entries[i - 1], entries[i]) < 0);
    }

    void enumerationAndDetails()
    {
        QTemporaryDir dir;
        Touch(dir.filePath("plain.txt"), 2500);
        Touch(dir.filePath(".hidden"));
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(QFile::link(dir.filePath("sub"), dir.filePath("link-to-sub")));
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("dangling")));
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0644) == 0);

        std::vector<ShellItem> entries = EnumerateFolder(dir.path());
        EntryOrder().Sort(entries);
        QStringList names;
        for (const ShellItem& entry : entries)
            names << entry.Name + (entry.IsFolder ? "/" : "");
        QCOMPARE(names,
                 QStringList({"link-to-sub/", "sub/", ".hidden", "dangling", "pipe", "plain.txt"}));

        DetailFetcher details;
        struct Expected {
            const char* size;
            const char* attributes;
            const char* type;
        };
        const Expected expected[] = {
            {"", "", "Folder"},    {"", "", "Folder"},    {"1KB", "h", nullptr},
            {"1KB", "s", nullptr}, {"1KB", "s", nullptr}, {"2KB", "", "plain text document"},
        };
        for (std::size_t i = 0; i < entries.size(); ++i) {
            ShellItem& entry = entries[i];
            QVERIFY(entry.DetailsPending);
            details.FetchDetails(entry, dir.path());
            QVERIFY(!entry.DetailsPending);
            QCOMPARE(SizeText(entry), QString(expected[i].size));
            QCOMPARE(AttributeLetters(entry.Attributes), QString(expected[i].attributes));
            if (expected[i].type != nullptr)
                QCOMPARE(details.FileType(entry), QString(expected[i].type));
            QVERIFY(entry.IconIndex >= 0);
        }
        // A dangling link has its own find data (the link itself) but no target.
        QVERIFY(!details.Modified(entries[3]).isEmpty());
    }

    void readOnlyEntry()
    {
        QTemporaryDir dir;
        Touch(dir.filePath("locked"));
        QVERIFY(QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner));
        ciphra::test::AsFolderOwner owner(dir.path().toStdString()); // root may write every file
        std::vector<ShellItem> entries = EnumerateFolder(dir.path());
        DetailFetcher().FetchDetails(entries[0], dir.path());
        QCOMPARE(AttributeLetters(entries[0].Attributes), QString("r"));
    }

    void enumerationFailures_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "/no/such/folder"
                                 << "No such file or directory";
        QTest::newRow("a file") << "/proc/version"
                                << "Not a directory";
    }
    void enumerationFailures()
    {
        QFETCH(QString, folder);
        QFETCH(QString, message);
        try {
            EnumerateFolder(folder);
            QFAIL("no failure");
        } catch (const std::exception& failure) {
            QVERIFY(QString::fromUtf8(failure.what()).contains(message));
        }
    }
};

QTEST_MAIN(TestBrowse)
#include "test_browse.moc"
