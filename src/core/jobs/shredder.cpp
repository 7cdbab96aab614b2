#include "core/jobs/shredder.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"
#include "core/crypto/wipe.h"
#include "core/error.h"
#include "core/io/background_flush.h"
#include "core/io/path_names.h"
#include "core/io/posix_file.h"
#include "core/jobs/cipher_stream.h"

namespace ciphra {

void WipeObserver::WipeStarted(const std::string&, int) {}
void WipeObserver::PassStarted(int) {}
void WipeObserver::OverwriteDone(int, Overwrite, const std::string&) {}
void WipeObserver::WipeEnded(WipeOutcome) {}

namespace {

std::string TemporaryPathBeside(const std::string& path)
{
    std::string folder = FolderOf(path);
    if (!folder.ends_with('/')) {
        folder += '/';
    }
    return folder + WipeTemporaryName;
}

// Only regular files are wiped. Devices, FIFOs and folders are never
// overwritten, and neither is the file a symbolic link leads to: wiping it
// through the link would destroy its contents yet leave it in place.
bool IsRegularFile(const std::string& path) noexcept
{
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error));
}

// One chunk of the file; it briefly holds the file's old bytes, so it is
// wiped at the end.
class FillBuffer {
public:
    FillBuffer() : bytes_(new std::uint8_t[StreamChunkSize]) {}
    ~FillBuffer() { SecureWipe(bytes_.get(), StreamChunkSize); }
    FillBuffer(const FillBuffer&) = delete;
    FillBuffer& operator=(const FillBuffer&) = delete;
    std::uint8_t* Bytes() { return bytes_.get(); }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
};

// Reads each chunk to learn its length, then writes the fill byte over it.
void FillOverwrite(File& file, FillBuffer& buffer, std::uint8_t fill)
{
    std::uint64_t position = 0;
    for (;;) {
        const std::size_t n = file.ReadAt(buffer.Bytes(), StreamChunkSize, position);
        if (n > 0) {
            std::memset(buffer.Bytes(), fill, n);
            file.WriteAllAt(buffer.Bytes(), n, position);
        }
        position += n;
        if (n < StreamChunkSize) {
            return;
        }
    }
}

void CipherOverwrite(File& file, const std::string& path, const ClockText& clockText)
{
    std::uint8_t digest[Sha1DigestSize];
    Sha1OfText(path + clockText(), digest);
    CipherRun run(digest, Sha1DigestSize);
    SecureWipeObject(digest);
    file.Seek(0);
    EncryptStream(run.Context(), file, file);
}

// Runs one overwrite and flushes it to the device. The flushing starts while
// the overwrite is still being written, so the disk works alongside it.
template <typename Write> void FlushedOverwrite(File& file, Write write)
{
    BackgroundFlush flush(file);
    write();
    flush.Stop();
    file.Sync();
}

} // namespace

WipeOutcome WipeFile(const std::string& path, int passes, const ClockText& clockText,
                     WipeObserver* observer)
{
    if (passes < 1) {
        throw Exception("A wipe needs at least one pass");
    }
    WipeObserver quiet;
    WipeObserver& report = observer != nullptr ? *observer : quiet;
    report.WipeStarted(NameOf(path), passes);
    if (!IsRegularFile(path)) {
        report.WipeEnded(WipeOutcome::OpenFailed);
        return WipeOutcome::OpenFailed;
    }
    const std::string temporary = TemporaryPathBeside(path);
    const bool renamed = RenameNoReplace(path, temporary);
    const std::string& working = renamed ? temporary : path;

    FillBuffer buffer;
    for (int pass = 1; pass <= passes; ++pass) {
        std::optional<File> file = File::TryOpenRegular(working, OpenMode::ReadWrite);
        if (!file) {
            // Nothing more is overwritten and nothing deleted; the user finds
            // the file under its own name again.
            if (renamed) {
                RenameNoReplace(temporary, path);
            }
            report.WipeEnded(WipeOutcome::OpenFailed);
            return WipeOutcome::OpenFailed;
        }
        report.PassStarted(pass);
        FlushedOverwrite(*file, [&] { FillOverwrite(*file, buffer, 0x00); });
        report.OverwriteDone(pass, Overwrite::Zeros, working);
        FlushedOverwrite(*file, [&] { FillOverwrite(*file, buffer, 0xFF); });
        report.OverwriteDone(pass, Overwrite::Ones, working);
        FlushedOverwrite(*file, [&] { CipherOverwrite(*file, path, clockText); });
        report.OverwriteDone(pass, Overwrite::Cipher, working);
        file->Close();
    }
    RemoveFile(working);
    report.WipeEnded(WipeOutcome::Succeeded);
    return WipeOutcome::Succeeded;
}

void AllowOwnerWrite(const std::string& path) noexcept
{
    if (!IsRegularFile(path)) {
        return; // a folder, device or link keeps its permissions
    }
    std::error_code error;
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, error);
}

} // namespace ciphra
