#pragma once
// The banner picture across the top of the hash and wipe windows, drawn in
// code: a dark gradient with the program's name.

#include <QPixmap>
#include <QSize>

namespace ciphra::ui {

QPixmap FileWindowBanner(const QSize& size);

} // namespace ciphra::ui
