#include "gui/commands/file_command_support.h"

#include <QFile>
#include <QFileDialog>

#include "core/crypto/wipe.h"
#include "gui/browse/item_id.h"

namespace ciphra::gui {

PasswordEntry::~PasswordEntry()
{
    SecureWipe(Bytes.data(), Bytes.size());
}

bool AskPassword(PasswordDialog& dialog, PasswordEntry& entry)
{
    if (!dialog.AskPassword()) {
        return false;
    }
    entry.Bytes.assign(dialog.Password().View());
    entry.UseDigest = dialog.UseDigest();
    return true;
}

QString ChooseIdentityFileDialog(QWidget* parent)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Identity file for the age file"));
}

std::string NativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString ShownPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string SelectedFilePath(const FileListHost& list, const QString& name)
{
    return NativePath(FullPath(list.FolderPath(), name));
}

} // namespace ciphra::gui
