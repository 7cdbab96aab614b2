#include "gui/windows/wipe_window.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>

#include "core/jobs/date_text.h"
#include "core/jobs/shredder.h"
#include "gui/kit/accessible.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/banner.h"

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
        window_.progressBar->setMaximum(passes);
        window_.progressBar->setValue(0);
        CentreOnScreen(window_);
        window_.show();
        window_.repaint();
    }

    void PassStarted(int pass) override
    {
        window_.progressBar->setValue(pass);
        window_.progressBar->repaint();
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
      beep([] { QApplication::beep(); }),
      clockText([] { return QString::fromStdString(LocalDateTimeText()); }),
      shredLimits([](const std::string& path) { return ShredLimitsOfFile(path); }),
      banner(new QLabel(this)), trashIcon(new QLabel(this)),
      waitLabel(new QLabel(QStringLiteral("Wiping file, please wait..."), this)),
      progressBar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Wipe::"));
    setFixedSize(225, 101);
    setCursor(Qt::WaitCursor);

    banner->setObjectName(QStringLiteral("Image2"));
    banner->setGeometry(0, 0, 233, 27);
    banner->setPixmap(BannerPicture(QSize(233, 27)));
    trashIcon->setObjectName(QStringLiteral("Image1"));
    trashIcon->setGeometry(8, 32, 32, 32);
    trashIcon->setPixmap(style()->standardIcon(QStyle::SP_TrashIcon).pixmap(32, 32));
    waitLabel->setObjectName(QStringLiteral("Label1"));
    waitLabel->move(64, 40);
    waitLabel->adjustSize();
    progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar->setGeometry(8, 72, 209, 13);
    progressBar->setRange(0, 100);
    progressBar->setTextVisible(false);
    DescribeBanner(banner);
    Describe(trashIcon, QStringLiteral("Shredding"),
             QStringLiteral("A file is being overwritten and deleted"));
    Describe(progressBar, QStringLiteral("Passes done"),
             QStringLiteral("The overwrite passes done on the file"));
}

bool WipeProgressWindow::WipeFile(const QString& path, int passes)
{
    const std::string nativePath = QFile::encodeName(path).toStdString();
    WipeOutcome outcome;
    {
        WipeScope scope(*this);
        WindowProgress progress(*this);
        outcome = ciphra::WipeFile(
            nativePath, passes, [this] { return clockText().toStdString(); }, &progress);
        progressBar->setValue(0);
    }
    if (outcome == WipeOutcome::Succeeded) {
        return true;
    }
    beep();
    ErrorBox(parentWidget(), QStringLiteral("Unable to get file from disk: \n\n") + path);
    return false;
}

} // namespace ciphra::gui
