#pragma once
// The program's QApplication. Its event dispatch is the one place that
// catches a failure a handler leaves unhandled: the handler ends where the
// failure happened, the error report box shows the message, and the program
// goes on waiting for input.

#include <QApplication>

#include <functional>

namespace ciphra::ui {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs fn and shows any ciphra::Exception or std::exception it throws in the
// error report box. Returns false when it reported a failure. Used by the
// event dispatch and by code that runs outside it (start-up).
bool ReportFailures(const std::function<void()>& fn);

} // namespace ciphra::ui
