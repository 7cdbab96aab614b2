#include "gui/browse/item_id.h"

#include "core/error.h"

#include <QDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace ciphra::gui {

ItemId ParentId(const ItemId& id)
{
    if (id == QLatin1String("/"))
        return kComputerId;
    if (!id.startsWith(QLatin1Char('/')))
        return ItemId();
    const qsizetype slash = id.lastIndexOf(QLatin1Char('/'));
    return slash == 0 ? QStringLiteral("/") : id.left(slash);
}

ItemId ConcatId(const ItemId& folder, const QString& relativeId)
{
    if (folder == kComputerId)
        return relativeId;
    return FullPath(folder, relativeId);
}

QString FullPath(const QString& folderText, const QString& caption)
{
    if (folderText.endsWith(QLatin1Char('/')))
        return folderText + caption;
    return folderText + QLatin1Char('/') + caption;
}

ItemId ParseDisplayName(const QString& text)
{
    if (text.compare(kComputerId, Qt::CaseInsensitive) == 0)
        return kComputerId;
    QString path = text;
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!path.startsWith(QLatin1Char('/')))
        throw Exception(QStringLiteral("The path \"%1\" is not an absolute folder path")
                            .arg(text)
                            .toStdString());
    path = QDir::cleanPath(path);
    struct stat info {};
    const QByteArray native = QFile::encodeName(path);
    if (::stat(native.constData(), &info) != 0)
        throw Exception(QStringLiteral("%1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno)))
                            .toStdString());
    if (!S_ISDIR(info.st_mode))
        throw Exception(QStringLiteral("%1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(ENOTDIR)))
                            .toStdString());
    return path;
}

} // namespace ciphra::gui
