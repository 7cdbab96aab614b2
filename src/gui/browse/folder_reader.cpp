#include "gui/browse/folder_reader.h"

#include "core/error.h"
#include "core/io/posix_file.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace ciphra::gui {
namespace {

[[noreturn]] void ThrowSystemError(const QString& path, int error)
{
    throw Exception(QStringLiteral("%1: %2")
                        .arg(path, QString::fromLocal8Bit(std::strerror(error)))
                        .toStdString());
}

bool IsFolderAt(int dirFd, const char* name)
{
    struct stat info {};
    return ::fstatat(dirFd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

// "\040" in a mount point stands for a blank, and so on.
QString DecodeMountPoint(const QByteArray& field)
{
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QFile::decodeName(out);
}

// udev names the label links with "\x20" for a blank, "\x2f" for "/" and so
// on; the label's bytes are UTF-8.
QString DecodeLabel(const QString& linkName)
{
    const QByteArray name = QFile::encodeName(linkName);
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bool ok = false;
            const int code = name.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                out.append(static_cast<char>(code));
                i += 3;
                continue;
            }
        }
        out.append(name[i]);
    }
    return QString::fromUtf8(out);
}

bool IsEnterableFolder(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    return ::stat(native.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(native.constData(), R_OK | X_OK) == 0;
}

} // namespace

std::vector<ShellItem> EnumerateFolder(const ItemId& folder)
{
    std::vector<ShellItem> entries;
    if (folder == kComputerId) {
        for (ComputerEntry& computer : ComputerEntries()) {
            ShellItem entry;
            entry.Name = std::move(computer.path);
            entry.IsFolder = true;
            entries.push_back(std::move(entry));
        }
        return entries;
    }
    const QByteArray native = QFile::encodeName(folder);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.constData()), ::closedir);
    if (!dir)
        ThrowSystemError(folder, errno);
    const int fd = ::dirfd(dir.get());
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir.get());
        if (item == nullptr) {
            if (errno != 0)
                ThrowSystemError(folder, errno);
            break;
        }
        const char* name = item->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        ShellItem entry;
        entry.Name = QFile::decodeName(name);
        if (item->d_type == DT_DIR)
            entry.IsFolder = true;
        else if (item->d_type == DT_LNK || item->d_type == DT_UNKNOWN)
            entry.IsFolder = IsFolderAt(fd, name);
        entries.push_back(std::move(entry));
    }
    entries.shrink_to_fit();
    return entries;
}

std::vector<MountPoint> RealMountPoints(const QByteArray& mountsText)
{
    static const QList<QByteArray> networkTypes = {"nfs", "nfs4", "cifs", "smb3", "fuse.sshfs"};
    std::vector<MountPoint> mounts;
    for (const QByteArray& line : mountsText.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3) {
            continue;
        }
        const QByteArray& source = fields[0];
        const QByteArray& type = fields[2];
        if (!source.startsWith("/dev/") && !networkTypes.contains(type)) {
            continue;
        }
        QString point = DecodeMountPoint(fields[1]);
        if (std::none_of(mounts.begin(), mounts.end(),
                         [&](const MountPoint& mount) { return mount.point == point; })) {
            mounts.push_back({DecodeMountPoint(source), std::move(point)});
        }
    }
    return mounts;
}

QHash<QString, QString> VolumeLabels(const QString& folder)
{
    QHash<QString, QString> labels;
    const QDir links(folder);
    for (const QString& name : links.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString device = QFileInfo(links.filePath(name)).canonicalFilePath();
        if (!device.isEmpty()) {
            labels.insert(device, DecodeLabel(name));
        }
    }
    return labels;
}

