#pragma once
// The string encryption window and the clipboard commands.
//
// Encrypted text is one line of Base64 of the Twofish CFB-8 ciphertext of the
// text's bytes (see text_bytes.h), keyed from the SHA-1 digest of the password
// asked for in the password dialog. While the window is open, and during a
// clipboard command, the dialog hides "Use Hash of password": the digest is
// always used here.
//
// The work text box, workTextEdit, is the one text buffer: the window edits it, and the
// clipboard commands use it as scratch without showing the window. It is
// empty whenever the window is closed and after every clipboard command.
// Its line breaks are "\n" (CR LF and lone CRs pasted in become "\n"), so a
// clipboard text with CR LF comes back from encryption and decryption with
// the platform's LF; the encrypted bytes carry CR LF (text_bytes.h).
//
// Text that decrypting produced goes to the clipboard as a secret
// (secret_clipboard.h): the Decrypt clipboard command's result, and the work
// text copied while it holds decrypted text. Closing the window wipes the
// work text: it is emptied with its undo history, and the copies the window
// made of it to encrypt or decrypt are overwritten.
//
// A Base64 format error is thrown as ciphra::Exception and reaches the general
// error report (the buttons' handlers are guarded; the clipboard commands
// throw to their caller); the work text and the clipboard are then left as
// they were.

#include <QDialog>

#include "gui/windows/secret_clipboard.h"

class QPlainTextEdit;
class QPushButton;

namespace ciphra::gui {

class BannerStrip;
class PasswordDialog;

class TextWindow : public QDialog {
    Q_OBJECT
public:
    TextWindow(PasswordDialog& password, QWidget* parent = nullptr);

    // Opens the window modally; closing it empties the work text.
    void Execute();

    // The main window's clipboard commands: paste the clipboard's text into
    // the work text, ask for the password, replace the clipboard's text with
    // the result. Cancel leaves the clipboard alone. Whatever happens, the
    // work text ends empty and "Use Hash of password" visible again.
    void EncryptClipboard();
    void DecryptClipboard();
    static void EmptyClipboard();

    // The work text as the operations take it: every character as typed
    // (non-breaking spaces included), each line break as "\n".
    QString WorkText() const;

    BannerStrip* bannerStrip;
    QPlainTextEdit* workTextEdit;
    QPushButton* encryptButton;       // "&Encrypt"
    QPushButton* decryptButton;       // "&Decrypt"
    QPushButton* copyButton;          // "&Copy to clipboard"
    QPushButton* viewClipboardButton; // "&View clipboard text"
    QPushButton* cancelButton;        // "invisible", never shown: Escape closes through it

    // Where decrypted text goes; its delay is the main window's option.
    SecretClipboard secretClipboard;

public slots:
    void OnEncrypt();
    void OnDecrypt();
    void OnCopy();
    void OnViewClipboard();
    void OnCancel();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Replace the work text by its encrypted or decrypted form, with the
    // password the dialog holds, then empty the dialog's field.
    void EncryptWorkText();
    void DecryptWorkText();
    void RunClipboardCommand(void (TextWindow::*transform)());
    // Copies the work text to the clipboard, as a secret when it is decrypted text.
    void CopyWorkText();
    void WipeWorkText();

    PasswordDialog& password_;
    bool holdsDecryptedText_ = false;
};

} // namespace ciphra::gui
