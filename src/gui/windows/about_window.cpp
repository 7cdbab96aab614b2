#include "gui/windows/about_window.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace ciphra::gui {

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), Image1(new QLabel(this)),
      Label1(new QLabel(this)), OpenAddress([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("About Ciphra 2K"));
    setFixedSize(293, 249);

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 293, 249);

    const QString address = QString::fromLatin1(kProjectAddress);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(address);
    Label1->setToolTip(QStringLiteral("Go to ") + address);
    Label1->setGeometry(80, 179, 101, 14);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setStyleSheet(QStringLiteral("background: white; color: blue;"));
    QFont font = Label1->font();
    font.setPixelSize(11);
    font.setUnderline(true);
    Label1->setFont(font);
    Label1->setCursor(Qt::PointingHandCursor);
    // The label fits its caption, from its place over the picture's white band.
    Label1->adjustSize();
    Label1->installEventFilter(this);
}

void AboutWindow::showEvent(QShowEvent* event)
{
    // Drawn on first show rather than at start-up, where every millisecond counts.
    if (Image1->pixmap().isNull())
        Image1->setPixmap(QIcon(QStringLiteral(":/art/about.svg")).pixmap(QSize(293, 249)));
    QDialog::showEvent(event);
}

void AboutWindow::Label1Click()
{
    OpenAddress(QUrl(QStringLiteral("https://") + QString::fromLatin1(kProjectAddress)));
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace ciphra::gui
