#include "gui/windows/banner_strip.h"

#include "gui/windows/banner.h"

#include <QHBoxLayout>
#include <QLabel>

namespace ciphra::gui {

BannerStrip::BannerStrip(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Panel1"));
    setFixedHeight(kHeight);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(BannerPicture(QSize(179, kHeight)));
    Image1->setFixedSize(179, kHeight);

    Layout1 = new QHBoxLayout(this);
    Layout1->setContentsMargins(0, 0, 6, 0);
    Layout1->addWidget(Image1);
    Layout1->addStretch();
}

} // namespace ciphra::gui
