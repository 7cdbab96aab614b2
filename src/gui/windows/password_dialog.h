#pragma once
// The password dialog: the one place where the user types a password. It is
// created once and lives as long as the program, so whatever a caller leaves
// in it (the text, both check boxes, whether "Use Hash of password" is shown)
// is what the next caller finds. It does no cryptography.
//
// A caller shows it with AskPassword(), goes on only when that returns true,
// reads Password() and UseDigest(), and blanks the field afterwards.

#include <QByteArray>
#include <QDialog>

#include <string_view>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ciphra::gui {

// The password as UTF-8 bytes; the copy is wiped when this goes out of scope.
class PasswordBytes {
public:
    explicit PasswordBytes(const QString& text);
    PasswordBytes(const PasswordBytes&) = delete;
    PasswordBytes& operator=(const PasswordBytes&) = delete;
    ~PasswordBytes();

    std::string_view View() const { return {bytes_.constData(), std::size_t(bytes_.size())}; }

private:
    QByteArray bytes_;
};

class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit PasswordDialog(QWidget* parent = nullptr);

    // Shows the dialog modally (through ExecModal); true when the user
    // confirmed with OK, false for "&Cancel", Escape or the close keys.
    bool AskPassword();

    // The text of the field. Never empty after OK: OK is only enabled while
    // the field holds text.
    PasswordBytes Password() const;
    // "Use Hash of password": key from the SHA-1 digest of the password.
    bool UseDigest() const;

    // Overwrites the field with 32 zero digits, then empties it, which
    // disables OK again.
    void ClearPasswordField();

    // The text encryption hides "Use Hash of password" while it uses the
    // dialog (it always keys from the digest); the checked state is kept.
    void SetDigestOptionVisible(bool visible);
    bool DigestOptionVisible() const;

    QLabel* banner;
    QLineEdit* passwordEdit;
    QCheckBox* digestOption;       // "Use Hash of password"
    QCheckBox* showPasswordOption; // "Show password"
    QPushButton* okButton;         // "&OK", the default button
    QPushButton* cancelButton;     // "&Cancel"

public slots:
    void OnPasswordChanged();
    void OnShowPasswordToggled();

protected:
    void showEvent(QShowEvent* event) override;
};

// Hides "Use Hash of password" for its lifetime and then puts back the
// visibility it found, however the scope ends.
class DigestOptionHidden {
public:
    explicit DigestOptionHidden(PasswordDialog& dialog);
    DigestOptionHidden(const DigestOptionHidden&) = delete;
    DigestOptionHidden& operator=(const DigestOptionHidden&) = delete;
    ~DigestOptionHidden();

private:
    PasswordDialog& dialog_;
    bool wasVisible_;
};

} // namespace ciphra::gui
