#include "gui/commands/file_command_support.h"

#include "core/crypto/wipe.h"
#include "core/jobs/cipher_stream.h"

namespace ciphra::gui {

PasswordEntry::~PasswordEntry()
{
    SecureWipe(Bytes.data(), Bytes.size());
}

bool AskPassword(PasswordDialog& dialog, PasswordEntry& entry)
{
    if (!dialog.AskPassword())
        return false;
    entry.Bytes.assign(dialog.Password().View());
    entry.UseDigest = dialog.UseDigest();
    return true;
}

CipherRun::CipherRun(const void* keyMaterial, std::int32_t length)
{
    PrepareCipherRun(context_, keyMaterial, length);
}

void CipherRun::Wipe() noexcept
{
    TwofishWipe(context_);
}

namespace {

bool SameFile(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    try {
        return PathExists(b) && ResolvePath(a) == ResolvePath(b);
    } catch (const FileError&) {
        return false; // a dangling link: creating it makes a new file
    }
}

} // namespace

std::optional<File> OutputBeside(const std::string& source, const std::string& path)
{
    if (SameFile(source, path))
        return std::nullopt;
    std::optional<File> created = File::TryOpen(path, OpenMode::CreateTruncate);
    if (!created)
        return std::nullopt;
    try {
        created->Close();
    } catch (const FileError&) {
        return std::nullopt;
    }
    return File::TryOpen(path, OpenMode::ReadWrite);
}

} // namespace ciphra::gui
