#include "ui/shells/shells.h"

#include <QLineEdit>

namespace ciphra::ui {

TForm3::TForm3(QWidget* parent) : QDialog(parent), HashFile(new QLineEdit(this))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Hash File"));
    setFixedSize(271, 232);
    HashFile->setObjectName(QStringLiteral("HashFile"));
    HashFile->setGeometry(8, 56, 255, 21);
}

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Enter password:"));
    setFixedSize(300, 141);
}

TForm5::TForm5(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Wipe::"));
    setFixedSize(225, 101);
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
