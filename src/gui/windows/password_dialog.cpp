#include "gui/windows/password_dialog.h"

#include "core/crypto/wipe.h"
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

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 308, 30);
    Image1->setPixmap(BannerPicture(QSize(308, 30)));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(8, 40, 281, 21);
    // The masked characters read "*" whatever the style's own choice is.
    Edit1->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Edit1->setEchoMode(QLineEdit::Password);

    CheckBox2 = new QCheckBox(QStringLiteral("Use Hash of password"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(8, 72, 129, 17);
    CheckBox2->setChecked(true);

    CheckBox1 = new QCheckBox(QStringLiteral("Show password"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(176, 72, 113, 17);

    // The designed widths fit a small 8-point font; with the desktop's font a
    // caption may need more, up to the next control.
    CheckBox2->resize(std::clamp(CheckBox2->sizeHint().width(), 129, 168), 17);
    CheckBox1->resize(std::clamp(CheckBox1->sizeHint().width(), 113, 124), 17);

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(8, 104, 97, 22);
    Button1->setDefault(true);

    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(192, 104, 97, 22);

    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);

    connect(Edit1, &QLineEdit::textChanged, this, &PasswordDialog::Edit1Change);
    connect(CheckBox1, &QCheckBox::toggled, this, &PasswordDialog::CheckBox1Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    Edit1Change();
}

bool PasswordDialog::AskPassword()
{
    return ExecModal(*this) == QDialog::Accepted;
}

PasswordBytes PasswordDialog::Password() const
{
    return PasswordBytes(Edit1->text());
}

bool PasswordDialog::UseDigest() const
{
    return CheckBox2->isChecked();
}

void PasswordDialog::ClearPasswordField()
{
    Edit1->setText(QStringLiteral("00000000000000000000000000000000"));
    Edit1->clear();
}

void PasswordDialog::SetDigestOptionVisible(bool visible)
{
    CheckBox2->setVisible(visible);
}

bool PasswordDialog::DigestOptionVisible() const
{
    // isHidden, not isVisible: the answer must not depend on whether the
    // dialog itself is on screen.
    return !CheckBox2->isHidden();
}

void PasswordDialog::Edit1Change()
{
    Button1->setEnabled(!Edit1->text().isEmpty());
}

void PasswordDialog::CheckBox1Click()
{
    Edit1->setEchoMode(CheckBox1->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void PasswordDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    Edit1->setFocus(Qt::OtherFocusReason);
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
