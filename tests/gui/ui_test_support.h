#pragma once
// Helpers shared by the window tests: a private settings store, a folder of
// files made to order, and a main() that runs a test object under the
// program's own application class.

#include "gui/kit/application.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace ciphra::gui::testing {

// Points the per-user settings store at a fresh temporary folder.
inline QTemporaryDir& SettingsFolder()
{
    static QTemporaryDir folder;
    return folder;
}

inline void UsePrivateSettings()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, SettingsFolder().path());
}

inline void ClearSettings()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

// Creates files (names ending in "/" are folders) in a temporary folder.
class FolderOf {
public:
    explicit FolderOf(const QStringList& names)
    {
        for (const QString& name : names) {
            if (name.endsWith('/')) {
                QDir(dir_.path()).mkpath(name);
            } else {
                QFile file(dir_.filePath(name));
                if (file.open(QIODevice::WriteOnly))
                    file.write("x");
            }
        }
    }
    QString Path() const { return dir_.path(); }
    QString FilePath(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

} // namespace ciphra::gui::testing

#define CIPHRA_UI_TEST_MAIN(TestClass)                                                             \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        ciphra::gui::Application app(argc, argv);                                                  \
        ciphra::gui::testing::UsePrivateSettings();                                                \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
