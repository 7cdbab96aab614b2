// The cipher stream over real files with fuzzed keys, lengths, contents and
// start positions (chunk boundaries and tails included). Encrypting must give
// the bytes of a one-buffer model of the format (CBC over whole blocks from the
// start position, the tail XORed with S = E_K(0^16) from its second byte), the
// same in place as into a second file; decrypting must give the plain bytes
// back; and bytes before the start position are never touched.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "core/crypto/twofish.h"
#include "core/error.h"
#include "core/io/posix_file.h"
#include "core/jobs/cipher_stream.h"

namespace {

using ciphra::File;
using ciphra::OpenMode;

constexpr std::size_t LongestFile = 2 * ciphra::StreamChunkSize + 100; // two chunk boundaries

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Reads the fuzz input front to back; missing bytes read as zero.
struct Reader {
    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t At = 0;

    std::uint8_t Byte() { return At < Size ? Data[At++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
};

// A scratch folder of the process's own, removed when the process ends.
struct ScratchFolder {
    std::string Path;
    ScratchFolder()
    {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        Path = std::string(base) + "/ciphra-stream-fuzz-XXXXXX";
        Check(::mkdtemp(Path.data()) != nullptr);
    }
    ~ScratchFolder() { std::system(("rm -rf '" + Path + "'").c_str()); }
};

const std::string& Folder()
{
    static const ScratchFolder folder;
    return folder.Path;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    File file = File::Open(path, OpenMode::CreateTruncate);
    file.WriteAll(bytes.data(), bytes.size());
    file.Close();
}

std::string ReadFile(const std::string& path)
{
    File file = File::Open(path, OpenMode::ReadOnly);
    std::string bytes(file.Size(), '\0');
    file.ReadExact(bytes.data(), bytes.size());
    return bytes;
}

struct Run {
    ciphra::TwofishContext Context;
    Run(const std::uint8_t* key, std::int32_t length)
    {
        ciphra::PrepareCipherRun(Context, key, length);
    }
    ~Run() { ciphra::TwofishWipe(Context); }
};

enum class Way { Encrypt, Decrypt };

// Runs the stream from `start` of `inputPath` into `outputPath` (the same file
// when the paths are equal).
void Stream(Way way, const std::uint8_t* key, std::int32_t keyLength, const std::string& inputPath,
            const std::string& outputPath, std::uint64_t start)
{
    Run run(key, keyLength);
    File input = File::Open(inputPath, OpenMode::ReadWrite);
    input.Seek(start);
    if (inputPath == outputPath) {
        way == Way::Encrypt ? ciphra::EncryptStream(run.Context, input, input)
                            : ciphra::DecryptStream(run.Context, input, input);
        return;
    }
    File output = File::Open(outputPath, OpenMode::CreateTruncate);
    way == Way::Encrypt ? ciphra::EncryptStream(run.Context, input, output)
                        : ciphra::DecryptStream(run.Context, input, output);
}

// The format in one buffer, written straight from its description.
std::string ModelEncrypt(const std::uint8_t* key, std::int32_t keyLength, std::string bytes)
{
    Run run(key, keyLength);
    std::uint8_t s[16];
    std::memcpy(s, run.Context.StartVector, sizeof s);
    const std::size_t whole = bytes.size() / 16 * 16;
    for (std::size_t i = 0; i < whole; i += 16) {
        ciphra::TwofishCBCEncryptBlock(run.Context, &bytes[i], &bytes[i]);
    }
    for (std::size_t j = 1; whole + j < bytes.size(); ++j) {
        bytes[whole + j] = static_cast<char>(bytes[whole + j] ^ s[j]);
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in{data, size};
    const std::int32_t keyLength = in.Byte() % 34; // 0 and 33 must be refused
    std::uint8_t key[33] = {};
    for (std::int32_t i = 0; i < keyLength; ++i) {
        key[i] = in.Byte();
    }
    const std::size_t length = (in.Word() | (in.Byte() << 16)) % (LongestFile + 1);
    const std::size_t start = length == 0 ? 0 : in.Word() % length; // at least one byte runs
    std::uint32_t state = in.Word();
    std::string plain(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        state = state * 1664525U + 1013904223U;
        plain[i] = static_cast<char>(in.At < in.Size ? in.Byte() : state >> 24);
    }

    if (keyLength == 0 || keyLength > 32) {
        ciphra::TwofishContext ctx;
        std::memset(&ctx, 0xA5, sizeof ctx);
        bool refused = false;
        try {
            ciphra::PrepareCipherRun(ctx, key, keyLength);
        } catch (const ciphra::Exception&) {
            refused = true;
        }
        Check(refused);
        return 0;
    }

    const std::string a = Folder() + "/a";
    const std::string b = Folder() + "/b";
    const std::string c = Folder() + "/c";
    WriteFile(a, plain);
    Stream(Way::Encrypt, key, keyLength, a, b, start);
    Stream(Way::Encrypt, key, keyLength, a, a, start);
    const std::string inPlace = ReadFile(a);
    const std::string beside = ReadFile(b);
    Check(inPlace.size() == length && beside.size() == length);
    Check(inPlace.compare(0, start, plain, 0, start) == 0);
    Check(inPlace.compare(start, std::string::npos, beside, start) == 0);
    Check(inPlace.substr(start) == ModelEncrypt(key, keyLength, plain.substr(start)));

    Stream(Way::Decrypt, key, keyLength, b, c, start);
    Check(ReadFile(c).substr(start) == plain.substr(start));
    Stream(Way::Decrypt, key, keyLength, a, a, start);
    Check(ReadFile(a) == plain);
    return 0;
}
