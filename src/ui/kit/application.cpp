#include "ui/kit/application.h"

#include "ui/kit/message_boxes.h"

#include <QGuiApplication>

#include <exception>

namespace ciphra::ui {
namespace {

// An application-wide hourglass set by the failed handler would otherwise stay.
void RestoreCursors()
{
    while (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Tavik"));
    setApplicationName(QStringLiteral("Ciphra2K"));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    ReportFailures([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

bool ReportFailures(const std::function<void()>& fn)
{
    QString message;
    try {
        fn();
        return true;
    } catch (const std::exception& failure) {
        // ciphra::Exception derives from std::runtime_error: one path for both.
        message = QString::fromUtf8(failure.what());
    }
    RestoreCursors();
    ErrorReportBox(message);
    return false;
}

} // namespace ciphra::ui
