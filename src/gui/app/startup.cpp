#include "gui/app/startup.h"

#include "gui/shells/shells.h"
#include "gui/windows/about_window.h"
#include "gui/windows/color_legend.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_window.h"

namespace ciphra::gui {

ProgramWindows::ProgramWindows() : main_(std::make_unique<TForm1>())
{
    others_.legend = new TForm2(main_.get());
    others_.hash = new TForm3(main_.get());
    others_.password = new TForm4(main_.get());
    others_.wipeProgress = new TForm5(main_.get());
    others_.viewer = new TForm6(main_.get());
    others_.about = new TForm7(main_.get());
    others_.stringEncryption = new TForm8(*others_.password, main_.get());
    main_->AttachWindows(others_);
}

ProgramWindows::~ProgramWindows() = default;

} // namespace ciphra::gui
