#pragma once
// Creation of the program's eight windows, in their fixed order, one
// instance each; they live as long as this object. The other seven are
// owned by the main window.

#include "gui/main/main_window.h"

#include <memory>

namespace ciphra::gui {

class ProgramWindows {
public:
    ProgramWindows();
    ~ProgramWindows();

    MainWindow& Main() { return *main_; }
    const OtherWindows& Others() const { return others_; }

private:
    std::unique_ptr<MainWindow> main_;
    OtherWindows others_;
};

} // namespace ciphra::gui
