#pragma once
// The program's QApplication. Its event dispatch is the one place that
// catches a failure a handler leaves unhandled: the handler ends where the
// failure happened, the error report box shows the message, and the program
// goes on waiting for input.

#include <QApplication>

namespace ciphra::ui {

class Application : public QApplication {
public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace ciphra::ui
