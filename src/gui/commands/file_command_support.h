#pragma once
// What the encrypt and decrypt commands share: the windows they work with,
// the password as the dialog gave it, and the file-system form of the paths
// the windows show.

#include <QString>

#include <functional>
#include <string>

#include "gui/kit/file_list_host.h"
#include "gui/windows/password_dialog.h"

class QWidget;

namespace ciphra::gui {

class CipherProgressWindow;

// The main window's parts that a file command uses.
struct FileCommandWindows {
    QWidget* Parent;                // owner of the message boxes
    FileListHost& List;             // listed folder, selection, refresh
    PasswordDialog& Password;       // the password dialog
    CipherProgressWindow& Progress; // shown while a long file runs
    // Asks for the identity file that opens age files made for recipients;
    // an empty path when the user cancels. Unset: a file dialog.
    std::function<QString(QWidget*)> ChooseIdentityFile = {};
};

// The file dialog that asks for an identity file.
QString ChooseIdentityFileDialog(QWidget* parent);

// The password and the "Use Hash of password" choice, read once when the
// dialog closes with OK. The bytes (UTF-8) are wiped when it goes.
struct PasswordEntry {
    std::string Bytes;
    bool UseDigest = false;

    PasswordEntry() = default;
    PasswordEntry(const PasswordEntry&) = delete;
    PasswordEntry& operator=(const PasswordEntry&) = delete;
    ~PasswordEntry();
};

// Shows the password dialog modally. On OK, fills `entry` and returns true.
bool AskPassword(PasswordDialog& dialog, PasswordEntry& entry);

// A path as the file system takes it, and as the windows show it.
std::string NativePath(const QString& path);
QString ShownPath(const std::string& path);

// The full path of the selected entry `name` in the listed folder.
std::string SelectedFilePath(const FileListHost& list, const QString& name);

} // namespace ciphra::gui
