#pragma once
// Reading folders for the file list, without any widget: enumeration of
// names, the sort order, the "Computer" folder and the costly details of an
// entry (icon, type, size, date, attributes).

#include "gui/browse/item_id.h"
#include "gui/browse/shell_item.h"

#include <QCollator>
#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QLocale>
#include <QMimeDatabase>

#include <vector>

namespace ciphra::gui {

// The items of a folder with names and folder bits only, unsorted. Hidden
// items are included, "." and ".." are not. In "Computer" the names are the
// entries' paths, in the order of ComputerEntries. Throws ciphra::Exception
// with the system's message when the folder cannot be read.
std::vector<ShellItem> EnumerateFolder(const ItemId& folder);

// One entry of "Computer": its path, which is its identity, and the name a
// person reads for it.
struct ComputerEntry {
    QString path;
    QString caption;
};

// The entries of "Computer": the home folder, "/", then the mount points of
// the other real file systems that are folders and can be entered.
std::vector<ComputerEntry> ComputerEntries();

// A file system mounted at point from source (a device or a network share).
struct MountPoint {
    QString source;
    QString point;
};

// The real file systems in a /proc/self/mounts text: block devices and
// network file systems, not proc, sysfs, cgroup, tmpfs, overlay and the like;
// each mount point once. Octal escapes in the mount points are decoded.
std::vector<MountPoint> RealMountPoints(const QByteArray& mountsText);

// The volume labels of the devices, from the links in folder (the system's
// /dev/disk/by-label): each link is named after a label, with "\xHH" escapes,
// and leads to a device. Keys are the devices' canonical paths; links that
// lead nowhere are left out.
QHash<QString, QString> VolumeLabels(const QString& folder);

// The name "Computer" shows for the file system mounted at point from
// source: "Home" for the home folder, "File System" for "/", the volume
// label of the device, else the last name of the mount point.
QString ComputerCaption(const QString& point, const QString& source,
                        const QHash<QString, QString>& labels);

// The folder's own order by name: folders before files, then the locale's
// collation of names, case-insensitive, digits compared as numbers; names
// equal under that collation fall back to their code points.
class EntryOrder {
public:
    EntryOrder();
    int CompareEntries(const ShellItem& a, const ShellItem& b) const;
    void Sort(std::vector<ShellItem>& entries) const;

private:
    QCollator collator_;
};

// The encrypted files' MIME type and its description, as the desktop's
// MIME database has them once the program is installed. The list names the
// files so without the database.
inline constexpr const char* kEncryptedType = "application/x-ciphra2k-encrypted";
inline constexpr const char* kEncryptedComment = "Ciphra2K encrypted file";

// True for the names of encrypted files: extension ".CPH" in any case.
bool IsEncryptedName(const QString& name);

// Fills the details of entries. Types and icons are looked up by name
// extension; where it says nothing, by the first bytes of a regular file
// (never of a FIFO or device), read only when its row is shown. Encrypted
// files are named as such whatever the database knows. Descriptions and
// icons are shared between entries of one type.
class DetailFetcher {
public:
    DetailFetcher();
    DetailFetcher(const DetailFetcher&) = delete;
    DetailFetcher& operator=(const DetailFetcher&) = delete;

    void FetchDetails(ShellItem& entry, const ItemId& folder);
    const QIcon& Icon(std::int32_t index) const;
    // The type description of a fetched entry ("Folder" for folders).
    const QString& FileType(const ShellItem& entry) const;
    // The Modified column of a fetched entry.
    QString Modified(const ShellItem& entry) const;

private:
    // The magic rules that tell most types look at the first few bytes.
    static constexpr std::size_t kContentBytes = 4096;

    std::int32_t IconIndexFor(const QString& iconName, const QString& genericName, bool isFolder);
    std::uint16_t TypeIndexFor(const QString& name, const QString& comment);
    QMimeType TypeByContent(const QByteArray& nativePath, const QMimeType& fallback);

    QMimeDatabase mimes_;
    QFileIconProvider iconProvider_;
    QLocale locale_;
    QHash<QString, std::uint16_t> typeIds_; // MIME name -> index into typeNames_
    std::vector<QString> typeNames_;        // [0] unknown, [1] "Folder"
    QHash<QString, std::int32_t> iconIds_;  // icon name -> index into icons_
    std::vector<QIcon> icons_;
    QString encryptedIcon_;
};

} // namespace ciphra::gui
