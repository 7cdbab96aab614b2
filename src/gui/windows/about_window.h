#pragma once
// The About window: the program's picture with a link to the project's web
// address over it (opened by a click, or from the keyboard with Enter or
// Space). Shown modally; closed by its close box or Escape.

#include <QDialog>

#include <QUrl>

#include <functional>

class QLabel;

namespace ciphra::gui {

// The project's web address, without the scheme. A reserved example name
// until the project has an address of its own.
inline constexpr const char* kProjectAddress = "ciphra2k.example";

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    QLabel* picture;
    QLabel* addressLink;
    // Opens an address in the browser; replaced in tests.
    std::function<void(const QUrl&)> openAddress;

    // Opens the project's address; the window stays open.
    void OnAddressClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ciphra::gui
