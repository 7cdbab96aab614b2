#include "gui/windows/date_time_text.h"

#include <QLocale>

namespace ciphra::gui {

QString DateTimeText(const QDateTime& when)
{
    const QLocale locale;
    const QString date = locale.toString(when.date(), QLocale::ShortFormat);
    if (when.time() == QTime(0, 0)) {
        return date;
    }
    return date + QLatin1Char(' ') + locale.toString(when.time(), QLocale::LongFormat);
}

QString CurrentDateTimeText()
{
    return DateTimeText(QDateTime::currentDateTime());
}

} // namespace ciphra::gui
