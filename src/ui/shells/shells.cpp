#include "ui/shells/shells.h"

#include <QLineEdit>

namespace ciphra::ui {

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Enter password:"));
    setFixedSize(300, 141);
}

TForm6::TForm6(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("File viewer"));
    setGeometry(192, 107, 491, 251);
}

TForm8::TForm8(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("String encryption / clipboard encryption"));
    resize(442, 296);
}

} // namespace ciphra::ui
