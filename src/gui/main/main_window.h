#pragma once
// The main window: drive tree, file list, toolbar, path box, menus and the
// rule that enables the file commands. Navigation lives in navigation.cpp,
// the command handlers in commands.cpp, dropped files in drops.cpp, the
// settings in placement.h.

#include "gui/browse/item_id.h"
#include "gui/kit/file_list_host.h"
#include "gui/main/command_table.h"

#include <QMainWindow>

#include <functional>

class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;

namespace ciphra::gui {

class DriveView;
class FileListModel;
class FileListView;
class ColorLegendWindow;
class HashWindow;
class PasswordDialog;
class WipeProgressWindow;
class FileViewerWindow;
class AboutWindow;
class TextWindow;

// The windows created after the main window, which its commands show.
struct OtherWindows {
    ColorLegendWindow* legend = nullptr;
    HashWindow* hash = nullptr;
    PasswordDialog* password = nullptr;
    WipeProgressWindow* wipeProgress = nullptr;
    FileViewerWindow* viewer = nullptr;
    AboutWindow* about = nullptr;
    TextWindow* stringEncryption = nullptr;
};

class MainWindow : public QMainWindow, public FileListHost {
    Q_OBJECT
public:
    // The designed bounds, used when no placement is stored.
    static constexpr QRect kDesignedBounds{199, 90, 558, 393};

    // Builds the window, restores its placement, then runs OnCreate.
    explicit MainWindow(QWidget* parent = nullptr);
    // Writes the placement.
    ~MainWindow() override;

    void AttachWindows(const OtherWindows& windows) { windows_ = windows; }

    // ----- State other areas use -----
    StoredOptions storedOptions; // as read at the start and written at close
    bool wipeSucceeded = false;
    CommandTable commands;
    QComboBox* pathBox = nullptr;
    DriveView* driveTree = nullptr;
    FileListModel* entries = nullptr;
    FileListView* fileList = nullptr;

    // The one switch of the nine file-command controls.
    void SetFileCommandsEnabled(bool state);
    // The listed folder, "/" unless it already ends in one, then the caption.
    QString FullPathOf(int row) const;

    // ----- The file list as the file commands see it -----
    QString FolderPath() const override;
    QStringList SelectedNames() const override;
    void RefreshFromPathBox() override { ShowPathBoxFolder(); }
    void ClearSelection() override;

    // Overwrites and deletes one file with the wipe progress window shown;
    // wipeSucceeded tells whether the file was deleted.
    void WipeFile(const QString& path, int passes);
    const ItemId& CurrentFolderID() const { return currentFolderId_; }
    const QString& CurrentPath() const { return currentPath_; }

    // Platform services, replaced in tests.
    std::function<void()> beep;
    std::function<QString(QWidget*)> chooseFolder;
    std::function<QString(QWidget*)> chooseIdentityFile; // for age files made for recipients
    std::function<void(const QString& file, const QString& folder)> openFile;

    // ----- Navigation (navigation.cpp) -----
    void ShowFolder(const ItemId& id);
    void ShowFolderByPath(const QString& text);
    void OpenWithAssociation(const QString& file, const QString& folder);
    void ShowPathBoxFolder();
    void OnUpOneLevel();
    void OnChooseFolder();
    void OnViewStyle(int tag);
    void OnListDoubleClick();
    void OnTreeClick();
    void OnTreeChange();

    // ----- Paths from outside: the command line and drops -----
    // Lists the folder of the first given path that exists: that folder
    // itself, or a file's folder with the given entries of that folder
    // selected and the file commands enabled. Given paths that do not exist
    // are named in one error box. Relative paths and "file:" URLs are taken
    // as AbsoluteGivenPath does.
    void ShowGivenPaths(const QStringList& paths);
    // Lists folder with the entries called names selected; the file
    // commands are enabled when any is.
    void ShowFolderWithSelection(const QString& folder, const QStringList& names);
    // Runs a file command on absolute paths: for each folder they are in,
    // lists it with them selected and runs the handler (the hash command
    // once for each file, as it shows one at a time).
    using FileCommandHandler = void (MainWindow::*)();
    void RunOnFiles(FileCommandHandler handler, const QStringList& paths);
    // The file command of a toolbar button; nullptr for the other buttons.
    FileCommandHandler ToolbarFileCommand(const QAction* button) const;

    // ----- Commands (commands.cpp) -----
    void OnEncryptFiles();
    void OnDecryptFiles();
    void OnShredFiles();
    void OnHashFile();
    void OnViewFile();
    void OnExit();
    void OnTextEncryption();
    void OnEncryptClipboard();
    void OnDecryptClipboard();
    void OnEmptyClipboard();
    // The text window's clipboard follows the option "Clear decrypted text".
    void ApplyClipboardOption();
    void OnRefresh();
    void OnShowColorLegend();
    void OnHelp();
    void OnAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Files dropped on the window are listed in their folder, selected.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildLayout();
    void RestorePlacement();
    void OnCreate();
    void OnClose();
    void OnListMouseUp(Qt::MouseButton button);
    bool OnListKeyDown(QKeyEvent* event);
    bool OnPathBoxKeyDown(QKeyEvent* event);
    void OnTreeKeyDown(int key);
    int HistoryIndexOf(const QString& path) const;
    void AcceptFileDrops();
    // Files dropped on a toolbar button: its file command runs on them, and
    // any other button takes them as the window does.
    bool OnToolbarDrag(QEvent* event);

    ItemId currentFolderId_;
    QString currentPath_;
    OtherWindows windows_;
};

} // namespace ciphra::gui
