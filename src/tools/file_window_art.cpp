#include "tools/file_window_art.h"

#include <QLinearGradient>
#include <QPainter>

namespace ciphra::ui {

QPixmap FileWindowBanner(const QSize& size)
{
    QPixmap pixmap(size);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, size.width(), 0);
    gradient.setColorAt(0, QColor(0x10, 0x1c, 0x3a));
    gradient.setColorAt(1, QColor(0x3a, 0x6e, 0xa5));
    painter.fillRect(pixmap.rect(), gradient);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(size.height() * 3 / 5);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect().adjusted(8, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("Ciphra 2K"));
    return pixmap;
}

} // namespace ciphra::ui
