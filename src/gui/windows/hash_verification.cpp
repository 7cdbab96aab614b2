#include "gui/windows/hash_verification.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QStyle>

#include "core/io/file_error.h"
#include "core/io/posix_file.h"
#include "core/jobs/hash_check.h"

namespace ciphra::gui {

namespace {

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString Algorithm(const ExpectedDigest& expected)
{
    return QString::fromLatin1(AlgorithmName(expected.Algorithm));
}

Verdict Problem(const QString& headline, const QString& detail)
{
    return {VerdictKind::Problem, headline, detail};
}

Verdict AgainstValue(const QString& filePath, const ExpectedDigest& expected)
{
    const QString file = QFileInfo(filePath).fileName();
    switch (CheckFile(NativePath(filePath), expected)) {
    case CheckOutcome::Ok:
        return {VerdictKind::Match, QStringLiteral("MATCH"),
                QStringLiteral("The %1 of %2 is the value pasted.").arg(Algorithm(expected), file)};
    case CheckOutcome::Failed:
        return {
            VerdictKind::Mismatch, QStringLiteral("NO MATCH"),
            QStringLiteral("The %1 of %2 is not the value pasted.").arg(Algorithm(expected), file)};
    case CheckOutcome::Unreadable:
        break;
    }
    return Problem(QStringLiteral("Not verified"), QStringLiteral("%1 cannot be read.").arg(file));
}

// "line 3 of SHA256SUMS", and the name the line gives when it is more than
// the file's name (a folder, or the other name a report was saved for).
QString LineText(const ChecksumEntry& entry, const QString& listName, const QString& file)
{
    QString text = QStringLiteral("line %1 of %2").arg(entry.Line).arg(listName);
    const QString listed = QFile::decodeName(QByteArray::fromStdString(entry.Name));
    if (listed != file) {
        text += QStringLiteral(" (for %1)").arg(listed);
    }
    return text;
}

Verdict AgainstList(const QString& filePath, const QString& listPath)
{
    const QString file = QFileInfo(filePath).fileName();
    const QString listName = QFileInfo(listPath).fileName();
    ChecksumList list;
    try {
        list = ReadChecksumFile(NativePath(listPath));
    } catch (const Exception& error) {
        return Problem(QStringLiteral("Not verified"),
                       QStringLiteral("%1 cannot be read: %2")
                           .arg(listName, QString::fromLocal8Bit(error.what())));
    }
    if (list.Entries.empty()) {
        return Problem(QStringLiteral("Not a checksum file"),
                       QStringLiteral("%1 holds no SHA-1 or SHA-256 checksum line.").arg(listName));
    }
    const std::optional<ListVerdict> verdict = CheckAgainstList(NativePath(filePath), list);
    if (!verdict) {
        return Problem(QStringLiteral("Not listed"),
                       QStringLiteral("%1 has no line for %2.").arg(listName, file));
    }
    const QString algorithm = Algorithm(verdict->Entry->Expected);
    const QString line = LineText(*verdict->Entry, listName, file);
    switch (verdict->Outcome) {
    case CheckOutcome::Ok:
        return {VerdictKind::Match, QStringLiteral("MATCH"),
                QStringLiteral("The %1 of %2 is the one on %3.").arg(algorithm, file, line)};
    case CheckOutcome::Failed:
        return {VerdictKind::Mismatch, QStringLiteral("NO MATCH"),
                QStringLiteral("The %1 of %2 differs from %3.").arg(algorithm, file, line)};
    case CheckOutcome::Unreadable:
        break;
    }
    return Problem(QStringLiteral("Not verified"), QStringLiteral("%1 cannot be read.").arg(file));
}

} // namespace

Verdict VerifyFile(const QString& filePath, const QString& expectedText)
{
    if (filePath.isEmpty()) {
        return Problem(QStringLiteral("Nothing to verify"),
                       QStringLiteral("Put the file's name in the Filename box first."));
    }
    const QString expected = expectedText.trimmed();
    if (expected.isEmpty()) {
        return Problem(QStringLiteral("Nothing to compare with"),
                       QStringLiteral("Paste the expected hash, or open a checksum file."));
    }
    if (const std::optional<ExpectedDigest> digest = ParseExpectedDigest(expected.toStdString())) {
        return AgainstValue(filePath, *digest);
    }
    if (PathExists(NativePath(expected))) {
        return AgainstList(filePath, expected);
    }
    return Problem(QStringLiteral("Not a hash"),
                   QStringLiteral("Paste 40 or 64 hexadecimal digits (SHA-1 or SHA-256) or the "
                                  "Char form, or open a checksum file."));
}

void ShowVerdict(QLabel& label, const Verdict& verdict)
{
    static const char* const names[] = {"match", "mismatch", "problem"};
    static const char* const marks[] = {"\u2714", "\u2718", "!"};
    const auto kind = static_cast<int>(verdict.Kind);
    label.setVisible(!verdict.Headline.isEmpty());
    label.setProperty("verdict", QString::fromLatin1(names[kind]));
    label.setText(QStringLiteral("<b><big>%1 %2</big></b><br>%3")
                      .arg(QString::fromUtf8(marks[kind]), verdict.Headline.toHtmlEscaped(),
                           verdict.Detail.toHtmlEscaped()));
    // The style sheet picks the ground by the property: polish again.
    label.style()->unpolish(&label);
    label.style()->polish(&label);
}

} // namespace ciphra::gui
