#pragma once
// Running modal windows. Every window that another window shows modally is
// run through ExecModal, so that tests can fill it in and close it from a
// script instead of waiting on a real event loop.

#include <QString>

#include <deque>
#include <functional>
#include <vector>

class QDialog;

namespace ciphra::gui {

// Shows the dialog modally and returns its result (QDialog::Accepted or
// QDialog::Rejected), as QDialog::exec does.
int ExecModal(QDialog& dialog);

// Test seam: while a ModalScript lives, ExecModal does not enter an event
// loop. It hands the dialog to the next queued step, which may read and fill
// the dialog's controls and returns the result. Without a queued step the
// dialog counts as rejected. The window titles of the dialogs are recorded.
class ModalScript {
public:
    using Step = std::function<int(QDialog&)>;

    ModalScript();
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    void Queue(Step step) { steps_.push_back(std::move(step)); }
    const std::vector<QString>& Shown() const { return shown_; }

    static ModalScript* Active();
    int Run(QDialog& dialog);

private:
    std::deque<Step> steps_;
    std::vector<QString> shown_;
    ModalScript* previous_;
};

} // namespace ciphra::gui
