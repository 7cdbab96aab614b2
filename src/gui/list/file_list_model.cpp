#include "gui/list/file_list_model.h"

#include <QCursor>
#include <QFont>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>
#include <QUrl>

#include <set>

namespace ciphra::gui {
namespace {

// The hourglass for the time of an enumeration, taken back on every exit.
class HourglassCursor {
public:
    HourglassCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~HourglassCursor() { QGuiApplication::restoreOverrideCursor(); }
    HourglassCursor(const HourglassCursor&) = delete;
    HourglassCursor& operator=(const HourglassCursor&) = delete;
};

bool StartsWithAsciiUpper(const QString& name, const QString& prefix)
{
    if (prefix.size() > name.size())
        return false;
    auto upper = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
    };
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (upper(name[i]) != upper(prefix[i]))
            return false;
    }
    return true;
}

} // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {}

void FileListModel::LoadEntries(const ItemId& folder)
{
    HourglassCursor hourglass;
    std::vector<ShellItem> loaded;
    std::vector<QString> captions;
    if (folder == kComputerId) {
        // Named for people, in their own order: home first.
        for (ComputerEntry& computer : ComputerEntries()) {
            ShellItem entry;
            entry.Name = std::move(computer.path);
            entry.IsFolder = true;
            loaded.push_back(std::move(entry));
            captions.push_back(std::move(computer.caption));
        }
    } else {
        loaded = EnumerateFolder(folder);
        order_.Sort(loaded);
    }
    beginResetModel();
    ClearEntries();
    folder_ = folder;
    entries_ = std::move(loaded);
    captions_ = std::move(captions);
    endResetModel();
}

void FileListModel::ClearEntries()
{
    std::vector<ShellItem>().swap(entries_);
    captions_.clear();
    fetched_ = 0;
}

const QString& FileListModel::ShownName(int row) const
{
    if (!captions_.empty()) {
        return captions_.at(static_cast<std::size_t>(row));
    }
    return Entry(row).Name;
}

void FileListModel::FetchDetails(int first, int last)
{
    if (first < 0 || last >= EntryCount() || first > last)
        return;
    for (int row = first; row <= last; ++row)
        Fetched(row);
}

const ShellItem& FileListModel::Fetched(int row) const
{
    ShellItem& entry = entries_[static_cast<std::size_t>(row)];
    if (entry.DetailsPending) {
        details_.FetchDetails(entry, folder_);
        ++fetched_;
    }
    return entry;
}

bool FileListModel::IsFolderEntry(int row) const
{
    return row >= 0 && row < EntryCount() && Entry(row).IsFolder;
}

int FileListModel::FindByPrefix(const QString& text, int start, bool wrap) const
{
    if (text.isEmpty() || start < 0 || start > EntryCount())
        return -1;
    for (int row = start; row < EntryCount(); ++row) {
        if (StartsWithAsciiUpper(ShownName(row), text)) {
            return row;
        }
    }
    if (wrap) {
        for (int row = 0; row < start; ++row) {
            if (StartsWithAsciiUpper(ShownName(row), text)) {
                return row;
            }
        }
    }
    return -1;
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : EntryCount();
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= EntryCount())
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return CellText(row, column);
    case Qt::DecorationRole:
        if (column != kName)
            return QVariant();
        return details_.Icon(Fetched(row).IconIndex);
    case Qt::ForegroundRole:
        // Only the name carries the markings; the other columns are drawn
        // in the window-text colour whatever the row is.
        if (column != kName)
            return QGuiApplication::palette().brush(QPalette::Active, QPalette::WindowText);
        return NameForeground(Fetched(row));
    case Qt::FontRole:
        if (column == kName) {
            if (Fetched(row).Attributes & kAttrHidden) {
                QFont underlined;
                underlined.setUnderline(true);
                return underlined;
            }
        }
        return QVariant();
    case Qt::ToolTipRole:
        // The path of a "Computer" entry, whose caption is a name.
        if (column == kName && !captions_.empty()) {
            return Entry(row).Name;
        }
        return QVariant();
    case Qt::TextAlignmentRole:
        if (column == kSize)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (column == kAttributes)
            return QVariant(Qt::AlignCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return QVariant();
    }
}

QVariant FileListModel::CellText(int row, int column) const
{
    if (column == kName)
        return ShownName(row);
    const ShellItem& entry = Fetched(row);
    switch (column) {
    case kSize:
        return SizeText(entry);
    case kType:
        // "Computer" shows each entry's path where other folders show types.
        if (!captions_.empty()) {
            return entry.Name;
        }
        return details_.FileType(entry);
    case kModified:
        return details_.Modified(entry);
    case kAttributes:
        return AttributeLetters(entry.Attributes);
    default:
        return QVariant();
    }
}

QVariant FileListModel::NameForeground(const ShellItem& entry) const
{
    // System comes last, so a read-only system entry shows the highlight colour.
    const QPalette palette = QGuiApplication::palette();
    if (entry.Attributes & kAttrSystem)
        return palette.brush(QPalette::Active, QPalette::Highlight);
    if (entry.Attributes & kAttrReadOnly)
        return palette.brush(QPalette::Disabled, QPalette::Text);
    return QVariant();
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return QVariant();
    if (role == Qt::DisplayRole) {
        static const char* const captions[kColumnCount] = {"Name", "Size", "Type", "Modified",
                                                           "Attributes"};
        if (section >= 0 && section < kColumnCount)
            return QString::fromLatin1(captions[section]);
    }
    if (role == Qt::TextAlignmentRole && section == kSize)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::TextAlignmentRole && section == kAttributes)
        return QVariant(Qt::AlignCenter);
    return QVariant();
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid()) {
        flags |= Qt::ItemIsDragEnabled;
    }
    return flags;
}

QStringList FileListModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* FileListModel::mimeData(const QModelIndexList& indexes) const
{
    // One index per column of each row: each row once, in list order.
    std::set<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < EntryCount()) {
            rows.insert(index.row());
        }
    }
    QList<QUrl> urls;
    for (const int row : rows) {
        urls << QUrl::fromLocalFile(ConcatId(folder_, Entry(row).Name));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions FileListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

} // namespace ciphra::gui