QString ComputerCaption(const QString& point, const QString& source,
                        const QHash<QString, QString>& labels)
{
    if (point == QDir::homePath()) {
        return QStringLiteral("Home");
    }
    if (point == QLatin1String("/")) {
        return QStringLiteral("File System");
    }
    const QString device = QFileInfo(source).canonicalFilePath();
    QString label = labels.value(device.isEmpty() ? source : device);
    if (!label.isEmpty()) {
        return label;
    }
    return point.mid(point.lastIndexOf(QLatin1Char('/')) + 1);
}

std::vector<ComputerEntry> ComputerEntries()
{
    const QString home = QDir::homePath();
    std::vector<ComputerEntry> entries = {{home, ComputerCaption(home, QString(), {})}};
    if (home != QLatin1String("/")) {
        entries.push_back(
            {QStringLiteral("/"), ComputerCaption(QStringLiteral("/"), QString(), {})});
    }
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    if (!mounts.open(QIODevice::ReadOnly)) {
        return entries;
    }
    const QHash<QString, QString> labels = VolumeLabels(QStringLiteral("/dev/disk/by-label"));
    for (MountPoint& mount : RealMountPoints(mounts.readAll())) {
        const bool listed =
            std::any_of(entries.begin(), entries.end(),
                        [&](const ComputerEntry& e) { return e.path == mount.point; });
        if (listed || !IsEnterableFolder(mount.point)) {
            continue;
        }
        QString caption = ComputerCaption(mount.point, mount.source, labels);
        entries.push_back({std::move(mount.point), std::move(caption)});
    }
    return entries;
}

EntryOrder::EntryOrder()
{
    // The C locale collates by code points only, without a numeric mode; its
    // users get the English rules instead.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    collator_ = QCollator(locale);
    collator_.setCaseSensitivity(Qt::CaseInsensitive);
    collator_.setNumericMode(true);
}

int EntryOrder::CompareEntries(const ShellItem& a, const ShellItem& b) const
{
    if (a.IsFolder != b.IsFolder)
        return a.IsFolder ? -1 : 1;
    const int byCollation = collator_.compare(a.Name, b.Name);
    if (byCollation != 0)
        return byCollation;
    return a.Name.compare(b.Name);
}

void EntryOrder::Sort(std::vector<ShellItem>& entries) const
{
    // Sort keys once per entry instead of collating inside every comparison:
    // on 100,000 names this is several times faster. The keys are dropped
    // after the sort.
    struct Keyed {
        QCollatorSortKey key;
        std::uint32_t index;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    for (std::uint32_t i = 0; i < entries.size(); ++i)
        keyed.push_back({collator_.sortKey(entries[i].Name), i});
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& x, const Keyed& y) {
        const ShellItem& a = entries[x.index];
        const ShellItem& b = entries[y.index];
        if (a.IsFolder != b.IsFolder)
            return a.IsFolder;
        const int byCollation = x.key.compare(y.key);
        if (byCollation != 0)
            return byCollation < 0;
        return a.Name.compare(b.Name) < 0;
    });
    std::vector<ShellItem> sorted;
    sorted.reserve(entries.size());
    for (const Keyed& k : keyed)
        sorted.push_back(std::move(entries[k.index]));
    entries.swap(sorted);
}

bool IsEncryptedName(const QString& name)
{
    return name.endsWith(QLatin1String(".cph"), Qt::CaseInsensitive);
}

DetailFetcher::DetailFetcher() : typeNames_{QString(), QStringLiteral("Folder")}
{
    // The icon of the encrypted files' MIME type where it is installed.
    const QMimeType encrypted = mimes_.mimeTypeForName(QString::fromLatin1(kEncryptedType));
    encryptedIcon_ = encrypted.isValid() ? encrypted.iconName()
                                         : QStringLiteral("application-x-ciphra2k-encrypted");
}

