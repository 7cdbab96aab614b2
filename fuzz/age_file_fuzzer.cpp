// Age files as they come, opened with the age format's example identity (the
// seeds were sealed to its recipient): any input either decrypts or throws
// AgeError, never anything else, and what it gives out is never more than the
// input could carry. No password is given, so a password stanza ends the run
// before its work factor is spent.
//
// An input starting with "plain:" is a plaintext instead: sealed to the
// recipient (binary or armored by its next byte) and opened again, it must
// come back unchanged.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

#include "core/io/posix_file.h"
#include "core/jobs/age_file.h"

namespace {

using ciphra::File;
using ciphra::OpenMode;

constexpr const char* ExampleIdentity =
    "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX";

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// A scratch folder of the process's own, removed when the process ends.
struct ScratchFolder {
    std::string Path;
    ScratchFolder()
    {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        Path = std::string(base) + "/ciphra-age-fuzz-XXXXXX";
        Check(::mkdtemp(Path.data()) != nullptr);
    }
    ~ScratchFolder() { std::system(("rm -rf '" + Path + "'").c_str()); }
};

const std::string& Folder()
{
    static const ScratchFolder folder;
    return folder.Path;
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    File file = File::Open(path, OpenMode::CreateTruncate);
    file.WriteAll(bytes.data(), bytes.size());
}

std::string ReadFile(const std::string& path)
{
    File file = File::Open(path, OpenMode::ReadOnly);
    std::string bytes(file.Size(), '\0');
    file.ReadExact(bytes.data(), bytes.size());
    return bytes;
}

ciphra::age::Keys Opening()
{
    ciphra::age::Keys keys;
    keys.Identities.emplace_back();
    Check(ciphra::age::ParseIdentity(ExampleIdentity, keys.Identities.back()));
    return keys;
}

// Decrypts `in` into `out`; false when the file does not open.
bool Decrypt(const std::string& in, const std::string& out)
{
    static const ciphra::age::Keys keys = Opening();
    File input = File::Open(in, OpenMode::ReadOnly);
    File output = File::Open(out, OpenMode::CreateTruncate);
    try {
        ciphra::age::DecryptStream(input, output, keys, nullptr);
    } catch (const ciphra::age::AgeError&) {
        return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string sealed = Folder() + "/sealed";
    const std::string opened = Folder() + "/opened";
    constexpr std::string_view Plain = "plain:";
    if (input.starts_with(Plain) && input.size() > Plain.size()) {
        const std::string_view plain = input.substr(Plain.size() + 1);
        WriteFile(Folder() + "/plain", plain);
        ciphra::age::Keys keys;
        keys.Armor = (input[Plain.size()] & 1) != 0;
        keys.Recipients = {ciphra::age::RecipientOf(Opening().Identities.front())};
        {
            File in = File::Open(Folder() + "/plain", OpenMode::ReadOnly);
            File out = File::Open(sealed, OpenMode::CreateTruncate);
            ciphra::age::EncryptStream(in, out, keys, nullptr);
        }
        Check(Decrypt(sealed, opened));
        Check(ReadFile(opened) == plain);
        return 0;
    }
    WriteFile(sealed, input);
    Decrypt(sealed, opened);
    // Every byte given out came with at least its share of header, nonce and tag.
    Check(ReadFile(opened).size() + 16 + 16 <= size || ReadFile(opened).empty());
    return 0;
}
