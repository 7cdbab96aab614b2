#pragma once
// The wipe progress window and the wipe routine the windows use: it shows
// the window while the shredder works, the bar moving one step per pass,
// and reports a file it cannot open.

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "core/jobs/shred_limits.h"

class QLabel;
class QProgressBar;

namespace ciphra::gui {

class WipeProgressWindow : public QWidget {
    Q_OBJECT
public:
    explicit WipeProgressWindow(QWidget* parent = nullptr);

    // Overwrites and deletes one file; returns true when it was deleted.
    // A file that cannot be opened gets a beep and the error box, and false.
    // Other I/O failures throw ciphra::FileError; the window is hidden and
    // the pointer restored on every way out.
    bool WipeFile(const QString& path, int passes);

    // Seams for tests: the beep, the clock text of the overwrite key, and
    // what overwriting cannot reach for a file (the system's facts unless set).
    std::function<void()> beep;
    std::function<QString()> clockText;
    std::function<std::vector<ShredFinding>(const std::string&)> shredLimits;

    QLabel* banner;
    QLabel* trashIcon;
    QLabel* waitLabel;
    QProgressBar* progressBar;
};

} // namespace ciphra::gui
