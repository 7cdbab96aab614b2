#include "gui/commands/shred_command.h"

#include <QFile>

#include "core/jobs/shredder.h"
#include "gui/browse/item_id.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/wipe_window.h"

namespace ciphra::gui {

namespace {

constexpr int ShredPasses = 3;

} // namespace

bool ShredSelectedFiles(QWidget* parent, FileListHost& list, WipeProgressWindow& progress)
{
    if (!ConfirmBox(parent, QStringLiteral("Are you sure you want to wipe this file?\n"
                                           "Note: Once the file is deleted there is no\n"
                                           "way to recover it."))) {
        return false;
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
    return allWiped;
}

} // namespace ciphra::gui
