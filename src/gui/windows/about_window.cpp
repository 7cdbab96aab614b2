#include "gui/windows/about_window.h"

#include "gui/kit/accessible.h"

#include <QDesktopServices>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>

namespace ciphra::gui {

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), picture(new QLabel(this)),
      addressLink(new QLabel(this)),
      openAddress([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("About Ciphra 2K"));
    setFixedSize(293, 249);

    picture->setObjectName(QStringLiteral("Image1"));
    picture->setGeometry(0, 0, 293, 249);

    const QString address = QString::fromLatin1(kProjectAddress);
    addressLink->setObjectName(QStringLiteral("Label1"));
    addressLink->setText(address);
    addressLink->setToolTip(QStringLiteral("Go to ") + address);
    addressLink->setGeometry(80, 179, 101, 14);
    addressLink->setAlignment(Qt::AlignCenter);
    // A dotted frame shows where the keyboard is; a white one, the same
    // size, stands in for it otherwise.
    addressLink->setStyleSheet(
        QStringLiteral("QLabel { background: white; color: blue; border: 1px solid white; }"
                       "QLabel:focus { border: 1px dotted blue; }"));
    QFont font = addressLink->font();
    font.setPixelSize(11);
    font.setUnderline(true);
    addressLink->setFont(font);
    addressLink->setCursor(Qt::PointingHandCursor);
    // The link is reached with Tab and opened with Enter or Space as well.
    addressLink->setFocusPolicy(Qt::StrongFocus);
    Describe(addressLink, address,
             QStringLiteral("Open the project's web page in the browser (Enter)"));
    Describe(picture, QStringLiteral("Ciphra 2K, Version 2.0 Beta1"),
             QStringLiteral("Twofish file encryption. Freeware. Use at your own risk."));
    // The label fits its caption, from its place over the picture's white band.
    addressLink->adjustSize();
    addressLink->installEventFilter(this);
}

void AboutWindow::showEvent(QShowEvent* event)
{
    // Drawn on first show rather than at start-up, where every millisecond counts.
    if (picture->pixmap().isNull())
        picture->setPixmap(QIcon(QStringLiteral(":/art/about.svg")).pixmap(QSize(293, 249)));
    QDialog::showEvent(event);
    // In the middle of the screen, as the other dialogs, not over the main window.
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    }
}

void AboutWindow::OnAddressClick()
{
    openAddress(QUrl(QStringLiteral("https://") + QString::fromLatin1(kProjectAddress)));
}

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == addressLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OnAddressClick();
        return true;
    }
    if (watched == addressLink && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            OnAddressClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace ciphra::gui
