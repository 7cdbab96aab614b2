#pragma once
// The program's banner picture: a black strip with a key glyph and the
// program's name, drawn in code (no image files). The password dialog and the
// tool windows show it across their tops.

#include <QPixmap>
#include <QSize>

class QWidget;

namespace ciphra::gui {

// The banner drawn at the given size (in device-independent pixels, for the
// application's device pixel ratio); its artwork scales with the height.
QPixmap BannerPicture(QSize size);

// Names a widget that shows the banner for screen readers.
void DescribeBanner(QWidget* picture);

} // namespace ciphra::gui
