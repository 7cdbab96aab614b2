#include "core/jobs/file_hash.h"

#include <cerrno>
#include <vector>

#include "core/crypto/base64.h"
#include "core/io/output_file.h"
#include "core/io/posix_file.h"

namespace ciphra {

namespace {

// Large enough that the read calls cost little beside the hashing (a
// 256 MiB file in 8 KiB reads spent a tenth of its time in the calls), small
// enough to stay in the core's cache.
constexpr std::size_t HashChunkSize = std::size_t{128} * 1024;

} // namespace

std::optional<Digest> DigestOfFile(const std::string& path, HashAlgorithm algorithm, int* openError)
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
    Hasher hasher(algorithm);
    std::vector<std::uint8_t> chunk(HashChunkSize);
    std::size_t n = 0;
    do {
        n = file->Read(chunk.data(), chunk.size());
        hasher.Add(chunk.data(), n);
    } while (n == chunk.size());
    return hasher.Finish();
}

std::string HexForm(const Digest& digest)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (std::uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

std::string CharForm(const Digest& digest)
{
    std::string bytes;
    for (std::uint8_t byte : digest) {
        if (byte != 0) {
            bytes += static_cast<char>(byte);
        }
    }
    return Base64EncodeText(bytes);
}

std::string_view ReportHeading(HashAlgorithm algorithm) noexcept
{
    // Both headings are as wide as the one SHA-1 reports have always had.
    return algorithm == HashAlgorithm::Sha1 ? "--- Ciphra 2K v1.0.2 HASH using SHA-1 ------"
                                            : "--- Ciphra 2K v1.0.2 HASH using SHA-256 ----";
}

std::string HashReport(HashAlgorithm algorithm, std::string_view fileName,
                       std::string_view dateTime, std::string_view hashText)
{
    std::string report;
    const auto line = [&report](std::string_view start, std::string_view rest = {}) {
        report.append(start).append(rest).append("\r\n");
    };
    line(ReportHeading(algorithm));
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
