#pragma once
// The program's windows by name, for data-driven tests that go through every
// window: a row names a window, and WindowNamed finds it among the windows.

#include "gui/app/startup.h"
#include "gui/windows/about_window.h"
#include "gui/windows/color_legend.h"
#include "gui/windows/file_viewer.h"
#include "gui/windows/hash_window.h"
#include "gui/windows/password_dialog.h"
#include "gui/windows/text_window.h"
#include "gui/windows/wipe_window.h"

#include <QTest>

#include <utility>
#include <vector>

namespace ciphra::gui::testing {

inline std::vector<std::pair<QByteArray, QWidget*>> NamedWindows(ProgramWindows& windows)
{
    const OtherWindows& o = windows.Others();
    return {{"main", &windows.Main()}, {"legend", o.legend},
            {"hash", o.hash},          {"password", o.password},
            {"about", o.about},        {"text", o.stringEncryption},
            {"viewer", o.viewer},      {"wipe progress", o.wipeProgress}};
}

// One row per window, in a column "window" of the names.
inline void AddWindowRows()
{
    QTest::addColumn<QByteArray>("window");
    ProgramWindows windows;
    for (const auto& [name, window] : NamedWindows(windows))
        QTest::newRow(name.constData()) << name;
}

inline QWidget* WindowNamed(ProgramWindows& windows, const QByteArray& name)
{
    for (const auto& [known, window] : NamedWindows(windows)) {
        if (known == name)
            return window;
    }
    return nullptr;
}

} // namespace ciphra::gui::testing
