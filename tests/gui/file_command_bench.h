#pragma once
// The parts of the main window that the encrypt and decrypt commands use,
// for driving the commands offscreen: a scratch folder listed by a fake file
// list, the password dialog answered through the modal seam, the
// progress window, and scripted message boxes.

#include <QLineEdit>
#include <QStringList>

#include <string>
#include <vector>

#include "gui/commands/file_command_support.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/windows/cipher_progress_window.h"
#include "support/stream_reference.h"
#include "support/test_files.h"

namespace ciphra::test {

// Entries in list order with their selection; logs what the commands ask of it.
class FakeFileList : public gui::FileListHost {
public:
    struct Entry {
        QString Name;
        bool Selected;
    };

    QString Folder;
    std::vector<Entry> Entries;
    std::vector<std::string> Calls; // "refresh", "deselect"

    QString FolderPath() const override { return Folder; }
    QStringList SelectedNames() const override;
    void RefreshFromPathBox() override { Calls.push_back("refresh"); }
    void ClearSelection() override;
    bool AnySelected() const;
};

class CommandBench {
public:
    CommandBench();

    // Writes a file into the folder and lists it, selected or not.
    std::string AddFile(const std::string& name, const std::string& bytes, bool selected = true);
    // Lists an existing entry (a folder, say) as selected.
    void Select(const std::string& name);
    std::string PathOf(const std::string& name) const { return Folder / name; }

    // The next password dialog closes with OK after these entries.
    void AnswerPassword(const QString& password, bool useDigest);
    // The next password dialog is cancelled.
    void CancelPassword();
    // What the identity file dialog answers ("" is Cancel); each question is counted.
    QString IdentityFile;
    int IdentityQuestions = 0;
    // Whether "Use Hash of password" showed, for each password dialog answered.
    std::vector<bool> DigestOptionShown;

    gui::FileCommandWindows Windows();
    // The texts of the boxes shown so far, each as "<title>|<text>".
    std::vector<QString> BoxTexts() const;

    TempFolder Folder;
    FakeFileList List;
    gui::PasswordDialog Password;
    gui::CipherProgressWindow Progress;
    gui::MessageBoxScript Boxes;
    gui::ModalScript Dialogs;
};

// The bytes the stream gives for `plain` with the password, as the commands key it.

} // namespace ciphra::test
