#pragma once
// What the file commands need of the main window's file list: the folder it
// lists, the captions of the selected entries, listing the folder of the path
// box again and clearing the selection. The main window implements it; tests
// give a stand-in. Full paths are formed with FullPath (gui/browse/item_id.h).

#include <QString>
#include <QStringList>

namespace ciphra::gui {

class FileListHost {
public:
    virtual ~FileListHost() = default;

    // The folder the list shows. Text typed into the path box counts only
    // once it is committed and listed.
    virtual QString FolderPath() const = 0;
    // The captions of the selected entries, in list order.
    virtual QStringList SelectedNames() const = 0;
    // Lists the folder of the path box again.
    virtual void RefreshFromPathBox() = 0;
    // Leaves no entry selected.
    virtual void ClearSelection() = 0;
};

} // namespace ciphra::gui
