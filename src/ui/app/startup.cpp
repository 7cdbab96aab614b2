#include "ui/app/startup.h"

#include "fileenc/password_dialog.h"
#include "tools/file_viewer.h"
#include "tools/text_window.h"
#include "ui/shells/shells.h"
#include "ui/windows/about_window.h"
#include "ui/windows/color_legend.h"

namespace ciphra::ui {

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

} // namespace ciphra::ui
