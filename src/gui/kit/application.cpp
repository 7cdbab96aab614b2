#include "gui/kit/application.h"

#include "gui/kit/message_boxes.h"

#include <QCursor>
#include <QGuiApplication>

namespace ciphra::gui {

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Tavik"));
    setApplicationName(QStringLiteral("Ciphra2K"));
    // Wayland compositors find the window's icon and name through the
    // desktop entry of this name.
    setDesktopFileName(QStringLiteral("org.tavik.Ciphra2k"));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        ReportUnhandled(failure);
    }
    return false;
}

void ReportUnhandled(const std::exception& failure)
{
    // An application-wide hourglass set by the failed handler would otherwise stay.
    while (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::restoreOverrideCursor();
    ErrorReportBox(QString::fromUtf8(failure.what()));
}

} // namespace ciphra::gui
