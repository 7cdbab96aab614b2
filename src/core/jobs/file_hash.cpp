#include "core/jobs/file_hash.h"

#include <cerrno>

#include "core/crypto/base64.h"
#include "core/io/output_file.h"
#include "core/io/posix_file.h"

namespace ciphra {

namespace {

constexpr std::size_t HashChunkSize = 8192;

} // namespace

std::optional<Sha1Digest> DigestOfFile(const std::string& path, int* openError)
{
    int ignored = 0;
    int& error = openError != nullptr ? *openError : ignored;
    // Only a regular file: a FIFO or a device would block or run forever.
    std::optional<File> file = File::TryOpenRegular(path, OpenMode::ReadOnly, &error);
    if (!file) {
        if (error == NotRegularFile || error == EISDIR) {
            error = 0;
        }
        return std::nullopt;
    }
    Sha1State state;
    Sha1Start(state);
    std::uint8_t chunk[HashChunkSize];
    std::size_t n = 0;
    do {
        n = file->Read(chunk, sizeof chunk);
        Sha1Add(state, chunk, n);
    } while (n == sizeof chunk);
    Sha1Digest digest;
    Sha1Finish(state, digest.data());
    return digest;
}

std::string HexForm(const Sha1Digest& digest)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (std::uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::string CharForm(const Sha1Digest& digest)
{
    std::string bytes;
    for (std::uint8_t byte : digest) {
        if (byte != 0) {
            bytes += static_cast<char>(byte);
        }
    }
    return Base64EncodeText(bytes);
}

std::string HashReport(std::string_view fileName, std::string_view dateTime,
                       std::string_view hashText)
{
    std::string report;
    const auto line = [&report](std::string_view start, std::string_view rest = {}) {
        report.append(start).append(rest).append("\r\n");
    };
    line("--- Ciphra 2K v1.0.2 HASH using SHA-1 ------");
    line("--- HASH of file%");
    line(fileName);
    line("--- date/time: ", dateTime);
    line("");
    line("- Begin block");
    line("");
    line(hashText);
    line("");
    line("- End block");
    return report;
}

ReportSave SaveHashReport(const std::string& path, std::string_view report)
{
    if (PathExists(path)) {
        return ReportSave::Exists;
    }
    std::optional<OutputFile> output;
    try {
        output.emplace(path);
    } catch (const FileError&) {
        return ReportSave::CannotCreate;
    }
    output->Handle().WriteAll(report.data(), report.size());
    output->Finish(MaskedPermissions(0666));
    return output->PublishNew() ? ReportSave::Saved : ReportSave::Exists;
}

} // namespace ciphra
