#pragma once
// The hash window: the SHA-1 digest of a file in the Hex or Char form, saved
// on request to a hash report. Its Filename box also holds the path of the
// file that the encrypt and decrypt commands are working on.

#include <QDialog>

#include <functional>

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
    void Button4Click();
    // Asks for a report name and saves the report; never replaces a file.
    void Button17Click();
    // Empties the Filename and Hash boxes.
    void Button5Click();
    // Closes the window.
    void Button6Click();

    // Every close (Esc, the close button, "&Close") passes here.
    void done(int result) override;

    // Seams for tests: the beep and the date and time of the report.
    std::function<void()> Beep;
    std::function<QString()> DateTimeText;

    QLabel* Image1;
    QLabel* Label3;
    QLineEdit* HashFile;
    QLabel* Label4;
    QLineEdit* HashFileBox;
    QGroupBox* radiohex;
    QRadioButton* RadioHex;
    QRadioButton* RadioChar;
    QPushButton* Button4;
    QPushButton* Button17;
    QPushButton* Button5;
    QPushButton* Button6;

protected:
    // Centred on the screen, not over the main window.
    void showEvent(QShowEvent* event) override;

private:
    void FormClose();
};

class FileListHost;

// The hash command: shows the window modally on the first selected entry,
// then clears the list's selection. Does nothing when no entry is selected.
void HashSelectedFile(FileListHost& list, HashWindow& window);

} // namespace ciphra::gui
