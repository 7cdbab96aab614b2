#pragma once
// The file list's model: the entries of one folder, in the folder's order.
// Views learn only the row count; the costly details of an entry are fetched
// the first time a view asks for a row that needs them, so only rows that are
// drawn ever cost a stat and a type lookup.

#include "gui/browse/folder_reader.h"

#include <QAbstractTableModel>

#include <vector>

namespace ciphra::gui {

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kName, kSize, kType, kModified, kAttributes, kColumnCount };

    explicit FileListModel(QObject* parent = nullptr);

    // Enumerates and sorts the folder, then replaces the entries in one model
    // reset. Shows the hourglass meanwhile. Throws ciphra::Exception when the
    // folder cannot be read; the entries and the folder stay as they were.
    void LoadEntries(const ItemId& folder);
    // Releases every entry.
    void ClearEntries();
    // Fills the pending entries of the rows first..last (inclusive); rows
    // outside the list are ignored.
    void FetchDetails(int first, int last);

    const ItemId& CurrentFolder() const { return folder_; }
    int EntryCount() const { return static_cast<int>(entries_.size()); }
    const ShellItem& Entry(int row) const { return entries_.at(static_cast<std::size_t>(row)); }
    // The name the list shows: the entry's name, or in "Computer" the name
    // a person reads for the entry, whose Name stays its path.
    const QString& ShownName(int row) const;
    bool IsFolderEntry(int row) const;
    int CompareEntries(const ShellItem& a, const ShellItem& b) const
    {
        return order_.CompareEntries(a, b);
    }
    // How many entries have had their details fetched since the last load.
    int FetchedCount() const { return fetched_; }

    // Incremental find: the first entry from start on (then from 0, when
    // wrapping) whose shown name begins with text, comparing with a-z upper-cased.
    // -1 when nothing matches or text is empty.
    int FindByPrefix(const QString& text, int start, bool wrap) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Dragging rows out: each entry is dragged as the file: URL of its path,
    // as file managers take it; copying is the one action offered, so the
    // listed folder does not change behind the list.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    QVariant CellText(int row, int column) const;
    QVariant NameForeground(const ShellItem& entry) const;
    // The entry of row with its details fetched.
    const ShellItem& Fetched(int row) const;

    ItemId folder_;
    // Details are filled in while views read rows, hence mutable.
    mutable std::vector<ShellItem> entries_;
    std::vector<QString> captions_; // one per entry in "Computer", else empty
    EntryOrder order_;
    mutable DetailFetcher details_;
    mutable int fetched_ = 0;
};

} // namespace ciphra::gui
