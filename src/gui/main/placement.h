#pragma once
// The main window's settings in the per-user store (QSettings, organisation
// "Tavik", application "Ciphra2K"): the options as integers at the top
// level, and the window placement as decimal texts in group "Ciphra2KP".

#include <QRect>

#include "core/jobs/output_names.h"

class QSettings;

namespace ciphra::gui {

struct StoredOptions {
    bool selfDecrypting = false;
    bool overwrite = false;
    bool ageFormat = false;
    StubTarget selfDecryptingFor = StubTarget::Linux;
    bool clearClipboard = true; // decrypted text leaves the clipboard after a while
};

// Reads "SelfDec", then "OverWr", each if present; any non-zero integer is
// on. Reading stops at the first value that is not an integer, leaving the
// options not yet read off. "AgeFormat" and "ClearClipboard" are each read
// on their own the same way (settings written before they existed have the
// first two only). "SelfDecFor", the system self-decrypting programs are
// written for, is read on its own too: 1 is Windows, anything else Linux.
StoredOptions ReadOptions(QSettings& settings);
// Writes the options as 1 or 0, and "SelfDecFor" as 0 (Linux) or 1
// (Windows).
void WriteOptions(QSettings& settings, const StoredOptions& options);

struct Placement {
    QRect normal; // the window's normal (restored) rectangle
    bool maximized = false;
};

// Reads the placement. A missing or non-numeric edge takes the edge of
// designed. A rectangle reaching past the screen's right (bottom) edge is
// moved left (up) by the excess; negative left and top edges stay. Along an
// axis where the stored edges give no length, a length over the screen's, or
// no part on the screen, the designed edges are taken.
Placement ReadPlacement(QSettings& settings, const QRect& designed, const QSize& screen);
// Writes "Left", "Top", "Right", "Bottom" (edges, not sizes) and "Maximized".
void WritePlacement(QSettings& settings, const Placement& placement);

} // namespace ciphra::gui
