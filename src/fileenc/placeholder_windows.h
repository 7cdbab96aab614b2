#pragma once
// Stand-in for the file list's host interface until its own header is
// merged. Removed on merge.

#include <QStringList>

namespace ciphra::ui {

class FileListHost {
public:
    virtual QString FolderPath() const = 0;
    virtual QStringList SelectedNames() const = 0;
    virtual void RefreshFromPathBox() = 0;
    virtual void ClearSelection() = 0;

protected:
    ~FileListHost() = default;
};

} // namespace ciphra::ui
