// "hash": the SHA-1 digest of a file, in the hash window's Hex or Char form.

#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "crypto/base64.h"
#include "crypto/sha1.h"
#include "fileenc/posix_file.h"

namespace ciphra::cli {

namespace {

constexpr const char* HashUsage = "Usage: ciphra2k-cli hash [--base64] FILE";

constexpr const char* HashHelp = R"(
Prints the SHA-1 digest of FILE: "0x" and 40 upper-case hexadecimal digits.
The file is only read.

Options:
  --base64   print the digest as Base64 of its bytes with every zero byte
             left out instead (the hash window's "Char" form)
  --help     show this help

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

constexpr std::size_t HashChunkSize = 8192;

void DigestOfFile(const std::string& path, std::uint8_t digest[Sha1DigestSize])
{
    File file = File::Open(path, OpenMode::ReadOnly);
    TSha1State state;
    Sha1Start(state);
    std::uint8_t chunk[HashChunkSize];
    std::size_t n = 0;
    do {
        n = file.Read(chunk, sizeof chunk);
        Sha1Add(state, chunk, n);
    } while (n == sizeof chunk);
    Sha1Finish(state, digest);
}

std::string HexForm(const std::uint8_t digest[Sha1DigestSize])
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (std::size_t i = 0; i < Sha1DigestSize; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 15];
    }
    return text;
}

std::string CharForm(const std::uint8_t digest[Sha1DigestSize])
{
    std::string bytes;
    for (std::size_t i = 0; i < Sha1DigestSize; ++i) {
        if (digest[i] != 0) {
            bytes += static_cast<char>(digest[i]);
        }
    }
    return Base64EncodeText(bytes);
}

} // namespace

int RunHashCommand(const Arguments& args, CliIo& io)
{
    CommandLine line;
    if (auto problem = ParseCommandLine(args, {"--base64"}, false, line)) {
        return ReportUsage(io, *problem, HashUsage);
    }
    if (line.Help) {
        io.Out << HashUsage << '\n' << HashHelp;
        return ExitOk;
    }
    if (line.Operands.size() != 1) {
        return ReportUsage(io, "give exactly one FILE", HashUsage);
    }
    const std::string& path = line.Operands.front();
    if (IsDirectory(path)) {
        return ReportFailure(io, path + ": is a folder, not a file");
    }
    std::uint8_t digest[Sha1DigestSize];
    try {
        DigestOfFile(path, digest);
    } catch (const FileError& error) {
        return ReportFailure(io, path + ": " + error.what());
    }
    io.Out << (line.Has("--base64") ? CharForm(digest) : HexForm(digest)) << '\n';
    return ExitOk;
}

} // namespace ciphra::cli
