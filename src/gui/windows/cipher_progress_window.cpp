#include "gui/windows/cipher_progress_window.h"

#include "gui/kit/accessible.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace ciphra::gui {
namespace {

// Repainting more often than this only slows the run down.
constexpr qint64 RepaintInterval = 40;

} // namespace

CipherProgressWindow::CipherProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      FileLabel(new QLabel(this)), Bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("CipherProgressWindow"));
    setWindowModality(Qt::ApplicationModal);
    FileLabel->setObjectName(QStringLiteral("FileLabel"));
    FileLabel->setTextFormat(Qt::PlainText);
    FileLabel->setMinimumWidth(320);
    Bar->setObjectName(QStringLiteral("Bar"));
    Bar->setRange(0, BarRange);
    Bar->setTextVisible(false);
    Describe(Bar, QStringLiteral("Progress"), QStringLiteral("The part of the file done"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FileLabel);
    layout->addWidget(Bar);
}

ProgressRun::ProgressRun(CipherProgressWindow& window, const QString& caption,
                         const QString& fileName)
    : window_(window), caption_(caption), fileName_(fileName)
{
    started_.start();
}

ProgressRun::~ProgressRun()
{
    window_.hide();
}

void ProgressRun::BytesDone(std::uint64_t done, std::uint64_t total)
{
    if (!window_.isVisible()) {
        if (started_.elapsed() < window_.Delay())
            return;
        window_.setWindowTitle(caption_);
        window_.FileLabel->setText(fileName_);
        window_.show();
        lastRepaint_.invalidate();
    }
    const auto permille = total == 0
                              ? CipherProgressWindow::BarRange
                              : static_cast<int>(done * CipherProgressWindow::BarRange / total);
    window_.Bar->setValue(permille);
    if (!lastRepaint_.isValid() || lastRepaint_.elapsed() >= RepaintInterval || done == total) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        lastRepaint_.start();
    }
}

} // namespace ciphra::gui
