#include "core/jobs/shredder.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

#include "core/crypto/sha1.h"
#include "core/crypto/wipe.h"
#include "core/error.h"
#include "core/io/background_flush.h"
#include "core/io/path_names.h"
#include "core/io/posix_file.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/fill_ahead.h"
#include "core/jobs/stream_pipeline.h"

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

// One pass's three overwrites: the zeros and the ones written segment by
// segment on a second thread (fill_ahead.h), the cipher overwrite following
// them on this one, its key made from the path and the clock as it starts.
// The cipher bytes are written back in the background while the chain runs
// and the file is flushed at the end, so the pass is on the disk once this
// returns. `filled` is called when the fills are done and flushed.
void OverwritePass(File& file, FillBuffer& buffer, const std::string& path,
                   const ClockText& clockText, const std::function<void()>& filled)
{
    FillAhead fills(file, buffer, filled);
    BackgroundFlush flush(file);
    std::uint8_t digest[Sha1DigestSize];
    Sha1OfText(path + clockText(), digest);
    CipherRun run(digest, Sha1DigestSize);
    SecureWipeObject(digest);
    file.Seek(0);
    RunPipelinedStream(run.Context(), file, file, nullptr, StreamDirection::Encrypt, SameOffsets,
                       &fills);
    fills.Finish();
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
        OverwritePass(*file, buffer, path, clockText, [&] {
            report.OverwriteDone(pass, Overwrite::Zeros, working);
            report.OverwriteDone(pass, Overwrite::Ones, working);
        });
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
