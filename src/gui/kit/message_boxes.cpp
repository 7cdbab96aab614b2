#include "gui/kit/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace ciphra::gui {
namespace {

MessageBoxScript* activeScript = nullptr;

QString TitleOf(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Confirm:
        return QStringLiteral("Confirm");
    case BoxKind::Information:
        return QStringLiteral("Information");
    case BoxKind::Error:
        return QStringLiteral("Error");
    case BoxKind::Plain:
    case BoxKind::ErrorReport:
        break;
    }
    return QString::fromLatin1(kAppTitle);
}

QMessageBox::Icon IconOf(BoxKind kind)
{
    switch (kind) {
    case BoxKind::Confirm:
        return QMessageBox::Question;
    case BoxKind::Information:
        return QMessageBox::Information;
    case BoxKind::Error:
    case BoxKind::ErrorReport:
        return QMessageBox::Critical;
    case BoxKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

// Shows one box; returns true when the answer is "&Yes" (confirmation only).
bool Show(QWidget* parent, BoxKind kind, const QString& text)
{
    const QString title = TitleOf(kind);
    if (MessageBoxScript* script = MessageBoxScript::Active())
        return script->Record(kind, title, text);

    // Messages of the core separate their lines with a lone carriage return
    // (the key-length message does); a box breaks lines on line feeds only.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(IconOf(kind), title, shown, QMessageBox::NoButton, parent);
    if (kind == BoxKind::Confirm) {
        QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.exec();
        return box.clickedButton() == yes;
    }
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
    return false;
}

} // namespace

bool ConfirmBox(QWidget* parent, const QString& text)
{
    return Show(parent, BoxKind::Confirm, text);
}

void InformationBox(QWidget* parent, const QString& text)
{
    Show(parent, BoxKind::Information, text);
}

void ErrorBox(QWidget* parent, const QString& text)
{
    Show(parent, BoxKind::Error, text);
}

void PlainBox(QWidget* parent, const QString& text)
{
    Show(parent, BoxKind::Plain, text);
}

void ErrorReportBox(const QString& message)
{
    Show(nullptr, BoxKind::ErrorReport, WithFinalDot(message));
}

QString WithFinalDot(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

MessageBoxScript::MessageBoxScript() : previous_(activeScript)
{
    activeScript = this;
}

MessageBoxScript::~MessageBoxScript()
{
    activeScript = previous_;
}

MessageBoxScript* MessageBoxScript::Active()
{
    return activeScript;
}

bool MessageBoxScript::Record(BoxKind kind, const QString& title, const QString& text)
{
    boxes_.push_back({kind, title, text});
    if (kind != BoxKind::Confirm || answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

} // namespace ciphra::gui
