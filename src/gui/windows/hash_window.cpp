#include "gui/windows/hash_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>

#include "core/io/path_names.h"
#include "core/io/posix_file.h"
#include "core/jobs/date_text.h"
#include "core/jobs/file_hash.h"
#include "gui/browse/item_id.h"
#include "gui/kit/accessible.h"
#include "gui/kit/application.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/kit/modal.h"
#include "gui/windows/banner.h"
#include "gui/windows/hash_verification.h"

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

constexpr const char* kAlgorithmKey = "HashAlgorithm";

// The stored choice; SHA-1 when none is stored or the text is unknown.
HashAlgorithm StoredAlgorithm()
{
    const QString text = QSettings().value(QString::fromLatin1(kAlgorithmKey)).toString();
    return AlgorithmFromText(text.toStdString()).value_or(HashAlgorithm::Sha1);
}

QComboBox* MakeAlgorithmBox(QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("HashAlgorithm"));
    for (const HashAlgorithm algorithm : {HashAlgorithm::Sha1, HashAlgorithm::Sha256}) {
        box->addItem(QString::fromLatin1(AlgorithmName(algorithm)),
                     QString::fromLatin1(AlgorithmKey(algorithm)));
    }
    box->setCurrentIndex(StoredAlgorithm() == HashAlgorithm::Sha1 ? 0 : 1);
    return box;
}

// The verdict's ground: green, red or amber, by its "verdict" property.
const char* const kVerdictStyle =
    "QLabel#Verdict { border-radius: 3px; padding: 3px 6px; }"
    "QLabel#Verdict[verdict=\"match\"] { background: #1e7b34; color: white; }"
    "QLabel#Verdict[verdict=\"mismatch\"] { background: #b3261e; color: white; }"
    "QLabel#Verdict[verdict=\"problem\"] { background: #f2c14e; color: black; }";

QLabel* MakeVerdictLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QStringLiteral("Verdict"));
    label->setGeometry(8, 262, 255, 80);
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setStyleSheet(QString::fromLatin1(kVerdictStyle));
    label->hide();
    return label;
}

