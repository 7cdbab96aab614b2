#include "gui/app/file_command_launch.h"

#include "gui/browse/given_paths.h"
#include "gui/commands/shred_command.h"
#include "gui/kit/application.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/main/option_commands.h"
#include "gui/main/placement.h"
#include "gui/windows/cipher_progress_window.h"
#include "gui/windows/hash_window.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/wipe_window.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>

#include <utility>

namespace ciphra::gui {
namespace {

// The given files of one folder as the commands see a file list: all of
// them selected until the command clears the selection. There is no list
// to read again.
class GivenFiles : public FileListHost {
public:
    GivenFiles(QString folder, QStringList names)
        : folder_(std::move(folder)), selected_(std::move(names))
    {
    }

    QString FolderPath() const override { return folder_; }
    QStringList SelectedNames() const override { return selected_; }
    void RefreshFromPathBox() override {}
    void ClearSelection() override { selected_.clear(); }

private:
    QString folder_;
    QStringList selected_;
};

// The windows a command shows, in place of the main window's.
struct CommandWindows {
    PasswordDialog password;
    CipherProgressWindow cipherProgress;
    WipeProgressWindow wipeProgress;
    HashWindow hash;
};

bool RunOn(FileCommandKind command, GivenFiles& files, CommandWindows& w,
           const StoredOptions& options)
{
    switch (command) {
    case FileCommandKind::Encrypt:
        return EncryptWithOptions({nullptr, files, w.password, w.cipherProgress}, options);
    case FileCommandKind::Decrypt:
        return DecryptWithOptions({nullptr, files, w.password, w.cipherProgress}, options);
    case FileCommandKind::Shred:
        return ShredSelectedFiles(nullptr, files, w.wipeProgress);
    case FileCommandKind::Hash:
        HashSelectedFile(files, w.hash);
        return true;
    }
    return false;
}

} // namespace

QStringList ChooseFilesToOpen()
{
    return QFileDialog::getOpenFileNames(nullptr, QStringLiteral("Select Files"), QDir::homePath());
}

int RunLaunchedCommand(FileCommandKind command, const QStringList& paths,
                       const FileChooser& chooseFiles)
{
    const QStringList given = paths.isEmpty() ? chooseFiles() : paths;
    if (given.isEmpty()) {
        return LaunchFailed;
    }
    QStringList absolute;
    for (const QString& path : given) {
        absolute << AbsoluteGivenPath(path);
    }
    const QStringList missing = MissingPaths(absolute);
    if (!missing.isEmpty()) {
        ErrorBox(nullptr, QString::fromLatin1(GivenPathsMissingText) + QLatin1Char('\n') +
                              missing.join(QLatin1Char('\n')));
        return LaunchFailed;
    }

    // "/" is in no folder: no command can take it.
    const std::vector<FolderFiles> groups = GroupByFolder(absolute);
    if (groups.empty()) {
        return LaunchFailed;
    }
    CommandWindows windows;
    QSettings settings;
    const StoredOptions options = ReadOptions(settings);
    for (const FolderFiles& group : groups) {
        // The hash window shows one file at a time.
        std::vector<QStringList> runs;
        if (command == FileCommandKind::Hash) {
            for (const QString& name : group.Names) {
                runs.push_back({name});
            }
        } else {
            runs.push_back(group.Names);
        }
        for (const QStringList& names : runs) {
            GivenFiles files(group.Folder, names);
            bool done = false;
            if (!RunGuarded([&] { done = RunOn(command, files, windows, options); }) || !done) {
                return LaunchFailed;
            }
        }
    }
    return LaunchDone;
}

} // namespace ciphra::gui
