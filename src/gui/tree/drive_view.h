#pragma once
// The drive and folder tree beside the file list: folders only, under "/",
// read-only, not watching for changes. Its directory is the path of the
// selected node; setting it selects the node of that folder, or of its
// nearest existing parent, and keeps it in view while the folders around it
// are read. Three events: Change (the selected node changed),
// Click and KeyDown (before the tree acts on the key).

#include <QTimer>
#include <QTreeView>

class QFileSystemModel;

namespace ciphra::gui {

class DriveView : public QTreeView {
    Q_OBJECT
public:
    explicit DriveView(QWidget* parent = nullptr);

    // The selected folder's full path; empty when no node is selected.
    QString Directory() const;
    // Selects the node of path, trying its parents in turn. A text that
    // names no folder of the tree changes nothing.
    void SetDirectory(const QString& path);

signals:
    void Change();
    void Click();
    void KeyDown(int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QFileSystemModel* folders_;
    // After SetDirectory the view keeps the selected node in sight while the
    // folders around it are read, until the user clicks, scrolls or types.
    QTimer follow_;
    bool following_ = false;
};

} // namespace ciphra::gui
