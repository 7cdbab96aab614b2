#include "gui/kit/modal.h"

#include <QDialog>

namespace ciphra::gui {
namespace {
ModalScript* activeScript = nullptr;
} // namespace

int ExecModal(QDialog& dialog)
{
    if (ModalScript* script = ModalScript::Active())
        return script->Run(dialog);
    return dialog.exec();
}

ModalScript::ModalScript() : previous_(activeScript)
{
    activeScript = this;
}

ModalScript::~ModalScript()
{
    activeScript = previous_;
}

ModalScript* ModalScript::Active()
{
    return activeScript;
}

int ModalScript::Run(QDialog& dialog)
{
    shown_.push_back(dialog.windowTitle());
    int result = QDialog::Rejected;
    if (!steps_.empty()) {
        Step step = std::move(steps_.front());
        steps_.pop_front();
        result = step(dialog);
    }
    dialog.setResult(result);
    return result;
}

} // namespace ciphra::gui
