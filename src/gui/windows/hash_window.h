#pragma once
// The hash window: the SHA-1 or SHA-256 digest of a file in the Hex or Char
// form, saved on request to a hash report. The algorithm chosen is kept in
// the settings ("HashAlgorithm": "sha1" or "sha256").
//
// Below, verification: the Expected box takes a digest that the user pastes,
// or the path of a hash report or sha1sum / sha256sum list ("&Open..." puts
// it there and verifies at once); "&Verify" says in the verdict label
// whether the file matches and which line or value it was compared with.
//
// A read error while hashing or a write error while saving reaches the
// general error report: the buttons' handlers are guarded.

#include <QDialog>

#include <functional>

#include "core/jobs/hash_algorithm.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ciphra::gui {

class HashWindow : public QDialog {
    Q_OBJECT
public:
    explicit HashWindow(QWidget* parent = nullptr);

    // Hashes the file named in the Filename box.
    void OnHash();
    // Asks for a report name and saves the report; never replaces a file.
    void OnSave();
    // Asks for a checksum file, puts its path into the Expected box and
    // verifies.
    void OnOpenList();
    // Verifies the file against the Expected box and shows the verdict.
    void OnVerify();
    // Empties the Filename, Hash and Expected boxes and the verdict.
    void OnClear();
    // Closes the window.
    void OnClose();

    // Every close (Esc, the close button, "&Close") passes here.
    void done(int result) override;

    // The algorithm chosen for the next "&Hash".
    HashAlgorithm Algorithm() const;

    // Seams for tests: the beep and the date and time of the report.
    std::function<void()> beep;
    std::function<QString()> dateTimeText;

    QLabel* banner;
    QLabel* fileNameLabel;
    QLineEdit* fileNameEdit;
    QLabel* hashLabel;
    QLineEdit* hashEdit;
    QLabel* algorithmLabel;
    QComboBox* algorithmBox;
    QGroupBox* hashFormGroup;
    QRadioButton* hexOption;
    QRadioButton* charOption;
    QPushButton* hashButton;
    QFrame* verifyRule;
    QLabel* expectedLabel;
    QLineEdit* expectedEdit;
    QPushButton* openListButton;
    QPushButton* verifyButton;
    QLabel* verdictLabel; // hidden until a verdict is shown
    QPushButton* saveButton;
    QPushButton* clearButton;
    QPushButton* closeButton;

protected:
    // Centred on the screen, not over the main window.
    void showEvent(QShowEvent* event) override;

private:
    void EmptyBoxes();
    void OnAlgorithmChosen();
    void ClearVerdict();

    // The algorithm of the digest in the Hash box, which its report names.
    HashAlgorithm shownAlgorithm_ = HashAlgorithm::Sha1;
};

class FileListHost;

// The hash command: shows the window modally on the first selected entry,
// then clears the list's selection. Does nothing when no entry is selected.
void HashSelectedFile(FileListHost& list, HashWindow& window);

} // namespace ciphra::gui
