#include "gui/list/file_list_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QTreeView>

#include <algorithm>

namespace ciphra::gui {
namespace {

// A view that reports releases and keys to the owning list and routes
// type-ahead to the list's own prefix find.
template <typename View> class HookedView : public View {
public:
    HookedView(FileListView& list, const FileListHooks& hooks) : list_(list), hooks_(hooks) {}

    void keyboardSearch(const QString& search) override
    {
        // Keys typed within the input interval extend the search text and
        // search on from the current row; a new search starts after it.
        const bool newSearch =
            !typing_.isValid() || typing_.elapsed() > QApplication::keyboardInputInterval();
        text_ = newSearch ? search : text_ + search;
        typing_.start();
        list_.FindAndSelect(text_, newSearch);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (hooks_.keyDown && hooks_.keyDown(event))
            return;
        View::keyPressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        View::mouseReleaseEvent(event);
        if (hooks_.mouseUp)
            hooks_.mouseUp(event->button());
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        View::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton && hooks_.doubleClick)
            hooks_.doubleClick();
    }

private:
    FileListView& list_;
    const FileListHooks& hooks_;
    QString text_;
    QElapsedTimer typing_;
};

void SetCommonViewOptions(QAbstractItemView& view)
{
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setContextMenuPolicy(Qt::NoContextMenu); // opened only by the release rule
    // Rows dragged out give a file manager their files; nothing is dropped in.
    view.setDragEnabled(true);
    view.setDragDropMode(QAbstractItemView::DragOnly);
    view.setDefaultDropAction(Qt::CopyAction);
}

} // namespace

FileListView::FileListView(FileListModel& model, QWidget* parent)
    : QStackedWidget(parent), model_(model)
{
    auto* report = new HookedView<QTreeView>(*this, hooks_);
    report->setObjectName(QStringLiteral("ListView"));
    report->setModel(&model_);
    report->setRootIsDecorated(false);
    report->setItemsExpandable(false);
    report->setUniformRowHeights(true); // only drawn rows are asked for data
    report->setAllColumnsShowFocus(true);
    report->header()->setSectionsClickable(false);
    report->header()->setStretchLastSection(false);
    const int widths[FileListModel::kColumnCount] = {175, 75, 150, 100, 75};
    for (int column = 0; column < FileListModel::kColumnCount; ++column)
        report->header()->resizeSection(column, widths[column]);
    SetCommonViewOptions(*report);
    report_ = report;

    auto* icons = new HookedView<QListView>(*this, hooks_);
    icons->setObjectName(QStringLiteral("ListViewIcons"));
    icons->setModel(&model_);
    icons->setSelectionModel(report_->selectionModel());
    icons->setUniformItemSizes(true);
    icons->setResizeMode(QListView::Adjust);
    icons->setWrapping(true);
    SetCommonViewOptions(*icons);
    icons_ = icons;

    addWidget(report_);
    addWidget(icons_);
    setCurrentWidget(report_);
}

void FileListView::SetHooks(FileListHooks hooks)
{
    hooks_ = std::move(hooks);
}

void FileListView::SetViewStyle(ViewStyle style)
{
    const bool hadFocus = CurrentView()->hasFocus();
    style_ = style;
    const int small = style == ViewStyle::LargeIcons ? 32 : 16;
    icons_->setIconSize(QSize(small, small));
    switch (style) {
    case ViewStyle::LargeIcons:
        icons_->setViewMode(QListView::IconMode);
        icons_->setMovement(QListView::Static);
        icons_->setGridSize(QSize(80, 64));
        icons_->setFlow(QListView::LeftToRight);
        break;
    case ViewStyle::SmallIcons:
        icons_->setViewMode(QListView::ListMode);
        icons_->setGridSize(QSize(150, 20));
        icons_->setFlow(QListView::LeftToRight);
        break;
    case ViewStyle::List:
        icons_->setViewMode(QListView::ListMode);
        icons_->setGridSize(QSize());
        icons_->setFlow(QListView::TopToBottom);
        break;
    case ViewStyle::Report:
        break;
    }
    icons_->setWrapping(true);
    QAbstractItemView* shown = style == ViewStyle::Report ? static_cast<QAbstractItemView*>(report_)
                                                          : static_cast<QAbstractItemView*>(icons_);
    setCurrentWidget(shown);
    if (hadFocus)
        shown->setFocus();
}

QAbstractItemView* FileListView::CurrentView() const
{
    if (style_ == ViewStyle::Report)
        return report_;
    return icons_;
}

QItemSelectionModel* FileListView::Selection() const
{
    return report_->selectionModel();
}

std::vector<int> FileListView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange& range : Selection()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int FileListView::FirstSelectedRow() const
{
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void FileListView::ClearSelection()
{
    Selection()->clearSelection();
}

void FileListView::SelectRows(const std::vector<int>& rows)
{
    QItemSelection selection;
    for (const int row : rows) {
        selection.select(model_.index(row, 0), model_.index(row, 0));
    }
    Selection()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (rows.empty()) {
        return;
    }
    const QModelIndex first = model_.index(rows.front(), 0);
    Selection()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    CurrentView()->scrollTo(first);
}

void FileListView::SelectFirstRow()
{
    if (model_.EntryCount() == 0)
        return;
    const QModelIndex first = model_.index(0, 0);
    Selection()->setCurrentIndex(first,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(first);
}

QPoint FileListView::RowTopLeftOnScreen(int row) const
{
    QAbstractItemView* view = CurrentView();
    const QRect rect = view->visualRect(model_.index(row, 0));
    return view->viewport()->mapToGlobal(rect.topLeft());
}

void FileListView::FindAndSelect(const QString& text, bool newSearch)
{
    const int current =
        Selection()->currentIndex().isValid() ? Selection()->currentIndex().row() : 0;
    int start = newSearch ? current + 1 : current;
    if (start >= model_.EntryCount())
        start = 0;
    const int found = model_.FindByPrefix(text, start, true);
    if (found < 0)
        return;
    const QModelIndex index = model_.index(found, 0);
    Selection()->setCurrentIndex(index,
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    CurrentView()->scrollTo(index);
}

} // namespace ciphra::gui
