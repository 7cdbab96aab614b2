#include "gui/windows/wipe_window.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>

#include "core/jobs/shredder.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/banner.h"
#include "gui/windows/date_time_text.h"

namespace ciphra::gui {

namespace {

void CentreOnScreen(QWidget& window)
{
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
}

// Moves the window's caption and bar with the wipe.
class WindowProgress : public WipeObserver {
public:
    explicit WindowProgress(WipeProgressWindow& window) : window_(window) {}

    void WipeStarted(const std::string& fileName, int passes) override
    {
        window_.setWindowTitle(QFile::decodeName(QByteArray::fromStdString(fileName)));
        window_.ProgressBar1->setMaximum(passes);
        window_.ProgressBar1->setValue(0);
        CentreOnScreen(window_);
        window_.show();
        window_.repaint();
    }

    void PassStarted(int pass) override
    {
        window_.ProgressBar1->setValue(pass);
        window_.ProgressBar1->repaint();
    }

private:
    WipeProgressWindow& window_;
};

// Hourglass from the start of a wipe to its end, however it ends.
class WipeScope {
public:
    explicit WipeScope(WipeProgressWindow& window) : window_(window)
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WipeScope()
    {
        window_.hide();
        QGuiApplication::restoreOverrideCursor();
    }
    WipeScope(const WipeScope&) = delete;
    WipeScope& operator=(const WipeScope&) = delete;

private:
    WipeProgressWindow& window_;
};

} // namespace

WipeProgressWindow::WipeProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Beep([] { QApplication::beep(); }), ClockText([] { return CurrentDateTimeText(); }),
      Image2(new QLabel(this)), Image1(new QLabel(this)),
      Label1(new QLabel(QStringLiteral("Wiping file, please wait..."), this)),
      ProgressBar1(new QProgressBar(this))
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Wipe::"));
    setFixedSize(225, 101);
    setCursor(Qt::WaitCursor);

    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(0, 0, 233, 27);
    Image2->setPixmap(BannerPicture(QSize(233, 27)));
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 32, 32, 32);
    Image1->setPixmap(style()->standardIcon(QStyle::SP_TrashIcon).pixmap(32, 32));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(64, 40);
    Label1->adjustSize();
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 72, 209, 13);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
}

bool WipeProgressWindow::WipeFile(const QString& path, int passes)
{
    const std::string nativePath = QFile::encodeName(path).toStdString();
    WipeOutcome outcome;
    {
        WipeScope scope(*this);
        WindowProgress progress(*this);
        outcome = ciphra::WipeFile(
            nativePath, passes, [this] { return ClockText().toStdString(); }, &progress);
        ProgressBar1->setValue(0);
    }
    if (outcome == WipeOutcome::Succeeded) {
        return true;
    }
    Beep();
    ErrorBox(parentWidget(), QStringLiteral("Unable to get file from disk: \n\n") + path);
    return false;
}

} // namespace ciphra::gui
