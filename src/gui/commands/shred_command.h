#pragma once
// The shred command: after one confirmation, wipes every selected entry of
// the file list with three passes, lists the folder again and sums up.

class QWidget;

namespace ciphra::gui {

class FileListHost;
class WipeProgressWindow;

// Boxes are owned by `parent`. Returns true when every file was wiped, false
// after a "No" or a file that could not be. An I/O failure other than
// opening a file ends the command by throwing ciphra::FileError (no refresh,
// no summary).
bool ShredSelectedFiles(QWidget* parent, FileListHost& list, WipeProgressWindow& progress);

} // namespace ciphra::gui
