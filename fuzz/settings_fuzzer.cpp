// Any content of the settings file, read as the main window reads it at
// start: the options and the window placement. Checked on every input,
// for a large and a small screen: the window gets a rectangle with an area,
// no larger than the screen, with a part of it on the screen; and what the
// program would write back at close reads back unchanged at the next start.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

#include "gui/main/placement.h"

namespace {

using ciphra::gui::Placement;
using ciphra::gui::StoredOptions;

// The main window's designed bounds; they fit both screens.
constexpr QRect Designed{199, 90, 558, 393};
constexpr QSize Screens[] = {{1920, 1080}, {800, 600}};

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The files live in memory where the system has a memory file system, since
// every settings file written is flushed to disk.
QString FileNamed(const QString& name)
{
    static QTemporaryDir folder((QDir(QStringLiteral("/dev/shm")).exists()
                                     ? QStringLiteral("/dev/shm")
                                     : QDir::tempPath()) +
                                QStringLiteral("/ciphra-settings-XXXXXX"));
    return folder.filePath(name);
}

// The settings layer caches a file by name and reads it again only when its
// size or time has changed: every input's file gets a time of its own.
QString WriteInput(const std::uint8_t* data, std::size_t size)
{
    static qint64 count = 0;
    const QString path = FileNamed(QStringLiteral("input.conf"));
    QFile file(path);
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    Check(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
          static_cast<qint64>(size));
    Check(file.setFileTime(QDateTime::fromSecsSinceEpoch(++count, Qt::UTC),
                           QFileDevice::FileModificationTime));
    return path;
}

bool Sane(const QRect& r, const QSize& screen)
{
    return r.width() >= 1 && r.height() >= 1 && r.width() <= screen.width() &&
           r.height() <= screen.height() && r.intersects(QRect(QPoint(0, 0), screen));
}

// What the program writes at close must come back as it was.
void CheckRoundTrip(const StoredOptions& options, const Placement& placement, const QSize& screen)
{
    // Every key is written each time, so nothing of an earlier input stays.
    const QString path = FileNamed(QStringLiteral("written.conf"));
    {
        QSettings written(path, QSettings::NativeFormat);
        ciphra::gui::WriteOptions(written, options);
        ciphra::gui::WritePlacement(written, placement);
    }
    {
        QSettings read(path, QSettings::NativeFormat);
        const StoredOptions again = ciphra::gui::ReadOptions(read);
        Check(again.selfDecrypting == options.selfDecrypting &&
              again.overwrite == options.overwrite && again.ageFormat == options.ageFormat &&
              again.selfDecryptingFor == options.selfDecryptingFor &&
              again.clearClipboard == options.clearClipboard);
        const Placement back = ciphra::gui::ReadPlacement(read, Designed, screen);
        Check(back.normal == placement.normal && back.maximized == placement.maximized);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        QSettings settings(WriteInput(data, size), QSettings::NativeFormat);
        const StoredOptions options = ciphra::gui::ReadOptions(settings);
        for (const QSize& screen : Screens) {
            const Placement placement = ciphra::gui::ReadPlacement(settings, Designed, screen);
            Check(Sane(placement.normal, screen));
            CheckRoundTrip(options, placement, screen);
        }
    }
    return 0;
}
