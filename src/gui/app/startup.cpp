#include "gui/app/startup.h"

#include "gui/shells/shells.h"
#include "gui/windows/about_window.h"
#include "gui/windows/color_legend.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_window.h"

namespace ciphra::gui {

ProgramWindows::ProgramWindows() : main_(std::make_unique<MainWindow>())
{
    others_.legend = new ColorLegendWindow(main_.get());
    others_.hash = new HashWindow(main_.get());
    others_.password = new PasswordDialog(main_.get());
    others_.wipeProgress = new WipeProgressWindow(main_.get());
    others_.viewer = new FileViewerWindow(main_.get());
    others_.about = new AboutWindow(main_.get());
    others_.stringEncryption = new TextWindow(*others_.password, main_.get());
    main_->AttachWindows(others_);
}

ProgramWindows::~ProgramWindows() = default;

} // namespace ciphra::gui
