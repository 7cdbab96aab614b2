#include "gui/commands/shred_command.h"

#include <QFile>

#include <algorithm>
#include <vector>

#include "core/jobs/shred_limits.h"
#include "core/jobs/shredder.h"
#include "gui/browse/item_id.h"
#include "gui/kit/file_list_host.h"
#include "gui/kit/message_boxes.h"
#include "gui/windows/wipe_window.h"

namespace ciphra::gui {

namespace {

constexpr int ShredPasses = 3;

constexpr const char* Question = "Are you sure you want to wipe this file?\n"
                                 "Note: Once the file is deleted there is no\n"
                                 "way to recover it.";

struct Selected {
    QString Name;
    QString Path;
    std::vector<ShredFinding> Limits;
};

QString Sentence(const std::string& text)
{
    QString sentence = QString::fromStdString(text);
    if (!sentence.isEmpty()) {
        sentence[0] = sentence[0].toUpper();
    }
    return sentence + QLatin1Char('.');
}

// The question, and below it what overwriting cannot reach for the files
// selected, each limit once with the files it concerns, and what helps.
QString ConfirmationText(const std::vector<Selected>& files)
{
    QList<std::pair<QString, QStringList>> limits;
    std::vector<ShredFinding> all;
    for (const Selected& file : files) {
        for (const ShredFinding& finding : file.Limits) {
            const QString text = Sentence(finding.Text);
            auto same = std::find_if(limits.begin(), limits.end(),
                                     [&](const auto& each) { return each.first == text; });
            if (same == limits.end()) {
                limits.append({text, {}});
                same = limits.end() - 1;
                all.push_back(finding);
            }
            same->second << file.Name;
        }
    }
    QString text = QString::fromLatin1(Question);
    if (limits.isEmpty()) {
        return text;
    }
    text += QStringLiteral("\n\nOverwriting cannot reach everything here:");
    for (const auto& [limit, names] : limits) {
        text += QStringLiteral("\n\n") + names.join(QStringLiteral(", ")) + QStringLiteral(": ") +
                limit;
    }
    return text + QStringLiteral("\n\n") + QString::fromStdString(ShredAdvice(all));
}

} // namespace

bool ShredSelectedFiles(QWidget* parent, FileListHost& list, WipeProgressWindow& progress)
{
    const QString folder = list.FolderPath();
    std::vector<Selected> files;
    for (const QString& name : list.SelectedNames()) {
        const QString path = FullPath(folder, name);
        files.push_back({name, path, progress.shredLimits(QFile::encodeName(path).toStdString())});
    }
    if (!ConfirmBox(parent, ConfirmationText(files))) {
        return false;
    }
    bool allWiped = true;
    QStringList shortOf;
    for (const Selected& file : files) {
        // A read-only file is wiped like any other.
        AllowOwnerWrite(QFile::encodeName(file.Path).toStdString());
        const bool wiped = progress.WipeFile(file.Path, ShredPasses);
        allWiped = wiped && allWiped;
        const std::optional<std::string> remains = ShortOfShredded(file.Limits);
        if (wiped && remains) {
            shortOf << file.Name + QStringLiteral(": ") + QString::fromStdString(*remains) +
                           QLatin1Char('.');
        }
    }
    list.RefreshFromPathBox();
    QString summary =
        allWiped ? QStringLiteral("File(s) shredded...")
                 : QStringLiteral("Errors where reported when shredding one or more files...");
    if (!shortOf.isEmpty()) {
        // The data, or the file, outlives the shred: no claim of success.
        summary = (allWiped ? QString() : summary + QStringLiteral("\n\n")) +
                  QStringLiteral("Not everything is gone:\n\n") +
                  shortOf.join(QStringLiteral("\n\n"));
    }
    PlainBox(parent, summary);
    list.ClearSelection();
    return allWiped && shortOf.isEmpty();
}

} // namespace ciphra::gui
