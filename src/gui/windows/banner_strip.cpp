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

    picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(BannerPicture(QSize(179, kHeight)));
    picture->setFixedSize(179, kHeight);
    DescribeBanner(picture);

    row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 6, 0);
    row->addWidget(picture);
    row->addStretch();
}

} // namespace ciphra::gui
