#pragma once
// The general error report. A failure (ciphra::Exception or any
// std::exception) that a handler leaves unhandled ends that handler where it
// happened; the report box shows its message and the program goes on waiting
// for input.
//
// Handlers are entered through Guarded / RunGuarded, which catch the failure
// before it could unwind through Qt's own frames (Qt is built without
// exception support, and its cleanups there would be skipped). The event
// dispatch of Application catches whatever still escapes, as the last line.

#include <QApplication>

#include <exception>
#include <utility>

namespace ciphra::gui {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Takes back an application-wide hourglass and shows the failure's message
// in the report box (title "Ciphra 2K", error icon, the "." rule).
void ReportUnhandled(const std::exception& failure);

// Runs fn; returns false when it failed and the failure was reported.
template <typename Fn> bool RunGuarded(Fn&& fn)
{
    try {
        std::forward<Fn>(fn)();
        return true;
    } catch (const std::exception& failure) {
        ReportUnhandled(failure);
        return false;
    }
}

// Wraps a handler for QObject::connect: connect(button, &QPushButton::clicked,
// this, Guarded([this] { OnHash(); }));
template <typename Fn> auto Guarded(Fn fn)
{
    return [fn = std::move(fn)]() { RunGuarded(fn); };
}

} // namespace ciphra::gui
