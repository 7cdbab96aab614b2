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

TForm5::TForm5(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Wipe::"));
    setFixedSize(225, 101);
}

} // namespace ciphra::ui
