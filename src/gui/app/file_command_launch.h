#pragma once
// A start with a file command ("ciphra2k --encrypt FILE..."): the command
// runs on the given files with the dialogs and boxes that the main window's
// command shows, and with its stored options, but without the main window.
// It runs once for each folder the files are in (the hash window once for
// each file), and stops after the first run that was not done.

#include "gui/app/launch.h"

#include <QStringList>

#include <functional>

namespace ciphra::gui {

// Asks the user for files to work on; empty when nothing was chosen.
using FileChooser = std::function<QStringList()>;

// The file dialog "Select Files", starting in the home folder.
QStringList ChooseFilesToOpen();

// Runs the command on paths (as given: relative, absolute or "file:" URLs),
// asking chooseFiles for them when there are none. Returns LaunchDone when
// every file was done, LaunchFailed otherwise: a path that does not exist
// (one error box names them all, and nothing runs), a "No", a Cancel, a
// file the command could not do, or a failure the error report showed.
int RunLaunchedCommand(FileCommandKind command, const QStringList& paths,
                       const FileChooser& chooseFiles = ChooseFilesToOpen);

} // namespace ciphra::gui
