#pragma once
// What the encrypt and decrypt commands share: the windows they work with,
// the password as the dialog gave it, the full path of a list entry, and one
// cipher run per file.

#include <QString>

#include <optional>
#include <string>

#include "core/crypto/twofish.h"
#include "core/io/posix_file.h"
#include "gui/kit/file_list_host.h"
#include "gui/windows/password_dialog.h"

class QLineEdit;
class QWidget;

namespace ciphra::gui {

class CipherProgressWindow;

// The main window's parts that a file command uses.
struct FileCommandWindows {
    QWidget* Parent;                // owner of the message boxes
    FileListHost& List;             // listed folder, selection, refresh
    PasswordDialog& Password;       // the password dialog
    QLineEdit& HashFileName;        // the hash window's file name: holds the current path
    CipherProgressWindow& Progress; // shown while a long file runs
};

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

// One file's context, keyed at construction (throwing the key-length error
// before any file is touched) and wiped when it goes.
class CipherRun {
public:
    CipherRun(const void* keyMaterial, std::int32_t length);
    CipherRun(const CipherRun&) = delete;
    CipherRun& operator=(const CipherRun&) = delete;
    ~CipherRun() { Wipe(); }

    TwofishContext& Context() noexcept { return context_; }
    void Wipe() noexcept;

private:
    TwofishContext context_;
};

// The output file beside `source`: `output` created or truncated (an existing
// file is replaced without a question), closed, and opened again for reading
// and writing. Nothing when either step fails, or when `output` leads to the
// source file itself (a ".dec" name decrypted beside, a link), which
// truncating would destroy.
std::optional<File> OutputBeside(const std::string& source, const std::string& output);

} // namespace ciphra::gui
