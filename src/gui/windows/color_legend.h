#pragma once
// The colour legend: explains the markings of entry names in the file list
// (underline for hidden, grey text for read-only, highlight for system).
// Not modal, always on top; closing hides it, so it is shown again as is.

#include <QWidget>

class QPushButton;

namespace ciphra::gui {

class ColorLegendWindow : public QWidget {
    Q_OBJECT
public:
    explicit ColorLegendWindow(QWidget* parent = nullptr);

    // Shows the legend centred on the desktop, or brings it to the front.
    void ShowLegend();
    QPushButton* closeButton;

private:
    void OnClose();
};

} // namespace ciphra::gui
