#pragma once
// Paths handed to the program from outside: on its command line (by a file
// manager's "open with" or action, or typed) or dropped on its window.

#include <QString>
#include <QStringList>

#include <vector>

class QMimeData;

namespace ciphra::gui {

// The absolute, clean form of a given path: a "file:" URL is taken as its
// local path, a relative path as relative to the current folder.
QString AbsoluteGivenPath(const QString& given);

// The local files and folders of dropped data, as absolute paths, in the
// order of its URLs; URLs of other schemes are left out.
QStringList DroppedPaths(const QMimeData& data);

// The given files of one folder, each name once, in the order given.
struct FolderFiles {
    QString Folder;
    QStringList Names;
};

// Groups absolute paths by their folder, the folders in the order in which
// they first appear.
std::vector<FolderFiles> GroupByFolder(const QStringList& absolutePaths);

// The paths of which nothing (not even a dangling link) carries the name.
QStringList MissingPaths(const QStringList& absolutePaths);

// The box shown for given paths that do not exist, before their list.
inline constexpr const char* GivenPathsMissingText = "File or folder not found:";

} // namespace ciphra::gui
