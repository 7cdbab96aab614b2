#include "tools/shred_command.h"

#include <QFile>

#include "tools/shredder.h"
#include "tools/wipe_window.h"
#include "ui/browse/item_id.h"
#include "ui/kit/file_list_host.h"
#include "ui/kit/message_boxes.h"

namespace ciphra::ui {

namespace {

constexpr int ShredPasses = 3;

} // namespace

void ShredSelectedFiles(QWidget* parent, FileListHost& list, TForm5& progress)
{
    if (!ConfirmBox(parent, QStringLiteral("Are you sure you want to wipe this file?\n"
                                           "Note: Once the file is deleted there is no\n"
                                           "way to recover it."))) {
        return;
    }
    bool allWiped = true;
    const QString folder = list.FolderPath();
    for (const QString& name : list.SelectedNames()) {
        const QString path = FullPath(folder, name);
        // A read-only file is wiped like any other.
        AllowOwnerWrite(QFile::encodeName(path).toStdString());
        allWiped = progress.WipeFile(path, ShredPasses) && allWiped;
    }
    list.RefreshFromPathBox();
    PlainBox(parent, allWiped ? QStringLiteral("File(s) shredded...")
                              : QStringLiteral(
                                    "Errors where reported when shredding one or more files..."));
    list.ClearSelection();
}

} // namespace ciphra::ui
