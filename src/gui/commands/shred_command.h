#pragma once
// The shred command: after one confirmation, wipes every selected entry of
// the file list with three passes, lists the folder again and sums up. The
// confirmation also tells what overwriting cannot reach for the files
// selected (shred_limits.h), and the summary does not claim success for a
// file whose data, or other names, outlive it.

class QWidget;

namespace ciphra::gui {

class FileListHost;
class WipeProgressWindow;

// Boxes are owned by `parent`. Returns true when every file was wiped and
// nothing of them remains, false after a "No", a file that could not be
// wiped, or one whose data or other names remain. An I/O failure other than
// opening a file ends the command by throwing ciphra::FileError (no refresh,
// no summary).
bool ShredSelectedFiles(QWidget* parent, FileListHost& list, WipeProgressWindow& progress);

} // namespace ciphra::gui