void DetailFetcher::FetchDetails(ShellItem& entry, const ItemId& folder)
{
    if (!entry.DetailsPending)
        return;
    const QString path = ConcatId(folder, entry.Name);
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    const bool target = ::stat(native.constData(), &info) == 0;
    if (target || ::lstat(native.constData(), &info) == 0) {
        entry.SizeKB = SizeKBOf(static_cast<std::uint64_t>(info.st_size));
        entry.LastWrite = static_cast<std::int64_t>(info.st_mtime);
        std::uint8_t attributes = 0;
        if (target && ::access(native.constData(), W_OK) != 0)
            attributes |= kAttrReadOnly;
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            attributes |= kAttrSystem;
        entry.Attributes = attributes;
    } else {
        entry.SizeKB = 1; // no find data: 1KB, no date, no attributes
    }
    if (entry.Name.startsWith(QLatin1Char('.')))
        entry.Attributes |= kAttrHidden;

    if (entry.IsFolder) {
        entry.TypeIndex = 1;
        entry.IconIndex = IconIndexFor(QStringLiteral("folder"), QString(), true);
    } else if (IsEncryptedName(entry.Name)) {
        entry.TypeIndex = TypeIndexFor(QString::fromLatin1(kEncryptedType),
                                       QString::fromLatin1(kEncryptedComment));
        entry.IconIndex =
            IconIndexFor(encryptedIcon_, QStringLiteral("application-x-generic"), false);
    } else {
        QMimeType type = mimes_.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        // The extension says nothing: the first bytes may (programs, scripts,
        // files with made-up extensions). Only regular files are read, so a
        // FIFO or a device never blocks the list.
        if (type.isDefault() && target && S_ISREG(info.st_mode)) {
            type = TypeByContent(native, type);
        }
        entry.TypeIndex = TypeIndexFor(type.name(), type.comment());
        entry.IconIndex = IconIndexFor(type.iconName(), type.genericIconName(), false);
    }
    entry.DetailsPending = false;
}

std::uint16_t DetailFetcher::TypeIndexFor(const QString& name, const QString& comment)
{
    auto found = typeIds_.constFind(name);
    if (found == typeIds_.constEnd() && typeNames_.size() < 0xFFFF) {
        typeNames_.push_back(comment.left(80));
        found = typeIds_.insert(name, static_cast<std::uint16_t>(typeNames_.size() - 1));
    }
    return found == typeIds_.constEnd() ? 0 : *found;
}

QMimeType DetailFetcher::TypeByContent(const QByteArray& nativePath, const QMimeType& fallback)
{
    std::optional<File> file = File::TryOpenRegular(nativePath.toStdString(), OpenMode::ReadOnly);
    if (!file) {
        return fallback;
    }
    QByteArray head(kContentBytes, Qt::Uninitialized);
    try {
        head.truncate(static_cast<qsizetype>(file->Read(head.data(), kContentBytes)));
    } catch (const FileError&) {
        return fallback;
    }
    return mimes_.mimeTypeForData(head);
}

const QString& DetailFetcher::FileType(const ShellItem& entry) const
{
    return typeNames_.at(entry.TypeIndex);
}

QString DetailFetcher::Modified(const ShellItem& entry) const
{
    return ModifiedText(static_cast<std::time_t>(entry.LastWrite), locale_);
}

const QIcon& DetailFetcher::Icon(std::int32_t index) const
{
    static const QIcon none;
    if (index < 0 || static_cast<std::size_t>(index) >= icons_.size())
        return none;
    return icons_[static_cast<std::size_t>(index)];
}

std::int32_t DetailFetcher::IconIndexFor(const QString& iconName, const QString& genericName,
                                         bool isFolder)
{
    const auto found = iconIds_.constFind(iconName);
    if (found != iconIds_.constEnd())
        return *found;
    const QIcon fallback =
        iconProvider_.icon(isFolder ? QFileIconProvider::Folder : QFileIconProvider::File);
    QIcon icon = QIcon::fromTheme(iconName, QIcon::fromTheme(genericName, fallback));
    const auto index = static_cast<std::int32_t>(icons_.size());
    icons_.push_back(std::move(icon));
    iconIds_.insert(iconName, index);
    return index;
}

} // namespace ciphra::gui
