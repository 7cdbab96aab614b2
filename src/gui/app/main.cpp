// ciphra2k: the windowed program.

#include <sys/prctl.h>

#include <QStringList>

#include <cstdio>

#include "gui/app/file_command_launch.h"
#include "gui/app/launch.h"
#include "gui/app/startup.h"
#include "gui/kit/application.h"

namespace {

// --help and --version answer on standard output without a display.
int Answer(const ciphra::gui::Launch& launch)
{
    using ciphra::gui::LaunchMode;
    switch (launch.Mode) {
    case LaunchMode::Help:
        std::fputs(ciphra::gui::HelpText().toLocal8Bit().constData(), stdout);
        break;
    case LaunchMode::Version:
        std::fputs(ciphra::gui::VersionText().toLocal8Bit().constData(), stdout);
        break;
    default:
        std::fprintf(stderr, "ciphra2k: %s\nRun \"ciphra2k --help\" for the usage.\n",
                     launch.Problem.toLocal8Bit().constData());
        return ciphra::gui::LaunchUsage;
    }
    return std::fflush(stdout) == 0 ? ciphra::gui::LaunchDone : ciphra::gui::LaunchFailed;
}

} // namespace

int main(int argc, char** argv)
{
    // Passwords and keys pass through this process: keep it out of core dumps
    // and away from debuggers of the same user.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    using ciphra::gui::LaunchMode;
    QStringList raw;
    for (int i = 1; i < argc; ++i) {
        raw << QString::fromLocal8Bit(argv[i]);
    }
    if (const auto early = ciphra::gui::ParseLaunch(raw);
        early.Mode == LaunchMode::Help || early.Mode == LaunchMode::Version) {
        return Answer(early);
    }

    ciphra::gui::Application app(argc, argv);
    // Read again without the options that Qt took for itself (-platform ...).
    const auto launch = ciphra::gui::ParseLaunch(QCoreApplication::arguments().mid(1));
    if (launch.Mode == LaunchMode::UsageError) {
        return Answer(launch);
    }
    if (launch.Mode == LaunchMode::FileCommand) {
        return ciphra::gui::RunLaunchedCommand(launch.Command, launch.Paths);
    }

    ciphra::gui::ProgramWindows windows;
    windows.Main().show();
    if (!launch.Paths.isEmpty()) {
        ciphra::gui::RunGuarded([&] { windows.Main().ShowGivenPaths(launch.Paths); });
    }
    return ciphra::gui::Application::exec();
}
