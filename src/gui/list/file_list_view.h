#pragma once
// The file list control: one model shown in four view styles. Large icons,
// small icons and list are a QListView, report (details) a QTreeView; both
// share one selection model, so commands read one selection whatever the
// style. Mouse releases, keys and double clicks are handed to the owner
// through hooks, keys before the view acts on them.

#include "gui/list/file_list_model.h"

#include <QStackedWidget>

#include <functional>
#include <vector>

class QAbstractItemView;
class QItemSelectionModel;
class QKeyEvent;
class QListView;
class QTreeView;

namespace ciphra::gui {

class UniformItemDelegate;

enum class ViewStyle { LargeIcons = 0, SmallIcons = 1, List = 2, Report = 3 };

struct FileListHooks {
    std::function<void(Qt::MouseButton)> mouseUp; // after the view handled the release
    std::function<bool(QKeyEvent*)> keyDown;      // true: the key is consumed
    std::function<void()> doubleClick;
};

class FileListView : public QStackedWidget {
    Q_OBJECT
public:
    FileListView(FileListModel& model, QWidget* parent = nullptr);

    void SetHooks(FileListHooks hooks);
    void SetViewStyle(ViewStyle style);
    ViewStyle CurrentViewStyle() const { return style_; }

    QAbstractItemView* CurrentView() const;
    QTreeView* ReportView() const { return report_; }
    QListView* IconView() const { return icons_; }
    QItemSelectionModel* Selection() const;

    // Selected rows in list order.
    std::vector<int> SelectedRows() const;
    int FirstSelectedRow() const; // -1 when nothing is selected
    void ClearSelection();
    // Selects exactly these rows, makes the first current and scrolls to it.
    void SelectRows(const std::vector<int>& rows);
    // Selects and focuses row 0 and scrolls it into view (nothing when empty).
    void SelectFirstRow();
    // Top-left corner of a row in screen coordinates.
    QPoint RowTopLeftOnScreen(int row) const;
    // Incremental find from the view's typed text.
    void FindAndSelect(const QString& text, bool newSearch);

private:
    FileListModel& model_;
    QTreeView* report_;
    QListView* icons_;
    UniformItemDelegate* iconSizes_;
    ViewStyle style_ = ViewStyle::Report;
    FileListHooks hooks_;
};

} // namespace ciphra::gui
