#include "gui/windows/text_window.h"

#include "core/crypto/base64.h"
#include "core/crypto/wipe.h"
#include "core/jobs/text_cipher.h"
#include "gui/kit/accessible.h"
#include "gui/kit/application.h"
#include "gui/kit/modal.h"
#include "gui/windows/banner_strip.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_bytes.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QVBoxLayout>

namespace ciphra::gui {
namespace {

QPushButton* AddButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

TextWindow::TextWindow(PasswordDialog& password, QWidget* parent)
    : QDialog(parent), password_(password)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("String encryption / clipboard encryption"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);

    bannerStrip = new BannerStrip(this);

    workTextEdit = new QPlainTextEdit(this);
    workTextEdit->setObjectName(QStringLiteral("Memo1"));
    workTextEdit->setTabChangesFocus(false); // tabs go into the text
    workTextEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    workTextEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    workTextEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    encryptButton = AddButton(this, "Button1", "&Encrypt");
    decryptButton = AddButton(this, "Button2", "&Decrypt");
    copyButton = AddButton(this, "Button3", "&Copy to clipboard");
    viewClipboardButton = AddButton(this, "Button4", "&View clipboard text");
    cancelButton = AddButton(this, "Button5", "invisible");
    cancelButton->hide();

    Describe(workTextEdit, QStringLiteral("Text"),
             QStringLiteral("The text to encrypt or decrypt; an encrypted text is one line"));
    Describe(encryptButton, QStringLiteral("Encrypt"),
             QStringLiteral("Encrypt the text with a password"));
    Describe(decryptButton, QStringLiteral("Decrypt"),
             QStringLiteral("Decrypt the text with its password"));
    Describe(copyButton, QStringLiteral("Copy to clipboard"),
             QStringLiteral("Put the text on the clipboard"));
    Describe(viewClipboardButton, QStringLiteral("View clipboard text"),
             QStringLiteral("Put the clipboard's text into the box"));

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 6, 8, 6);
    for (QPushButton* button : {encryptButton, decryptButton, copyButton, viewClipboardButton})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bannerStrip);
    layout->addWidget(workTextEdit, 1);
    layout->addLayout(buttons);

    // Guarded: a failure (the Base64 format error) is reported before it
    // could unwind through Qt's frames.
    connect(encryptButton, &QPushButton::clicked, this, Guarded([this] { OnEncrypt(); }));
    connect(decryptButton, &QPushButton::clicked, this, Guarded([this] { OnDecrypt(); }));
    connect(copyButton, &QPushButton::clicked, this, Guarded([this] { OnCopy(); }));
    connect(viewClipboardButton, &QPushButton::clicked, this,
            Guarded([this] { OnViewClipboard(); }));
    connect(cancelButton, &QPushButton::clicked, this, &TextWindow::OnCancel);

    resize(442, 296);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TextWindow::Execute()
{
    DigestOptionHidden hidden(password_);
    const auto wipeWorkText = qScopeGuard([this] { WipeWorkText(); });
    ExecModal(*this);
}

void TextWindow::EncryptClipboard()
{
    RunClipboardCommand(&TextWindow::EncryptWorkText);
}

void TextWindow::DecryptClipboard()
{
    RunClipboardCommand(&TextWindow::DecryptWorkText);
}

void TextWindow::EmptyClipboard()
{
    QGuiApplication::clipboard()->clear();
}

QString TextWindow::WorkText() const
{
    // toPlainText() would turn non-breaking spaces into spaces and so change
    // the bytes that get encrypted; the raw text keeps them, and its block
    // and line separators (Shift+Enter) become line breaks here.
    QString text = workTextEdit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void TextWindow::RunClipboardCommand(void (TextWindow::*transform)())
{
    // Declared in this order so that leaving the scope, by any road, first
    // empties the work text and then shows the check box again.
    DigestOptionHidden hidden(password_);
    const auto wipeWorkText = qScopeGuard([this] { WipeWorkText(); });

    workTextEdit->setPlainText(QGuiApplication::clipboard()->text());
    if (!password_.AskPassword())
        return;
    (this->*transform)();
    CopyWorkText();
}

void TextWindow::CopyWorkText()
{
    workTextEdit->selectAll();
    QString text = WorkText();
    if (holdsDecryptedText_) {
        secretClipboard.Put(text);
    } else {
        QGuiApplication::clipboard()->setText(text);
    }
    WipeText(text);
}

void TextWindow::WipeWorkText()
{
    // clear() drops the undo history too, so nothing brings the text back.
    workTextEdit->clear();
    holdsDecryptedText_ = false;
}

void TextWindow::EncryptWorkText()
{
    QString text = WorkText();
    std::string bytes = WorkTextBytes(text);
    WipeText(text);
    {
        const PasswordBytes password = password_.Password();
        EncryptTextWithPassword(password.View(), bytes);
    }
    workTextEdit->setPlainText(QString::fromLatin1(Base64EncodeText(bytes)));
    holdsDecryptedText_ = false;
    password_.passwordEdit->clear();
}

void TextWindow::DecryptWorkText()
{
    // Decoding comes first: a format error leaves everything as it was.
    std::string bytes = Base64DecodeText(WorkTextBytes(WorkText()));
    const auto wipeBytes = qScopeGuard([&bytes] { SecureWipe(bytes.data(), bytes.size()); });
    {
        const PasswordBytes password = password_.Password();
        DecryptTextWithPassword(password.View(), bytes);
    }
    workTextEdit->setPlainText(WorkTextFromBytes(bytes));
    holdsDecryptedText_ = true;
    password_.passwordEdit->clear();
}

void TextWindow::OnEncrypt()
{
    if (workTextEdit->document()->isEmpty() || !password_.AskPassword())
        return;
    EncryptWorkText();
}

void TextWindow::OnDecrypt()
{
    if (workTextEdit->document()->isEmpty() || !password_.AskPassword())
        return;
    DecryptWorkText();
}

void TextWindow::OnCopy()
{
    CopyWorkText();
}

void TextWindow::OnViewClipboard()
{
    workTextEdit->insertPlainText(QGuiApplication::clipboard()->text());
}

void TextWindow::OnCancel()
{
    reject();
}

void TextWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    workTextEdit->setFocus(Qt::OtherFocusReason);
}

void TextWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancelButton->click(); // the window's cancel button, although never shown
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ciphra::gui
