#include "gui/windows/hash_window.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "core/io/posix_file.h"
#include "core/jobs/file_hash.h"
#include "gui/browse/item_id.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/windows/banner.h"
#include "gui/windows/date_time_text.h"

namespace ciphra::gui {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, QRect bounds)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(bounds);
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, QPoint at)
{
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(at);
    label->adjustSize();
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, QPoint at)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->move(at);
    edit->setFixedWidth(249);
    return edit;
}

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// The report name offered first: the file's name with ".hsh" as extension.
QString PresetReportName(const QString& fileName)
{
    return QFile::decodeName(
        QByteArray::fromStdString(ReplaceExtension(NativePath(fileName), ".hsh")));
}

} // namespace

HashWindow::HashWindow(QWidget* parent)
    : QDialog(parent), Beep([] { QApplication::beep(); }),
      DateTimeText([] { return CurrentDateTimeText(); }), Image1(new QLabel(this)),
      Label3(MakeLabel(this, "Label3", "Filename:", {8, 40})),
      HashFile(MakeEdit(this, "HashFile", {8, 56})),
      Label4(MakeLabel(this, "Label4", "Hash:", {8, 88})),
      HashFileBox(MakeEdit(this, "HashFileBox", {8, 104})),
      radiohex(new QGroupBox(QStringLiteral("Show Hash as:"), this)),
      RadioHex(new QRadioButton(QStringLiteral("Hex"), radiohex)),
      RadioChar(new QRadioButton(QStringLiteral("Char"), radiohex)),
      Button4(MakeButton(this, "Button4", "&Hash", {152, 144, 105, 22})),
      Button17(MakeButton(this, "Button17", "&Save to file", {8, 192, 75, 22})),
      Button5(MakeButton(this, "Button5", "&Clear all", {96, 192, 75, 22})),
      Button6(MakeButton(this, "Button6", "&Close", {184, 192, 75, 22}))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Hash File"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(271, 232);

    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 279, 30);
    Image1->setPixmap(BannerPicture(QSize(279, 30)));
    HashFileBox->setReadOnly(true);

    radiohex->setObjectName(QStringLiteral("radiohex"));
    radiohex->setGeometry(8, 136, 121, 41);
    RadioHex->setObjectName(QStringLiteral("RadioHex"));
    RadioChar->setObjectName(QStringLiteral("RadioChar"));
    auto* columns = new QHBoxLayout(radiohex);
    columns->setContentsMargins(6, 0, 6, 2);
    columns->addWidget(RadioHex);
    columns->addWidget(RadioChar);
    RadioHex->setChecked(true);

    Button4->setDefault(true);
    Button17->setToolTip(QStringLiteral("Save the resulting Hash into an ASCII file"));

    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button17, &QPushButton::clicked, this, [this] { Button17Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
}

void HashWindow::Button4Click()
{
    if (HashFile->text().isEmpty()) {
        return;
    }
    // Opened for reading only, so read-only files are hashed too.
    const std::optional<Sha1Digest> digest = DigestOfFile(NativePath(HashFile->text()));
    if (!digest) {
        InformationBox(this, QStringLiteral("Unable to open source file."));
        return;
    }
    const std::string text = RadioHex->isChecked() ? HexForm(*digest) : CharForm(*digest);
    HashFileBox->setText(QString::fromStdString(text));
}

void HashWindow::Button17Click()
{
    if (HashFileBox->text().isEmpty()) {
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Save hash to file:"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Hash Files (*.hsh)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("HSH"));
    // An existing name is refused below with its own message, never replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(PresetReportName(HashFile->text()));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string report =
        HashReport(HashFile->text().toStdString(), DateTimeText().toStdString(),
                   HashFileBox->text().toStdString());
    switch (SaveHashReport(NativePath(dialog.selectedFiles().constFirst()), report)) {
    case ReportSave::Exists:
        Beep();
        ErrorBox(this, QStringLiteral("ERROR #142, file already exists, cannot overwrite."));
        return;
    case ReportSave::CannotCreate:
        Beep();
        ErrorBox(this,
                 QStringLiteral("ERROR #132, Cannot create: disk is read-only or disk failure."));
        return;
    case ReportSave::Saved:
        Beep();
        PlainBox(this, QStringLiteral("All done. Hash saved to file."));
        return;
    }
}

void HashWindow::Button5Click()
{
    HashFile->clear();
    HashFileBox->clear();
}

void HashWindow::Button6Click()
{
    reject();
}

void HashWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    move(screen()->availableGeometry().center() - rect().center());
}

void HashWindow::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void HashWindow::FormClose()
{
    HashFile->clear();
    HashFileBox->clear();
}

void HashSelectedFile(FileListHost& list, HashWindow& window)
{
    const QStringList names = list.SelectedNames();
    if (names.isEmpty()) {
        return;
    }
    window.HashFile->setText(FullPath(list.FolderPath(), names.constFirst()));
    ExecModal(window);
    list.ClearSelection();
}

} // namespace ciphra::gui
