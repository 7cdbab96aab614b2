#include "stub/decrypt_routine.h"

#include <cstdint>

#include "core/crypto/twofish.h"
#include "stub/message_text.h"

namespace ciphra::stub {
namespace {

// "report (2).dec" up to "report (99).dec" when "report.dec" is taken.
constexpr unsigned AlternativeNames = 99;

// The key schedule of one run, wiped however the run ends.
struct KeySchedule {
    TwofishContext Context{};
    ~KeySchedule() { TwofishWipe(Context); }
};

// `name` with its extension replaced by " (n).dec": "report.dec" gives
// "report (2).dec", a name without a dot gets it appended.
void AlternativeName(const char* name, unsigned n, MessageText& alternative)
{
    std::size_t stem = 0;
    std::size_t length = 0;
    for (; name[length] != '\0'; ++length) {
        if (name[length] == '.') {
            stem = length;
        }
    }
    alternative.Append(name, name[stem] == '.' ? stem : length) << " (" << n << ").dec";
}

// A failed step after the working file was made: it goes, and the reason
// is the message.
bool Failed(StubSystem& system, MessageText& text)
{
    text << system.Failure();
    system.RemoveWorkingFile();
    return false;
}

// Gives the restored file its name. When the name is taken, the user's file
// stays as it is and the data goes under the first free alternative name.
bool Publish(StubSystem& system, MessageText& text)
{
    const char* name = system.RestoredName();
    Naming naming = system.NameWorkingFile(name);
    if (naming == Naming::Named) {
        text << DecryptedText;
        return true;
    }
    MessageText holder;
    for (unsigned n = 2; n <= AlternativeNames && naming == Naming::Taken; ++n) {
        MessageText alternative;
        AlternativeName(name, n, alternative);
        naming = system.NameWorkingFile(alternative.Get());
        if (naming == Naming::Named) {
            holder << alternative.Get();
        }
    }
    if (naming == Naming::Failed) {
        return Failed(system, text);
    }
    if (naming == Naming::Taken) {
        holder << system.KeepWorkingFile();
    }
    text << "The file name " << name << " is already taken.\rThe decrypted file was saved as "
         << holder.Get() << ".";
    return false;
}

bool Decrypt(StubSystem& system, std::string_view password, const char*& title, MessageText& text)
{
    if (password.empty()) {
        title = PasswordCheckTitle;
        text << PasswordRequiredText;
        return false;
    }

    // The key is checked before any file is touched. Anything over 32 bytes
    // is refused alike; 33 stands for them all.
    KeySchedule key;
    if (!KeyCipherRun(key.Context, password.data(),
                      static_cast<std::int32_t>(password.size() > 32 ? 33 : password.size()))) {
        text << TwofishKeyLengthMessage();
        return false;
    }

    if (!system.CreateWorkingFile()) {
        text << "Cannot write in the folder " << system.FolderName() << ".\r" << system.Failure();
        return false;
    }
    if (!system.OpenPayload()) {
        system.RemoveWorkingFile();
        title = CrcCheckTitle;
        text << UnableToDecryptText;
        return false;
    }
    if (!RunChunkStream(key.Context, StreamDirection::Decrypt, system)) {
        // A file error while copying or decrypting.
        return Failed(system, text);
    }
    TwofishWipe(key.Context);
    // On disk before it takes its name: a crash right after the message must
    // not leave an empty or partial file under the final name. A failing
    // flush ends here, and the working file goes.
    if (!system.FinishWorkingFile()) {
        return Failed(system, text);
    }
    return Publish(system, text);
}

} // namespace

bool DecryptPayload(StubSystem& system, std::string_view password, MessageSink& messages)
{
    const char* title = StubTitle;
    MessageText text;
    const bool restored = Decrypt(system, password, title, text);
    messages.ShowMessage(title, text.Get());
    return restored;
}

} // namespace ciphra::stub
