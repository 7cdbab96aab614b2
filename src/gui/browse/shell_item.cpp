#include "gui/browse/shell_item.h"

#include <QDateTime>
#include <QLocale>

namespace ciphra::gui {

std::uint32_t SizeKBOf(std::uint64_t bytes)
{
    // Only the low 32 bits count, divided by 1000: a 5,000,000,000-byte file
    // shows 705032KB, as the list always showed it.
    const std::uint32_t kb = static_cast<std::uint32_t>(bytes) / 1000U;
    return kb == 0 ? 1U : kb;
}

QString SizeText(const ShellItem& entry)
{
    if (entry.IsFolder)
        return QString();
    return QString::number(entry.SizeKB) + QLatin1String("KB");
}

QString ModifiedText(std::time_t lastWrite, const QLocale& locale)
{
    if (lastWrite == 0)
        return QString();
    const QDateTime local = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(lastWrite));
    if (!local.isValid())
        return QString();
    QString text = locale.toString(local.date(), QLocale::ShortFormat);
    const QTime time = local.time();
    if (time.hour() != 0 || time.minute() != 0 || time.second() != 0)
        text += QLatin1Char(' ') + locale.toString(time, QLocale::LongFormat);
    return text;
}

QString AttributeLetters(std::uint8_t attributes)
{
    QString letters;
    if (attributes & kAttrReadOnly)
        letters += QLatin1Char('r');
    if (attributes & kAttrHidden)
        letters += QLatin1Char('h');
    if (attributes & kAttrSystem)
        letters += QLatin1Char('s');
    return letters;
}

} // namespace ciphra::gui