QFrame* MakeRule(QWidget* parent)
{
    auto* rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(8, 184, 255, 2);
    return rule;
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
    : QDialog(parent), beep([] { QApplication::beep(); }),
      dateTimeText([] { return QString::fromStdString(LocalDateTimeText()); }),
      banner(new QLabel(this)), fileNameLabel(MakeLabel(this, "Label3", "Filename:", {8, 40})),
      fileNameEdit(MakeEdit(this, "HashFile", {8, 56})),
      hashLabel(MakeLabel(this, "Label4", "Hash:", {8, 88})),
      hashEdit(MakeEdit(this, "HashFileBox", {8, 104})),
      algorithmLabel(MakeLabel(this, "AlgorithmLabel", "&Algorithm:", {124, 86})),
      algorithmBox(MakeAlgorithmBox(this)),
      hashFormGroup(new QGroupBox(QStringLiteral("Show Hash as:"), this)),
      hexOption(new QRadioButton(QStringLiteral("Hex"), hashFormGroup)),
      charOption(new QRadioButton(QStringLiteral("Char"), hashFormGroup)),
      hashButton(MakeButton(this, "Button4", "&Hash", {152, 144, 105, 22})),
      verifyRule(MakeRule(this)),
      expectedLabel(MakeLabel(this, "ExpectedLabel", "E&xpected hash or checksum file:", {8, 192})),
      expectedEdit(MakeEdit(this, "ExpectedHash", {8, 208})),
      openListButton(MakeButton(this, "OpenList", "&Open...", {8, 234, 75, 22})),
      verifyButton(MakeButton(this, "Verify", "&Verify", {152, 234, 105, 22})),
      verdictLabel(MakeVerdictLabel(this)),
      saveButton(MakeButton(this, "Button17", "&Save to file", {8, 350, 75, 22})),
      clearButton(MakeButton(this, "Button5", "&Clear all", {96, 350, 75, 22})),
      closeButton(MakeButton(this, "Button6", "&Close", {184, 350, 75, 22}))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Hash File"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(271, 384);

    banner->setObjectName(QStringLiteral("Image1"));
    banner->setGeometry(0, 0, 279, 30);
    banner->setPixmap(BannerPicture(QSize(279, 30)));
    DescribeBanner(banner);
    hashEdit->setReadOnly(true);
    Describe(fileNameEdit, QStringLiteral("Filename"), QStringLiteral("The file to hash"));
    Describe(hashEdit, QStringLiteral("Hash"),
             QStringLiteral("The file's hash, read-only; Hash fills it in"));
    Describe(algorithmBox, QStringLiteral("Algorithm"),
             QStringLiteral("The hash to compute, SHA-1 or SHA-256; the choice is kept"));
    Describe(hexOption, QStringLiteral("Hex"),
             QStringLiteral("Show the hash as hexadecimal digits"));
    Describe(charOption, QStringLiteral("Char"), QStringLiteral("Show the hash as Base64 text"));
    Describe(hashButton, QStringLiteral("Hash"),
             QStringLiteral("Compute the hash of the file named in Filename"));
    Describe(saveButton, QStringLiteral("Save to file"),
             QStringLiteral("Save the resulting Hash into an ASCII file"));
    Describe(clearButton, QStringLiteral("Clear all"),
             QStringLiteral("Empty the Filename and Hash boxes"));
    Describe(closeButton, QStringLiteral("Close"), QStringLiteral("Close the window"));

    hashFormGroup->setObjectName(QStringLiteral("radiohex"));
    hashFormGroup->setGeometry(8, 136, 121, 41);
    hexOption->setObjectName(QStringLiteral("RadioHex"));
    charOption->setObjectName(QStringLiteral("RadioChar"));
    auto* columns = new QHBoxLayout(hashFormGroup);
    columns->setContentsMargins(6, 0, 6, 2);
    columns->addWidget(hexOption);
    columns->addWidget(charOption);
    hexOption->setChecked(true);

    // Right-aligned with the Hash box above it, as wide as the desktop's
    // font needs, the label just before it.
    const int boxWidth = algorithmBox->sizeHint().width();
    algorithmBox->setGeometry(257 - boxWidth, 81, boxWidth, 22);
    algorithmLabel->move(257 - boxWidth - 4 - algorithmLabel->width(), 86);
    algorithmLabel->setBuddy(algorithmBox);
    connect(algorithmBox, &QComboBox::currentIndexChanged, this, [this] { OnAlgorithmChosen(); });

    hashButton->setDefault(true);
    saveButton->setToolTip(QStringLiteral("Save the resulting Hash into an ASCII file"));

    expectedLabel->setBuddy(expectedEdit);
    expectedEdit->setPlaceholderText(QStringLiteral("Paste a hash, or open a checksum file"));
    openListButton->setToolTip(
        QStringLiteral("Open a hash report (.hsh) or a sha1sum / sha256sum list"));
    verifyButton->setToolTip(QStringLiteral("Compare the file's hash with the expected one"));
    // A verdict is about the file and the value it was given: either changing
    // takes it away.
    connect(fileNameEdit, &QLineEdit::textChanged, this, [this] { ClearVerdict(); });
    connect(expectedEdit, &QLineEdit::textChanged, this, [this] { ClearVerdict(); });

    // Guarded: a read error while hashing or a write error while saving is
    // reported before it could unwind through Qt's frames.
    connect(hashButton, &QPushButton::clicked, this, Guarded([this] { OnHash(); }));
    connect(saveButton, &QPushButton::clicked, this, Guarded([this] { OnSave(); }));
    connect(openListButton, &QPushButton::clicked, this, Guarded([this] { OnOpenList(); }));
    connect(verifyButton, &QPushButton::clicked, this, Guarded([this] { OnVerify(); }));
    connect(clearButton, &QPushButton::clicked, this, Guarded([this] { OnClear(); }));
    connect(closeButton, &QPushButton::clicked, this, Guarded([this] { OnClose(); }));
}

