#include "gui/windows/color_legend.h"

#include "gui/kit/accessible.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace ciphra::gui {
namespace {

QLabel* Swatch(QWidget* parent, QPalette::ColorGroup group, QPalette::ColorRole role, int y)
{
    auto* square = new QLabel(parent);
    square->setGeometry(8, y, 15, 15);
    square->setAutoFillBackground(true);
    QPalette palette = square->palette();
    palette.setColor(QPalette::Window, QGuiApplication::palette().color(group, role));
    square->setPalette(palette);
    return square;
}

} // namespace

ColorLegendWindow::ColorLegendWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      closeButton(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Color info:"));
    setFixedSize(195, 85);
    QFont font = this->font();
    font.setPixelSize(11);
    setFont(font);

    auto* hidden = new QLabel(QStringLiteral("U"), this);
    QFont sample = font;
    sample.setPixelSize(16);
    sample.setBold(true);
    sample.setUnderline(true);
    hidden->setFont(sample);
    hidden->setGeometry(8, 5, 20, 20);
    Swatch(this, QPalette::Disabled, QPalette::Text, 32);
    Swatch(this, QPalette::Active, QPalette::Highlight, 56);

    closeButton->setObjectName(QStringLiteral("Button1"));
    closeButton->setGeometry(144, 56, 41, 17);

    // The last caption shares its row with the Close button and ends before
    // it: a label over the button would take the button's clicks.
    const char* const captions[] = {"Hidden file/folder", "Read Only file/folder",
                                    "System file/folder"};
    for (int row = 0; row < 3; ++row) {
        const int right = row == 2 ? closeButton->x() - 4 : width() - 3;
        (new QLabel(QString::fromLatin1(captions[row]), this))
            ->setGeometry(32, 8 + 24 * row, right - 32, 15);
    }
    Describe(closeButton, QStringLiteral("Close"), QStringLiteral("Close the colour legend"));
    connect(closeButton, &QPushButton::clicked, this, [this] { OnClose(); });
}

void ColorLegendWindow::ShowLegend()
{
    if (!isVisible()) {
        const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
        move(desktop.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void ColorLegendWindow::OnClose()
{
    close();
}

} // namespace ciphra::gui
