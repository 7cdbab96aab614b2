#include "gui/windows/password_dialog.h"

#include "core/crypto/wipe.h"
#include "gui/kit/accessible.h"
#include "gui/kit/modal.h"
#include "gui/windows/banner.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace ciphra::gui {

PasswordBytes::PasswordBytes(const QString& text) : bytes_(text.toUtf8()) {}

PasswordBytes::~PasswordBytes()
{
    // The array is never shared (built here, never copied out), so data()
    // does not detach: this wipes the one buffer that held the bytes.
    SecureWipe(bytes_.data(), std::size_t(bytes_.size()));
}

PasswordDialog::PasswordDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Enter password:"));
    // A tool window with a title but no caption buttons.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(300, 141);

    banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Image1"));
    banner->setGeometry(0, 0, 308, 30);
    banner->setPixmap(BannerPicture(QSize(308, 30)));

    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("Edit1"));
    passwordEdit->setGeometry(8, 40, 281, 21);
    // The masked characters read "*" whatever the style's own choice is.
    passwordEdit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    passwordEdit->setEchoMode(QLineEdit::Password);

    digestOption = new QCheckBox(QStringLiteral("Use Hash of password"), this);
    digestOption->setObjectName(QStringLiteral("CheckBox2"));
    digestOption->setGeometry(8, 72, 129, 17);
    digestOption->setChecked(true);

    showPasswordOption = new QCheckBox(QStringLiteral("Show password"), this);
    showPasswordOption->setObjectName(QStringLiteral("CheckBox1"));
    showPasswordOption->setGeometry(176, 72, 113, 17);

    // The designed widths fit a small 8-point font; with the desktop's font a
    // caption may need more, up to the next control.
    digestOption->resize(std::clamp(digestOption->sizeHint().width(), 129, 168), 17);
    showPasswordOption->resize(std::clamp(showPasswordOption->sizeHint().width(), 113, 124), 17);

    okButton = new QPushButton(QStringLiteral("&OK"), this);
    okButton->setObjectName(QStringLiteral("Button1"));
    okButton->setGeometry(8, 104, 97, 22);
    okButton->setDefault(true);

    cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("Button2"));
    cancelButton->setGeometry(192, 104, 97, 22);

    DescribeBanner(banner);
    Describe(passwordEdit, QStringLiteral("Password"),
             QStringLiteral("The password; its characters are hidden unless Show password is "
                            "checked"));
    Describe(digestOption, QStringLiteral("Use Hash of password"),
             QStringLiteral("Make the key from the SHA-1 hash of the password"));
    Describe(showPasswordOption, QStringLiteral("Show password"),
             QStringLiteral("Show the password's characters as they are typed"));
    Describe(okButton, QStringLiteral("OK"), QStringLiteral("Go on with this password (Enter)"));
    Describe(cancelButton, QStringLiteral("Cancel"),
             QStringLiteral("Stop without a password (Escape)"));

    setTabOrder(passwordEdit, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, showPasswordOption);
    setTabOrder(showPasswordOption, digestOption);

    connect(passwordEdit, &QLineEdit::textChanged, this, &PasswordDialog::OnPasswordChanged);
    connect(showPasswordOption, &QCheckBox::toggled, this, &PasswordDialog::OnShowPasswordToggled);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    OnPasswordChanged();
}

bool PasswordDialog::AskPassword()
{
    return ExecModal(*this) == QDialog::Accepted;
}

PasswordBytes PasswordDialog::Password() const
{
    return PasswordBytes(passwordEdit->text());
}

bool PasswordDialog::UseDigest() const
{
    return digestOption->isChecked();
}

void PasswordDialog::ClearPasswordField()
{
    passwordEdit->setText(QStringLiteral("00000000000000000000000000000000"));
    passwordEdit->clear();
}

void PasswordDialog::SetDigestOptionVisible(bool visible)
{
    digestOption->setVisible(visible);
}

bool PasswordDialog::DigestOptionVisible() const
{
    // isHidden, not isVisible: the answer must not depend on whether the
    // dialog itself is on screen.
    return !digestOption->isHidden();
}

void PasswordDialog::OnPasswordChanged()
{
    okButton->setEnabled(!passwordEdit->text().isEmpty());
}

void PasswordDialog::OnShowPasswordToggled()
{
    passwordEdit->setEchoMode(showPasswordOption->isChecked() ? QLineEdit::Normal
                                                              : QLineEdit::Password);
}

void PasswordDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    passwordEdit->setFocus(Qt::OtherFocusReason);
}

DigestOptionHidden::DigestOptionHidden(PasswordDialog& dialog)
    : dialog_(dialog), wasVisible_(dialog.DigestOptionVisible())
{
    dialog_.SetDigestOptionVisible(false);
}

DigestOptionHidden::~DigestOptionHidden()
{
    dialog_.SetDigestOptionVisible(wasVisible_);
}

} // namespace ciphra::gui
