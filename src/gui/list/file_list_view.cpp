#include "gui/list/file_list_view.h"

#include "gui/kit/accessible.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QLocale>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <optional>
#include <vector>

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

// The width the Modified column needs for the dates and times the list can
// show in the user's locale: the widest text of a date in each month (day
// and hour with two digits, standard and daylight-saving time names) plus the
// item's text margins. Measured from texts alone, without any entry.
int ModifiedColumnWidth(const QTreeView& view)
{
    const QLocale locale;
    const QFontMetrics metrics(view.font());
    int widest = 0;
    for (int month = 1; month <= 12; ++month) {
        for (const int hour : {10, 22}) {
            const QDateTime sample(QDate(2000, month, 28), QTime(hour, 58, 58));
            const QString text =
                ModifiedText(static_cast<std::time_t>(sample.toSecsSinceEpoch()), locale);
            widest = std::max(widest, metrics.horizontalAdvance(text));
        }
    }
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return widest + 2 * margin + 4;
}

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

// The icon views lay out every item at one size (uniform sizes: only one
// item is measured, so a layout never fetches the details of rows that are
// not shown). That size is this delegate's, and it is made to fit every
// name: the grid cell in the two icon styles, and the widest name of the
// folder in the list style, measured from the names alone.
class UniformItemDelegate : public QStyledItemDelegate {
public:
    UniformItemDelegate(const FileListModel& model, QObject* parent)
        : QStyledItemDelegate(parent), model_(model)
    {
    }

    // A fixed size for every item; an invalid size: as wide as the widest name.
    void SetCell(QSize cell) { cell_ = cell; }
    void NamesChanged() { widest_.reset(); }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (cell_.isValid()) {
            return cell_;
        }
        if (!index.isValid()) {
            return QStyledItemDelegate::sizeHint(option, index);
        }
        if (!widest_) {
            widest_ = FindWidestName(option.fontMetrics);
        }
        QStyleOptionViewItem item = option;
        item.features |= QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        item.text = widest_->name;
        const QWidget* view = option.widget;
        const QStyle* style = view != nullptr ? view->style() : QApplication::style();
        QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &item, QSize(), view);
        size.rwidth() +=
            std::max(0, widest_->width - option.fontMetrics.horizontalAdvance(item.text));
        return size;
    }

private:
    struct Widest {
        QString name;
        int width = 0; // at least the width of every name
    };

    // Laying out 100,000 names one by one takes most of a second. Their
    // widths as the sums of their characters' widths (cached per character)
    // take a few milliseconds and differ from the laid-out widths by kerning
    // alone: the name with the largest sum is taken as the widest, and the
    // largest sum as the least width of the text.
    Widest FindWidestName(const QFontMetrics& metrics) const
    {
        std::vector<int> advances(0x10000, -1);
        Widest widest;
        for (int row = 0; row < model_.EntryCount(); ++row) {
            const QString& name = model_.ShownName(row);
            int sum = 0;
            for (const QChar c : name) {
                int& advance = advances[c.unicode()];
                if (advance < 0) {
                    advance = c.isSurrogate() ? metrics.maxWidth() : metrics.horizontalAdvance(c);
                }
                sum += advance;
            }
            if (sum > widest.width) {
                widest = {name, sum};
            }
        }
        return widest;
    }

    const FileListModel& model_;
    QSize cell_;
    mutable std::optional<Widest> widest_;
};

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
    int widths[FileListModel::kColumnCount] = {175, 75, 150, 100, 75};
    widths[FileListModel::kModified] =
        std::max(widths[FileListModel::kModified], ModifiedColumnWidth(*report));
    for (int column = 0; column < FileListModel::kColumnCount; ++column)
        report->header()->resizeSection(column, widths[column]);
    SetCommonViewOptions(*report);
    const QString files = QStringLiteral("Files");
    const QString filesDescription = QStringLiteral(
        "The files and folders of the listed folder; Enter opens, Backspace goes up");
    Describe(report, files, filesDescription);
    Describe(report->header(), QStringLiteral("Columns"),
             QStringLiteral("Name, Size, Type, Modified and Attributes"));
    report_ = report;

    auto* icons = new HookedView<QListView>(*this, hooks_);
    icons->setObjectName(QStringLiteral("ListViewIcons"));
    icons->setModel(&model_);
    icons->setSelectionModel(report_->selectionModel());
    icons->setUniformItemSizes(true);
    icons->setResizeMode(QListView::Adjust);
    icons->setWrapping(true);
    SetCommonViewOptions(*icons);
    Describe(icons, files, filesDescription);
    auto* sizes = new UniformItemDelegate(model_, icons);
    icons->setItemDelegate(sizes);
    connect(&model_, &QAbstractItemModel::modelReset, sizes, [sizes] { sizes->NamesChanged(); });
    icons_ = icons;
    iconSizes_ = sizes;

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
    // Each item fills its grid cell, or in the list style is as wide as the
    // widest name; set before the layout that the style changes start.
    switch (style) {
    case ViewStyle::LargeIcons:
        iconSizes_->SetCell(QSize(80, 64));
        icons_->setViewMode(QListView::IconMode);
        icons_->setMovement(QListView::Static);
        icons_->setGridSize(QSize(80, 64));
        icons_->setFlow(QListView::LeftToRight);
        break;
    case ViewStyle::SmallIcons:
        iconSizes_->SetCell(QSize(150, 20));
        icons_->setViewMode(QListView::ListMode);
        icons_->setGridSize(QSize(150, 20));
        icons_->setFlow(QListView::LeftToRight);
        break;
    case ViewStyle::List:
        iconSizes_->SetCell(QSize());
        icons_->setViewMode(QListView::ListMode);
        icons_->setGridSize(QSize());
        icons_->setFlow(QListView::TopToBottom);
        break;
    case ViewStyle::Report:
        break;
    }
    // Large icons show a long name on two lines under the icon.
    icons_->setWordWrap(style == ViewStyle::LargeIcons);
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
