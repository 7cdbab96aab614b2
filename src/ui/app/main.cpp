// ciphra2k: the windowed program.

#include "ui/app/startup.h"
#include "ui/kit/application.h"

int main(int argc, char** argv)
{
    ciphra::ui::Application app(argc, argv);
    ciphra::ui::ProgramWindows windows;
    windows.Main().show();
    return ciphra::ui::Application::exec();
}
