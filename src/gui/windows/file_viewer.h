#pragma once
// The file viewer: a file's bytes as read-only plain text in the system's
// fixed-width font, with word wrap. It is filled for each view, shown
// modally and emptied when it closes.
//
// Bytes that are not valid UTF-8 are shown as their Latin-1 characters and
// zero bytes as the visible symbol U+2400, so nothing is dropped. Only the
// first kShownBytes of a larger file are read, with a note in the banner
// strip, and lines longer than a few thousand characters are shown broken
// into several, so that a huge file neither fills the memory nor stalls the
// window.

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace ciphra::gui {

class BannerStrip;

class FileViewerWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr qsizetype kShownBytes = qsizetype{2} << 20;
    static constexpr qsizetype kLongLine = 4096; // longer lines are shown broken

    explicit FileViewerWindow(QWidget* parent = nullptr);

    // Loads the file and shows the viewer modally; empties it on closing.
    // Throws ciphra::Exception("Cannot open file <path>") when the file
    // cannot be opened for reading; the viewer is then not shown.
    void ViewFile(const QString& path);

    // Fills the text box from the file (the first part of ViewFile).
    void LoadFile(const QString& path);
    // Empties the text box and hides the note.
    void ClearView();

    BannerStrip* bannerStrip;
    QLabel* truncatedNote; // "only the first part is shown" note, in the banner strip
    QPlainTextEdit* textView;
    QPushButton* cancelButton; // "This is invisible", never shown: Escape closes through it

public slots:
    void OnCancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace ciphra::gui
