#include "gui/windows/banner.h"

#include "gui/kit/accessible.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ciphra::gui {
namespace {

// A key lying on its side: round bow with a hole, shaft, two bits.
void DrawKey(QPainter& painter, const QRectF& box)
{
    const qreal h = box.height();
    const qreal bow = h * 0.62;
    const QPointF centre(box.left() + bow / 2, box.center().y());
    QPainterPath key;
    key.addEllipse(centre, bow / 2, bow / 2);
    key.addRect(QRectF(centre.x() + bow * 0.4, centre.y() - h * 0.07, h * 0.95, h * 0.14));
    key.addRect(QRectF(centre.x() + bow * 0.4 + h * 0.62, centre.y(), h * 0.12, h * 0.26));
    key.addRect(QRectF(centre.x() + bow * 0.4 + h * 0.80, centre.y(), h * 0.12, h * 0.20));
    key.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addEllipse(centre, bow * 0.18, bow * 0.18);

    QLinearGradient gold(box.topLeft(), box.bottomLeft());
    gold.setColorAt(0, QColor(0xf6, 0xd3, 0x65));
    gold.setColorAt(1, QColor(0xb8, 0x86, 0x0b));
    painter.fillPath(key.subtracted(hole), gold);
}

} // namespace

QPixmap BannerPicture(QSize size)
{
    // Drawn for the screen's pixels: at scale factor 2, twice as many.
    const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap picture(size * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    const qreal h = size.height();
    const QRectF keyBox(h * 0.25, h * 0.15, h * 1.6, h * 0.7);
    DrawKey(painter, keyBox);

    QFont font;
    font.setBold(true);
    font.setPixelSize(qMax(8, int(h * 0.6)));
    painter.setFont(font);
    painter.setPen(QColor(0xe8, 0xe8, 0xe8));
    const QRectF textBox(keyBox.right() + h * 0.3, 0, size.width(), h);
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ciphra 2K"));
    return picture;
}

void DescribeBanner(QWidget* picture)
{
    Describe(picture, QStringLiteral("Ciphra 2K"),
             QStringLiteral("The program's banner: a key and the program's name"));
}

} // namespace ciphra::gui
