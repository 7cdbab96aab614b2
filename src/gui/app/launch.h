#pragma once
// The program's command line: what a start asks for.
//
//   ciphra2k                          the main window, as always
//   ciphra2k PATH...                  the main window on a folder, or on the
//                                     folder of files with them selected
//   ciphra2k --encrypt|--decrypt|--shred|--hash [FILE...]
//                                     that one command on the files, with
//                                     its dialogs and boxes but no main
//                                     window; without files it asks for them
//   ciphra2k --help | --version
//
// "--" ends the options; what follows is a path even if it begins with "-".

#include <QString>
#include <QStringList>

namespace ciphra::gui {

enum class LaunchMode { Window, FileCommand, Help, Version, UsageError };
enum class FileCommandKind { Encrypt, Decrypt, Shred, Hash };

struct Launch {
    LaunchMode Mode = LaunchMode::Window;
    FileCommandKind Command = FileCommandKind::Encrypt; // for LaunchMode::FileCommand
    QStringList Paths;                                  // as given
    QString Problem;                                    // for LaunchMode::UsageError
};

// Reads the arguments that follow the program's name. --help, then
// --version, win over anything else on the line, so that they answer even
// beside an option that Qt takes for itself.
Launch ParseLaunch(const QStringList& arguments);

// "ciphra2k <version>" and the help text, each ending in a line break.
QString VersionText();
QString HelpText();

// Exit statuses of a start with a file command.
inline constexpr int LaunchDone = 0;
inline constexpr int LaunchFailed = 1;
inline constexpr int LaunchUsage = 2;

} // namespace ciphra::gui
