#include "gui/windows/text_window.h"

#include "core/crypto/base64.h"
#include "core/jobs/text_cipher.h"
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

    Panel1 = new BannerStrip(this);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setTabChangesFocus(false); // tabs go into the text
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Button1 = AddButton(this, "Button1", "&Encrypt");
    Button2 = AddButton(this, "Button2", "&Decrypt");
    Button3 = AddButton(this, "Button3", "&Copy to clipboard");
    Button4 = AddButton(this, "Button4", "&View clipboard text");
    Button5 = AddButton(this, "Button5", "invisible");
    Button5->hide();

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 6, 8, 6);
    for (QPushButton* button : {Button1, Button2, Button3, Button4})
        buttons->addWidget(button);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);

    // Guarded: a failure (the Base64 format error) is reported before it
    // could unwind through Qt's frames.
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, Guarded([this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, Guarded([this] { Button4Click(); }));
    connect(Button5, &QPushButton::clicked, this, &TextWindow::Button5Click);

    resize(442, 296);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TextWindow::Execute()
{
    DigestOptionHidden hidden(password_);
    const auto emptyWorkText = qScopeGuard([this] { Memo1->clear(); });
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
    QString text = Memo1->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void TextWindow::RunClipboardCommand(void (TextWindow::*transform)())
{
    // Declared in this order so that leaving the scope, by any road, first
    // empties the work text and then shows the check box again.
    DigestOptionHidden hidden(password_);
    const auto emptyWorkText = qScopeGuard([this] { Memo1->clear(); });

    Memo1->setPlainText(QGuiApplication::clipboard()->text());
    if (!password_.AskPassword())
        return;
    (this->*transform)();
    Memo1->selectAll();
    QGuiApplication::clipboard()->setText(WorkText());
}

void TextWindow::EncryptWorkText()
{
    std::string bytes = WorkTextBytes(WorkText());
    {
        const PasswordBytes password = password_.Password();
        EncryptTextWithPassword(password.View(), bytes);
    }
    Memo1->setPlainText(QString::fromLatin1(Base64EncodeText(bytes)));
    password_.Edit1->clear();
}

void TextWindow::DecryptWorkText()
{
    // Decoding comes first: a format error leaves everything as it was.
    std::string bytes = Base64DecodeText(WorkTextBytes(WorkText()));
    {
        const PasswordBytes password = password_.Password();
        DecryptTextWithPassword(password.View(), bytes);
    }
    Memo1->setPlainText(WorkTextFromBytes(bytes));
    password_.Edit1->clear();
}

void TextWindow::Button1Click()
{
    if (Memo1->document()->isEmpty() || !password_.AskPassword())
        return;
    EncryptWorkText();
}

void TextWindow::Button2Click()
{
    if (Memo1->document()->isEmpty() || !password_.AskPassword())
        return;
    DecryptWorkText();
}

void TextWindow::Button3Click()
{
    Memo1->selectAll();
    QGuiApplication::clipboard()->setText(WorkText());
}

void TextWindow::Button4Click()
{
    Memo1->insertPlainText(QGuiApplication::clipboard()->text());
}

void TextWindow::Button5Click()
{
    reject();
}

void TextWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Memo1->setFocus(Qt::OtherFocusReason);
}

void TextWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button5->click(); // the window's cancel button, although never shown
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ciphra::gui
