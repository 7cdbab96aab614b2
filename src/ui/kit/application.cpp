#include "ui/kit/application.h"

#include "ui/kit/message_boxes.h"

#include <QCursor>
#include <QGuiApplication>

#include <exception>

namespace ciphra::ui {
namespace {

void ReportUnhandled(const char* message)
{
    // An application-wide hourglass set by the failed handler would otherwise stay.
    while (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
    ErrorReportBox(QString::fromUtf8(message));
}

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Tavik"));
    setApplicationName(QStringLiteral("Ciphra2K"));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        // ciphra::Exception derives from std::runtime_error: one path for both.
        ReportUnhandled(failure.what());
    }
    return false;
}

} // namespace ciphra::ui
