#pragma once
// The local date and time as the windows show them: the user's short date,
// a blank and the long time; at exactly midnight the date alone.

#include <QDateTime>
#include <QString>

namespace ciphra::gui {

QString DateTimeText(const QDateTime& when);
QString CurrentDateTimeText();

} // namespace ciphra::gui
