#pragma once
// The main window's command table: menu bar, toolbar and context menu, each
// control bound to its handler of MainWindow. Menu items, toolbar buttons and
// context-menu items are separate actions, because only the nine file-command
// controls of the menu bar and toolbar are ever disabled.

#include <QAction>

#include "gui/main/placement.h"

class QActionGroup;
class QMenu;
class QToolBar;

namespace ciphra::gui {

class MainWindow;

struct CommandTable {
    // "&File"
    QAction* encryptAction = nullptr;
    QAction* decryptAction = nullptr;
    QAction* hashAction = nullptr;
    QAction* shredAction = nullptr;
    QAction* viewAction = nullptr;
    QAction* exitAction = nullptr;
    // "&Clipboard"
    QAction* textEncryptionAction = nullptr;
    QAction* encryptClipboardAction = nullptr;
    QAction* decryptClipboardAction = nullptr;
    QAction* emptyClipboardAction = nullptr;
    // "&Options"
    QAction* selfDecryptingOption = nullptr;
    // "Self-decrypting &for": one of "&Linux" and "&Windows" is checked.
    QMenu* selfDecryptingForMenu = nullptr;
    QAction* linuxTargetOption = nullptr;
    QAction* windowsTargetOption = nullptr;
    QAction* overwriteOption = nullptr;
    QAction* ageFormatOption = nullptr;
    QAction* clearClipboardOption = nullptr;
    QAction* upOneLevelAction = nullptr;
    QAction* chooseFolderAction = nullptr;
    QAction* refreshAction = nullptr;
    QAction* colorLegendAction = nullptr;
    // "&Help"
    QAction* helpAction = nullptr;
    QAction* aboutAction = nullptr;

    // Toolbar, left to right.
    QAction* encryptButton = nullptr;
    QAction* decryptButton = nullptr;
    QAction* hashButton = nullptr;
    QAction* shredButton = nullptr;
    QAction* chooseFolderButton = nullptr;
    QAction* upOneLevelButton = nullptr;
    QAction* refreshButton = nullptr;
    QAction* largeIconsButton = nullptr;
    QAction* smallIconsButton = nullptr;
    QAction* listButton = nullptr;
    QAction* reportButton = nullptr;
    QAction* helpButton = nullptr;
    QAction* exitButton = nullptr;
    QActionGroup* viewStyles = nullptr;

    QToolBar* toolBar = nullptr;
    QMenu* contextMenu = nullptr;

    // The nine controls SetFileCommandsEnabled switches, in its order.
    std::vector<QAction*> FileCommands() const;
    // The marks of the Options menu, and setting them.
    StoredOptions Marks() const;
    void SetMarks(const StoredOptions& options) const;
};

// Builds the menu bar, the toolbar and the context menu of window.
CommandTable BuildCommandTable(MainWindow& window);

} // namespace ciphra::gui
