#pragma once
// The black strip with the banner picture across the top of the tool windows.

#include <QFrame>

class QHBoxLayout;
class QLabel;

namespace ciphra::gui {

class BannerStrip : public QFrame {
public:
    static constexpr int kHeight = 25;

    explicit BannerStrip(QWidget* parent);

    QLabel* picture;  // the banner picture, 179 x 25, at the left end
    QHBoxLayout* row; // further widgets go to the right of the picture
};

} // namespace ciphra::gui
