#pragma once
// Runs a piece of code as an event handler of the application, the way a menu
// command runs, so that a failure it leaves unhandled goes through the
// application's event dispatch to the error report. The event goes to a plain
// object, so the failure unwinds through no widget code on its way.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <functional>

namespace ciphra::test {

inline void RunAsHandler(const std::function<void()>& handler)
{
    class Receiver : public QObject {
    public:
        explicit Receiver(const std::function<void()>& fn) : fn_(fn) {}
        bool event(QEvent* event) override
        {
            if (event->type() != QEvent::User)
                return QObject::event(event);
            fn_();
            return true;
        }

    private:
        const std::function<void()>& fn_;
    };
    Receiver receiver(handler);
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&receiver, &event);
}

} // namespace ciphra::test
