#include "gui/windows/file_viewer.h"

#include "core/io/posix_file.h"
#include "gui/kit/accessible.h"
#include "gui/kit/modal.h"
#include "gui/windows/banner_strip.h"
#include "gui/windows/text_bytes.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

#include <algorithm>

namespace ciphra::gui {
namespace {

[[noreturn]] void ThrowCannotOpen(const QString& path)
{
    throw Exception("Cannot open file " + path.toUtf8().toStdString());
}

// Reads at most limit bytes from the start of the file; sets truncated when
// more follow. A size reported by the file system is not trusted (files in
// /proc report 0), so this reads until the end or the limit.
QByteArray ReadStart(File& file, qsizetype limit, bool& truncated)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min<std::uint64_t>(file.Size(), std::uint64_t(limit))));
    char chunk[64 * 1024];
    while (bytes.size() < limit) {
        const std::size_t wanted = std::min(sizeof chunk, std::size_t(limit - bytes.size()));
        const std::size_t got = file.Read(chunk, wanted);
        if (got == 0)
            break;
        bytes.append(chunk, qsizetype(got));
    }
    truncated = bytes.size() == limit && file.Read(chunk, 1) == 1;
    return bytes;
}

// A paragraph of a million characters takes the text box seconds to lay out
// and draw, so a line longer than kLongLine is shown as several: cut after its
// last space in the second half of the limit, else at the limit.
constexpr qsizetype kLongLine = FileViewerWindow::kLongLine;

qsizetype LineEnd(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r'))
            return i;
    }
    return text.size();
}

QString BreakLongLines(const QString& text)
{
    QString shown;
    shown.reserve(text.size() + text.size() / kLongLine + 1);
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype end = LineEnd(text, start);
        while (end - start > kLongLine) {
            qsizetype cut = text.lastIndexOf(QLatin1Char(' '), start + kLongLine - 1) + 1;
            if (cut <= start + kLongLine / 2)
                cut = start + kLongLine;
            if (text[cut - 1].isHighSurrogate())
                --cut; // keep a character outside the basic plane whole
            shown.append(QStringView(text).mid(start, cut - start));
            shown.append(QLatin1Char('\n'));
            start = cut;
        }
        const qsizetype next = std::min(end + 1, text.size());
        shown.append(QStringView(text).mid(start, next - start));
        start = next;
    }
    return shown;
}

// The system's fixed-width font, 12 pixels high.
QFont ViewerFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    return font;
}

} // namespace

FileViewerWindow::FileViewerWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("File viewer"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);

    bannerStrip = new BannerStrip(this);
    truncatedNote = new QLabel(bannerStrip);
    truncatedNote->setObjectName(QStringLiteral("Label1"));
    truncatedNote->setText(
        QStringLiteral("Only the first %1 MiB of the file are shown").arg(kShownBytes >> 20));
    truncatedNote->hide();
    bannerStrip->row->addWidget(truncatedNote);

    textView = new QPlainTextEdit(this);
    textView->setObjectName(QStringLiteral("RichEdit1"));
    textView->setReadOnly(true);
    textView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textView->setFont(ViewerFont());
    Describe(textView, QStringLiteral("File contents"),
             QStringLiteral("The file's bytes as text, read-only"));

    cancelButton = new QPushButton(QStringLiteral("This is invisible"), this);
    cancelButton->setObjectName(QStringLiteral("Button1"));
    cancelButton->setAutoDefault(false);
    cancelButton->hide();
    connect(cancelButton, &QPushButton::clicked, this, &FileViewerWindow::OnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bannerStrip);
    layout->addWidget(textView, 1);

    // The designed outer bounds are 192, 107, 491 x 251; the frame is the
    // window manager's, so the client takes the size less a typical frame.
    move(192, 107);
    resize(483, 224);
}

void FileViewerWindow::ViewFile(const QString& path)
{
    LoadFile(path);
    const auto empty = qScopeGuard([this] { ClearView(); });
    ExecModal(*this);
}

void FileViewerWindow::LoadFile(const QString& path)
{
    // Only regular files: opening a FIFO would block the window for good,
    // and a device or a folder has no contents to show.
    if (!QFileInfo(path).isFile())
        ThrowCannotOpen(path);
    std::optional<File> file =
        File::TryOpen(QFile::encodeName(path).toStdString(), OpenMode::ReadOnly);
    if (!file)
        ThrowCannotOpen(path);
    bool truncated = false;
    const QByteArray bytes = ReadStart(*file, kShownBytes, truncated);
    QString text = TextFromBytes(bytes);
    text.replace(QChar(0), QChar(0x2400));
    textView->setPlainText(BreakLongLines(text));
    truncatedNote->setVisible(truncated);
}

void FileViewerWindow::ClearView()
{
    textView->clear();
    truncatedNote->hide();
}

void FileViewerWindow::OnCancel()
{
    reject();
}

void FileViewerWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cancelButton->click(); // the window's cancel button, although never shown
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace ciphra::gui
