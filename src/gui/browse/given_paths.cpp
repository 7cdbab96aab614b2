#include "gui/browse/given_paths.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <iterator>

namespace ciphra::gui {

QString AbsoluteGivenPath(const QString& given)
{
    QString path = given;
    if (given.startsWith(QLatin1String("file:"))) {
        const QUrl url(given);
        if (url.isLocalFile()) {
            path = url.toLocalFile();
        }
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QStringList DroppedPaths(const QMimeData& data)
{
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            paths << QDir::cleanPath(url.toLocalFile());
        }
    }
    return paths;
}

std::vector<FolderFiles> GroupByFolder(const QStringList& absolutePaths)
{
    std::vector<FolderFiles> groups;
    for (const QString& path : absolutePaths) {
        const QFileInfo info(path);
        const QString folder = info.path();
        const QString name = info.fileName();
        if (name.isEmpty()) { // "/" has no folder to be listed in
            continue;
        }
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const FolderFiles& g) { return g.Folder == folder; });
        if (group == groups.end()) {
            groups.push_back({folder, {}});
            group = std::prev(groups.end());
        }
        if (!group->Names.contains(name)) {
            group->Names << name;
        }
    }
    return groups;
}

QStringList MissingPaths(const QStringList& absolutePaths)
{
    QStringList missing;
    for (const QString& path : absolutePaths) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) {
            missing << path;
        }
    }
    return missing;
}

} // namespace ciphra::gui