void HashWindow::OnHash()
{
    if (fileNameEdit->text().isEmpty()) {
        return;
    }
    // Opened for reading only, so read-only files are hashed too.
    const HashAlgorithm algorithm = Algorithm();
    const std::optional<Digest> digest = DigestOfFile(NativePath(fileNameEdit->text()), algorithm);
    if (!digest) {
        InformationBox(this, QStringLiteral("Unable to open source file."));
        return;
    }
    const std::string text = hexOption->isChecked() ? HexForm(*digest) : CharForm(*digest);
    hashEdit->setText(QString::fromStdString(text));
    shownAlgorithm_ = algorithm;
}

HashAlgorithm HashWindow::Algorithm() const
{
    return algorithmBox->currentIndex() == 0 ? HashAlgorithm::Sha1 : HashAlgorithm::Sha256;
}

void HashWindow::OnAlgorithmChosen()
{
    QSettings().setValue(QString::fromLatin1(kAlgorithmKey), algorithmBox->currentData());
}

void HashWindow::OnSave()
{
    if (hashEdit->text().isEmpty()) {
        return;
    }
    QFileDialog dialog(this, QStringLiteral("Save hash to file:"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("Hash Files (*.hsh)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("HSH"));
    // An existing name is refused below with its own message, never replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectFile(PresetReportName(fileNameEdit->text()));
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string report =
        HashReport(shownAlgorithm_, fileNameEdit->text().toStdString(),
                   dateTimeText().toStdString(), hashEdit->text().toStdString());
    switch (SaveHashReport(NativePath(dialog.selectedFiles().constFirst()), report)) {
    case ReportSave::Exists:
        beep();
        ErrorBox(this, QStringLiteral("ERROR #142, file already exists, cannot overwrite."));
        return;
    case ReportSave::CannotCreate:
        beep();
        ErrorBox(this,
                 QStringLiteral("ERROR #132, Cannot create: disk is read-only or disk failure."));
        return;
    case ReportSave::Saved:
        beep();
        PlainBox(this, QStringLiteral("All done. Hash saved to file."));
        return;
    }
}

void HashWindow::OnOpenList()
{
    QFileDialog dialog(this, QStringLiteral("Open checksum file:"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Checksum Files (*.hsh *.sha1 *.sha256 *SUMS *sums *.txt)"),
         QStringLiteral("All Files (*)")});
    const QFileInfo file(fileNameEdit->text());
    if (file.isAbsolute()) {
        dialog.setDirectory(file.absolutePath());
    }
    if (ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    expectedEdit->setText(dialog.selectedFiles().constFirst());
    OnVerify();
}

void HashWindow::OnVerify()
{
    ShowVerdict(*verdictLabel, VerifyFile(fileNameEdit->text(), expectedEdit->text()));
}

void HashWindow::ClearVerdict()
{
    ShowVerdict(*verdictLabel, {});
}

void HashWindow::OnClear()
{
    EmptyBoxes();
}

void HashWindow::OnClose()
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
    EmptyBoxes();
    QDialog::done(result);
}

void HashWindow::EmptyBoxes()
{
    fileNameEdit->clear();
    hashEdit->clear();
    expectedEdit->clear();
    ClearVerdict();
}

void HashSelectedFile(FileListHost& list, HashWindow& window)
{
    const QStringList names = list.SelectedNames();
    if (names.isEmpty()) {
        return;
    }
    window.fileNameEdit->setText(FullPath(list.FolderPath(), names.constFirst()));
    ExecModal(window);
    list.ClearSelection();
}

} // namespace ciphra::gui
