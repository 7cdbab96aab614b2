#pragma once
// What the file commands need of the main window's file list: the folder in
// the path box, the captions of the selected entries, listing the folder
// again and clearing the selection. The main window implements it; tests
// give a stand-in.

#include <QString>
#include <QStringList>

namespace ciphra::ui {

class FileListHost {
public:
    virtual ~FileListHost() = default;

    // The path box text.
    virtual QString FolderPath() const = 0;
    // The captions of the selected entries, in list order.
    virtual QStringList SelectedNames() const = 0;
    // Lists the folder of the path box again.
    virtual void RefreshFromPathBox() = 0;
    // Leaves no entry selected.
    virtual void ClearSelection() = 0;
};

// The full path of an entry: the folder, "/" unless it already ends in "/",
// then the caption.
inline QString EntryPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace ciphra::ui
