// ciphra2k: the windowed program.

#include <sys/prctl.h>

#include "gui/app/startup.h"
#include "gui/kit/application.h"

int main(int argc, char** argv)
{
    // Passwords and keys pass through this process: keep it out of core dumps
    // and away from debuggers of the same user.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    ciphra::gui::Application app(argc, argv);
    ciphra::gui::ProgramWindows windows;
    windows.Main().show();
    return ciphra::gui::Application::exec();
}
