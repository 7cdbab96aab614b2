#include "stub/decrypt_routine.h"

#include <cstdint>
#include <optional>

#include "core/io/output_file.h"
#include "core/io/path_names.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/output_names.h"
#include "core/jobs/stub_image.h"

namespace ciphra::stub {
namespace {

// "report (2).dec" up to "report (99).dec" when "report.dec" is taken.
constexpr int AlternativeNames = 99;

struct Outcome {
    const char* Title = StubTitle;
    std::string Text;
    bool Restored = false;
};

// The program file, positioned at its payload; nothing when it cannot be
// read as a stub followed by a payload.
std::optional<File> OpenPayload(const std::string& ownPath)
{
    std::optional<File> self = File::TryOpen(ownPath, OpenMode::ReadOnly);
    if (!self) {
        return std::nullopt;
    }
    try {
        self->Seek(SfdPayloadOffset(*self));
    } catch (const Exception&) {
        return std::nullopt;
    }
    return self;
}

// Gives the restored file its name. When the name is taken, the user's file
// stays as it is and the data goes under the first free alternative name.
Outcome Publish(OutputFile& restored)
{
    const std::string& output = restored.FinalPath();
    if (restored.PublishNew()) {
        return {StubTitle, DecryptedText, true};
    }
    std::string holder;
    for (int n = 2; n <= AlternativeNames && holder.empty(); ++n) {
        const std::string candidate =
            NameOf(ReplaceExtension(output, " (" + std::to_string(n) + ").dec"));
        if (restored.PublishNewAs(candidate)) {
            holder = candidate;
        }
    }
    if (holder.empty()) {
        holder = NameOf(restored.Release());
    }
    return {StubTitle, "The file name " + NameOf(output) +
                           " is already taken.\rThe decrypted file was saved as " + holder + "."};
}

Outcome Decrypt(const std::string& ownPath, std::string_view password)
{
    if (password.empty()) {
        return {PasswordCheckTitle, PasswordRequiredText};
    }

    // The key is checked before any file is touched. Anything over 32 bytes
    // is refused alike; 33 stands for them all.
    std::optional<CipherRun> run;
    try {
        run.emplace(password.data(),
                    static_cast<std::int32_t>(password.size() > 32 ? 33 : password.size()));
    } catch (const Exception& error) {
        return {StubTitle, error.what()};
    }

    std::optional<OutputFile> restored;
    try {
        restored.emplace(OutputPathFor(ownPath));
    } catch (const FileError& error) {
        return {StubTitle,
                "Cannot write in the folder " + FolderOf(ownPath) + ".\r" + error.what()};
    }
    std::optional<File> payload = OpenPayload(ownPath);
    if (!payload) {
        return {CrcCheckTitle, UnableToDecryptText};
    }
    DecryptStream(run->Context(), *payload, restored->Handle(), nullptr, 0);
    run->Wipe();
    // On disk before it takes its name: a crash right after the message must
    // not leave an empty or partial file under the final name. A failing
    // flush ends here, and the working file goes.
    restored->Finish(MaskedPermissions(0666));
    return Publish(*restored);
}

} // namespace

std::string OutputPathFor(const std::string& ownPath)
{
    return RestoredPathOf(ownPath);
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
