#include "gui/main/placement.h"

#include <QSettings>

namespace ciphra::gui {
namespace {

const QString kPlacementGroup = QStringLiteral("Ciphra2KP");

// Reads an option; false when the value is present but not an integer.
bool ReadFlag(QSettings& settings, const QString& key, bool& flag)
{
    if (!settings.contains(key))
        return true;
    bool isInteger = false;
    const int value = settings.value(key).toString().trimmed().toInt(&isInteger);
    if (!isInteger)
        return false;
    flag = value != 0;
    return true;
}

// Edges are kept as 64-bit numbers so that no stored pair of 32-bit values
// can overflow the arithmetic on them.
struct Span {
    qint64 from; // left or top
    qint64 to;   // right or bottom
};

// One axis of the stored rectangle on a screen `room` pixels long. A span
// beyond the far edge is moved back by the excess, as stored placements
// always were; a span before the near edge stays. A span that has no length,
// is longer than the screen, or lies wholly before the screen (a damaged or
// hand-edited file) would leave the window unusable or out of sight: the
// designed span is taken instead.
Span FitSpan(Span span, Span designed, qint64 room)
{
    const qint64 length = span.to - span.from;
    if (length < 1 || length > room)
        span = designed;
    if (span.to > room) {
        span.from -= span.to - room;
        span.to = room;
    }
    if (span.to < 1)
        span = designed;
    return span;
}

qint64 ReadEdge(QSettings& settings, const QString& key, int fallback)
{
    bool ok = false;
    const int value = settings.value(key).toString().toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

StoredOptions ReadOptions(QSettings& settings)
{
    StoredOptions options;
    if (ReadFlag(settings, QStringLiteral("SelfDec"), options.selfDecrypting))
        ReadFlag(settings, QStringLiteral("OverWr"), options.overwrite);
    ReadFlag(settings, QStringLiteral("AgeFormat"), options.ageFormat);
    bool isInteger = false;
    const int target =
        settings.value(QStringLiteral("SelfDecFor")).toString().trimmed().toInt(&isInteger);
    if (isInteger && target == 1) {
        options.selfDecryptingFor = StubTarget::Windows;
    }
    ReadFlag(settings, QStringLiteral("ClearClipboard"), options.clearClipboard);
    return options;
}

void WriteOptions(QSettings& settings, const StoredOptions& options)
{
    settings.setValue(QStringLiteral("SelfDec"), options.selfDecrypting ? 1 : 0);
    settings.setValue(QStringLiteral("OverWr"), options.overwrite ? 1 : 0);
    settings.setValue(QStringLiteral("AgeFormat"), options.ageFormat ? 1 : 0);
    settings.setValue(QStringLiteral("SelfDecFor"),
                      options.selfDecryptingFor == StubTarget::Windows ? 1 : 0);
    settings.setValue(QStringLiteral("ClearClipboard"), options.clearClipboard ? 1 : 0);
}

Placement ReadPlacement(QSettings& settings, const QRect& designed, const QSize& screen)
{
    settings.beginGroup(kPlacementGroup);
    Span horizontal{
        ReadEdge(settings, QStringLiteral("Left"), designed.left()),
        ReadEdge(settings, QStringLiteral("Right"), designed.left() + designed.width())};
    Span vertical{ReadEdge(settings, QStringLiteral("Top"), designed.top()),
                  ReadEdge(settings, QStringLiteral("Bottom"), designed.top() + designed.height())};
    const bool maximized = ReadEdge(settings, QStringLiteral("Maximized"), 0) != 0;
    settings.endGroup();

    horizontal =
        FitSpan(horizontal, {designed.left(), designed.left() + designed.width()}, screen.width());
    vertical =
        FitSpan(vertical, {designed.top(), designed.top() + designed.height()}, screen.height());
    return {QRect(static_cast<int>(horizontal.from), static_cast<int>(vertical.from),
                  static_cast<int>(horizontal.to - horizontal.from),
                  static_cast<int>(vertical.to - vertical.from)),
            maximized};
}

void WritePlacement(QSettings& settings, const Placement& placement)
{
    const QRect& r = placement.normal;
    settings.beginGroup(kPlacementGroup);
    settings.setValue(QStringLiteral("Left"), QString::number(r.left()));
    settings.setValue(QStringLiteral("Top"), QString::number(r.top()));
    settings.setValue(QStringLiteral("Right"), QString::number(r.left() + r.width()));
    settings.setValue(QStringLiteral("Bottom"), QString::number(r.top() + r.height()));
    settings.setValue(QStringLiteral("Maximized"), placement.maximized ? "1" : "0");
    settings.endGroup();
}

} // namespace ciphra::gui
