#include "file_command_bench.h"

#include <QCheckBox>
#include <QLineEdit>

namespace ciphra::test {

QStringList FakeFileList::SelectedNames() const
{
    QStringList names;
    for (const Entry& entry : Entries)
        if (entry.Selected)
            names << entry.Name;
    return names;
}

void FakeFileList::ClearSelection()
{
    Calls.push_back("deselect");
    for (Entry& entry : Entries)
        entry.Selected = false;
}

bool FakeFileList::AnySelected() const
{
    return !SelectedNames().isEmpty();
}

CommandBench::CommandBench()
{
    List.Folder = QString::fromStdString(Folder.Path().string());
    Progress.SetDelay(60 * 60 * 1000); // shown only by the tests that ask for it
}

std::string CommandBench::AddFile(const std::string& name, const std::string& bytes, bool selected)
{
    WriteBytes(PathOf(name), bytes);
    List.Entries.push_back({QString::fromStdString(name), selected});
    return PathOf(name);
}

void CommandBench::Select(const std::string& name)
{
    List.Entries.push_back({QString::fromStdString(name), true});
}

void CommandBench::AnswerPassword(const QString& password, bool useDigest)
{
    Dialogs.Queue([this, password, useDigest](QDialog&) {
        DigestOptionShown.push_back(Password.DigestOptionVisible());
        Password.passwordEdit->setText(password);
        Password.digestOption->setChecked(useDigest);
        return int(QDialog::Accepted);
    });
}

void CommandBench::CancelPassword()
{
    Dialogs.Queue([](QDialog&) { return int(QDialog::Rejected); });
}

gui::FileCommandWindows CommandBench::Windows()
{
    return {nullptr, List, Password, Progress, [this](QWidget*) {
                ++IdentityQuestions;
                return IdentityFile;
            }};
}

std::vector<QString> CommandBench::BoxTexts() const
{
    std::vector<QString> texts;
    for (const auto& box : Boxes.Boxes())
        texts.push_back(box.title + "|" + box.text);
    return texts;
}

} // namespace ciphra::test
