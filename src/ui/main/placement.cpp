#include "ui/main/placement.h"

#include <QSettings>

namespace ciphra::ui {
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

int ReadEdge(QSettings& settings, const QString& key, int fallback)
{
    bool ok = false;
    const int value = settings.value(key).toString().toInt(&ok);
    return ok ? value : fallback;
}

} // namespace

StoredOptions ReadOptions(QSettings& settings)
{
    StoredOptions options;
    if (ReadFlag(settings, QStringLiteral("SelfDec"), options.selfDec))
        ReadFlag(settings, QStringLiteral("OverWr"), options.overWr);
    return options;
}

void WriteOptions(QSettings& settings, const StoredOptions& options)
{
    settings.setValue(QStringLiteral("SelfDec"), options.selfDec ? 1 : 0);
    settings.setValue(QStringLiteral("OverWr"), options.overWr ? 1 : 0);
}

Placement ReadPlacement(QSettings& settings, const QRect& designed, const QSize& screen)
{
    settings.beginGroup(kPlacementGroup);
    int left = ReadEdge(settings, QStringLiteral("Left"), designed.left());
    int top = ReadEdge(settings, QStringLiteral("Top"), designed.top());
    int right = ReadEdge(settings, QStringLiteral("Right"), designed.left() + designed.width());
    int bottom = ReadEdge(settings, QStringLiteral("Bottom"), designed.top() + designed.height());
    const bool maximized = ReadEdge(settings, QStringLiteral("Maximized"), 0) != 0;
    settings.endGroup();

    if (right > screen.width()) {
        left -= right - screen.width();
        right = screen.width();
    }
    if (bottom > screen.height()) {
        top -= bottom - screen.height();
        bottom = screen.height();
    }
    return {QRect(left, top, right - left, bottom - top), maximized};
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

} // namespace ciphra::ui
