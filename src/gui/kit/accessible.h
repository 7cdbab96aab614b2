#pragma once
// Names for screen readers. Every control of the windows gets a name, the
// few words it is announced by, and a description, a sentence on what it
// shows or does (with its keys, where it has any). Captions on screen stay
// as they are; these texts are what the accessibility interfaces report.

#include <QString>
#include <QWidget>

namespace ciphra::gui {

inline void Describe(QWidget* control, const QString& name, const QString& description)
{
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
}

} // namespace ciphra::gui
