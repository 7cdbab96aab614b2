#pragma once
// The stub's message box: a small modal window with a text of one or more
// lines ("\r" breaks a line) and an "OK" button, owned by the main window.

#include <string>

#include "stub/x11_canvas.h"

namespace ciphra::stub {

// Events for other windows while the box is open. The owner paints itself
// and ignores input; it returns false when it is gone, which ends the box.
class OwnerEvents {
public:
    virtual bool OwnerEvent(const XEvent& event) = 0;

protected:
    ~OwnerEvents() = default;
};

// Shows the box centred over `owner` and returns once the user has pressed
// "OK" (mouse, Enter, Space or Escape) or closed the box.
void RunMessageBox(Canvas& canvas, Window owner, const char* title, const std::string& text,
                   OwnerEvents& ownerEvents);

} // namespace ciphra::stub
