#include "gui/tree/drive_view.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPalette>
#include <QScrollBar>

namespace ciphra::gui {
namespace {

// Folders whose names begin with "." are shown dimmed.
class FolderModel : public QFileSystemModel {
public:
    using QFileSystemModel::QFileSystemModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::ForegroundRole && fileName(index).startsWith(QLatin1Char('.')))
            return QPalette().brush(QPalette::Disabled, QPalette::Text);
        return QFileSystemModel::data(index, role);
    }
};

} // namespace

DriveView::DriveView(QWidget* parent) : QTreeView(parent), folders_(new FolderModel(this))
{
    folders_->setOption(QFileSystemModel::DontWatchForChanges);
    folders_->setReadOnly(true);
    folders_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
    folders_->setRootPath(QDir::rootPath());
    setModel(folders_);
    for (int column = 1; column < folders_->columnCount(); ++column)
        hideColumn(column);
    setHeaderHidden(true);
    setIndentation(19);
    setAnimated(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &DriveView::Change);
    connect(this, &QTreeView::clicked, this, &DriveView::Click);

    // The model reads folders in the background and sorts them later, so a
    // node set by SetDirectory moves while its siblings come in: the view
    // follows it, once per batch of changes, until the user takes over.
    follow_.setSingleShot(true);
    follow_.setInterval(0);
    connect(&follow_, &QTimer::timeout, this, [this] {
        if (following_ && currentIndex().isValid()) {
            scrollTo(currentIndex());
        }
    });
    const auto moved = [this] {
        if (following_) {
            follow_.start();
        }
    };
    connect(folders_, &QAbstractItemModel::rowsInserted, this, moved);
    connect(folders_, &QAbstractItemModel::layoutChanged, this, moved);
    connect(folders_, &QFileSystemModel::directoryLoaded, this, moved);
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { following_ = false; });
}

QString DriveView::Directory() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? folders_->filePath(current) : QString();
}

void DriveView::SetDirectory(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')))
        return;
    QString candidate = QDir::cleanPath(path);
    for (;;) {
        const QModelIndex node = folders_->index(candidate);
        if (node.isValid()) {
            if (node != currentIndex())
                setCurrentIndex(node);
            // Scrolling expands the node's parents, which only queues a new
            // layout; the node has its place once that layout is done.
            scrollTo(node);
            executeDelayedItemsLayout();
            scrollTo(node);
            following_ = true;
            return;
        }
        if (candidate == QLatin1String("/"))
            return;
        const qsizetype slash = candidate.lastIndexOf(QLatin1Char('/'));
        candidate = slash <= 0 ? QStringLiteral("/") : candidate.left(slash);
    }
}

void DriveView::keyPressEvent(QKeyEvent* event)
{
    following_ = false;
    emit KeyDown(event->key());
    QTreeView::keyPressEvent(event);
}

void DriveView::mousePressEvent(QMouseEvent* event)
{
    following_ = false;
    QTreeView::mousePressEvent(event);
}

void DriveView::wheelEvent(QWheelEvent* event)
{
    following_ = false;
    QTreeView::wheelEvent(event);
}

} // namespace ciphra::gui
