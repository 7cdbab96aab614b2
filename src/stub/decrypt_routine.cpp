#include "stub/decrypt_routine.h"

#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

#include "core/crypto/twofish.h"
#include "core/io/interrupts.h"
#include "core/io/working_file.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/stub_image.h"

namespace ciphra::stub {
namespace {

constexpr std::size_t CopyChunk = 64 * 1024;
// "report (2).dec" up to "report (99).dec" when "report.dec" is taken.
constexpr int AlternativeNames = 99;

struct Outcome {
    const char* Title = StubTitle;
    std::string Text;
    bool Restored = false;
};

// An interrupting signal removes the working file too.
class InterruptCleanup final : public WorkingFileWatch {
public:
    void WorkingFileCreated(const std::string& path) override { RememberTemporary(path); }
    void WorkingFileGone() override { ForgetTemporary(); }
};

class ContextWipe {
public:
    explicit ContextWipe(TwofishContext& ctx) : ctx_(ctx) {}
    ~ContextWipe() { TwofishWipe(ctx_); }
    ContextWipe(const ContextWipe&) = delete;
    ContextWipe& operator=(const ContextWipe&) = delete;

private:
    TwofishContext& ctx_;
};

// Copies the payload from the program file to `work`. False when the program
// file cannot be read as a stub followed by a payload.
bool CopyPayload(const std::string& ownPath, File& work)
{
    std::optional<File> self = File::TryOpen(ownPath, OpenMode::ReadOnly);
    if (!self)
        return false;
    try {
        self->Seek(SfdPayloadOffset(*self));
    } catch (const Exception&) {
        return false;
    }
    static unsigned char buffer[CopyChunk];
    while (const std::size_t n = self->Read(buffer, sizeof buffer))
        work.WriteAll(buffer, n);
    return true;
}

// Makes a rename in `folder` durable. Best effort: the file's bytes are on
// disk already, and some file systems refuse to flush a folder.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    if (::fsync(fd) != 0) {
        // nothing more to do: the restored file is complete under its name
    }
    ::close(fd);
}

// Gives the restored file its name. When the name is taken, the user's file
// stays as it is and the data goes under the first free alternative name.
Outcome Publish(WorkingFile& work, const std::string& output)
{
    if (work.MoveTo(output))
        return {StubTitle, DecryptedText, true};
    std::string holder;
    for (int n = 2; n <= AlternativeNames && holder.empty(); ++n) {
        const std::string candidate = ReplaceExtension(output, " (" + std::to_string(n) + ").dec");
        if (work.MoveTo(candidate))
            holder = candidate;
    }
    if (holder.empty())
        holder = work.Release();
    return {StubTitle, "The file name " + NameOf(output) +
                           " is already taken.\rThe decrypted file was saved as " + NameOf(holder) +
                           "."};
}

Outcome Decrypt(const std::string& ownPath, std::string_view password)
{
    if (password.empty())
        return {PasswordCheckTitle, PasswordRequiredText};

    // The key is checked before any file is touched.
    TwofishContext ctx;
    ContextWipe wipe(ctx);
    try {
        // Anything over 32 bytes is refused alike; 33 stands for them all.
        const auto length = static_cast<std::int32_t>(password.size() > 32 ? 33 : password.size());
        PrepareCipherRun(ctx, password.data(), length);
    } catch (const Exception& error) {
        return {StubTitle, error.what()};
    }

    const std::string output = OutputPathFor(ownPath);
    const std::string folder = FolderOf(ownPath);
    InterruptCleanup cleanup;
    std::optional<WorkingFile> work;
    try {
        work.emplace(folder, NameOf(output), &cleanup);
    } catch (const FileError& error) {
        return {StubTitle, "Cannot write in the folder " + folder + ".\r" + error.what()};
    }
    if (!CopyPayload(ownPath, work->Handle()))
        return {CrcCheckTitle, UnableToDecryptText};
    work->Handle().Seek(0);
    DecryptStream(ctx, work->Handle(), work->Handle());
    // On disk before it takes its name: a crash right after the message must
    // not leave an empty or partial file under the final name. A failing
    // flush ends here, and the working file goes.
    work->Handle().Sync();
    work->Handle().SetPermissions(MaskedPermissions(0666));
    Outcome outcome = Publish(*work, output);
    SyncFolder(folder);
    return outcome;
}

} // namespace

std::string OutputPathFor(const std::string& ownPath)
{
    return ReplaceExtension(ownPath, ".dec");
}

bool DecryptPayload(const std::string& ownPath, std::string_view password, MessageSink& messages)
{
    Outcome outcome;
    try {
        outcome = Decrypt(ownPath, password);
    } catch (const Exception& error) {
        // A file error while copying or decrypting; the working file is gone.
        outcome = {StubTitle, error.what()};
    }
    messages.ShowMessage(outcome.Title, outcome.Text);
    return outcome.Restored;
}

} // namespace ciphra::stub
