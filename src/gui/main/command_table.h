#pragma once
// The main window's command table: menu bar, toolbar and context menu, each
// control bound to its handler of MainWindow. Menu items, toolbar buttons and
// context-menu items are separate actions, because only the nine file-command
// controls of the menu bar and toolbar are ever disabled.

#include <QAction>

class QActionGroup;
class QMenu;
class QToolBar;

namespace ciphra::gui {

class MainWindow;

struct CommandTable {
    // "&File"
    QAction* Encryptfile1 = nullptr;
    QAction* Decryptfile1 = nullptr;
    QAction* Hashfile1 = nullptr;
    QAction* Shredfile1 = nullptr;
    QAction* Viewfile1 = nullptr;
    QAction* Exit1 = nullptr;
    // "&Clipboard"
    QAction* Stringencryption1 = nullptr;
    QAction* Encryptclipboard1 = nullptr;
    QAction* Decryptclipboard1 = nullptr;
    QAction* Emptyclipboard1 = nullptr;
    // "&Options"
    QAction* Createselfdecryptingfiles1 = nullptr;
    QAction* Overwritefileonencryption1 = nullptr;
    QAction* Goonelevelup1 = nullptr;
    QAction* Choosedir1 = nullptr;
    QAction* Refreshlist1 = nullptr;
    QAction* Showcolorinfo1 = nullptr;
    // "&Help"
    QAction* Helpon1 = nullptr;
    QAction* About1 = nullptr;

    // Toolbar, left to right.
    QAction* ToolButton2 = nullptr;  // encrypt
    QAction* ToolButton4 = nullptr;  // decrypt
    QAction* ToolButton11 = nullptr; // hash
    QAction* ToolButton5 = nullptr;  // shred
    QAction* btnBrowse = nullptr;
    QAction* btnBack = nullptr;
    QAction* ToolButton10 = nullptr; // refresh
    QAction* btnLargeIcons = nullptr;
    QAction* btnSmallIcons = nullptr;
    QAction* btnList = nullptr;
    QAction* btnReport = nullptr;
    QAction* ToolButton7 = nullptr; // help
    QAction* ToolButton8 = nullptr; // exit
    QActionGroup* viewStyles = nullptr;

    QToolBar* ToolBar2 = nullptr;
    QMenu* PopupMenu1 = nullptr;

    // The nine controls SetFileCommandsEnabled switches, in its order.
    std::vector<QAction*> FileCommands() const;
};

// Builds the menu bar, the toolbar and the context menu of window.
CommandTable BuildCommandTable(MainWindow& window);

} // namespace ciphra::gui
