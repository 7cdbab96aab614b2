// The windows at scale factor 2 (CTest runs this program with
// QT_SCALE_FACTOR=2): pictures and toolbar glyphs are drawn for the screen's
// pixels, not drawn at half size and enlarged.

#include "ui_test_support.h"
#include "window_rows.h"

#include <QLabel>
#include <QToolBar>

using namespace ciphra::gui;
using ciphra::gui::testing::WindowNamed;

class TestHighDpi : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }

    void picturesAreDrawnForTheScreen_data()
    {
        QTest::addColumn<QByteArray>("window");
        for (const char* name : {"hash", "password", "about", "text", "viewer", "wipe progress"})
            QTest::newRow(name) << QByteArray(name);
    }
    void picturesAreDrawnForTheScreen()
    {
        QFETCH(QByteArray, window);
        ProgramWindows windows;
        QWidget* shown = WindowNamed(windows, window);
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        int pictures = 0;
        for (const QLabel* label : shown->findChildren<QLabel*>()) {
            if (label->pixmap().isNull())
                continue;
            ++pictures;
            QVERIFY2(label->pixmap().devicePixelRatio() == shown->devicePixelRatio(),
                     qPrintable(label->objectName() + " is drawn at " +
                                QString::number(label->pixmap().devicePixelRatio())));
        }
        QVERIFY(pictures > 0);
        shown->hide();
    }

    void toolbarGlyphsAreDrawnForTheScreen()
    {
        ProgramWindows windows;
        QToolBar* bar = windows.Main().commands.toolBar;
        const QSize size = bar->iconSize();
        for (QAction* action : bar->actions()) {
            if (action->icon().isNull())
                continue;
            const QPixmap glyph = action->icon().pixmap(size, 2.0);
            QCOMPARE(glyph.size(), size * 2);
        }
    }
};

CIPHRA_UI_TEST_MAIN(TestHighDpi)
#include "test_high_dpi.moc"
