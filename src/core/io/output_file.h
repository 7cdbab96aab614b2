#pragma once
// The one way every output is written: it appears under its final name only
// when it is complete and on disk.
//
// It is written as a working file in the final name's folder, under a new
// hidden name ("." + the final name, shortened to fit a name's 255 bytes, +
// "." + six random characters). The working file is created exclusively,
// never opening anything that already has its name (a link included), and
// readable and writable by its owner only. Outside the stub its data is
// flushed in the background while it is written, so that the flush at the
// end has little left to do. Finish flushes it (fsync), gives it its final
// permissions and closes it; then it takes its final name, either without
// replacing anything or by replacing the name atomically (whatever had the
// name, a link or another user's file, is never written through), and the
// folder is flushed so that the name survives a crash too.
//
// A batch of many small outputs flushes them all at once instead: each is
// made with Writeback::AtEnd (no thread), Complete gives it its permissions,
// the batch flushes the whole file system (SyncFileSystem) and CloseFlushed
// checks the file's own write-back; only then are they named, each without
// flushing its folder, and each folder is flushed once (FlushFolder).
//
// However the run ends before that, by an exception or an ending signal, the
// working file is removed: no partial output is ever left under any name.

#include <string>
#include <sys/types.h>

#include "core/io/posix_file.h"

namespace ciphra {

class BackgroundFlush;

// Whether a thread writes the data back while the file is written (for a
// large file), or everything waits for the flush at the end (a small one).
enum class Writeback { Background, AtEnd };
// Whether naming the file flushes its folder at once, or the caller flushes
// it later (once for many names).
enum class FolderFlush { Now, Later };

// Flushes an open folder, so that the names made in it survive a crash; a
// folder that cannot be flushed (some file systems refuse) has nothing more
// to flush. Throws FileError.
void FlushFolder(const File& folder);

class OutputFile {
public:
    // Opens the folder of `finalPath` and creates the working file in it.
    // Throws FileError when either fails.
    explicit OutputFile(const std::string& finalPath, Writeback writeback = Writeback::Background);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile(); // removes the working file unless it was named or released

    File& Handle() noexcept { return file_; }
    const File& Folder() const noexcept { return folder_; }
    const std::string& FinalPath() const noexcept { return finalPath_; }
    std::string WorkingPath() const;

    // Gives the working file the owner and group of `like`, the file it is
    // a new version of. Done first, so that a file whose owner cannot be
    // kept is refused before any data is written. Throws FileError.
    void TakeOwnerOf(const FileStatus& like);
    // Gives the working file every extended attribute of `like` (access
    // control lists included); a security label the system refuses to copy
    // is left to the system's default. Call before Finish. Throws FileError.
    void CopyExtendedAttributesOf(const File& like);

    // Complete, then FlushAndClose.
    void Finish(mode_t permissions);
    // The data is complete: stops the background flush (throwing the error
    // it met) and sets `permissions` (07777). The file stays open. Throws FileError.
    void Complete(mode_t permissions);
    // After Complete: flushes the file (fsync) and closes it. Throws FileError.
    void FlushAndClose();
    // After Complete and a SyncFileSystem of its file system: waits for what
    // may still be written of the file and throws the file's own write
    // error (which the file system's flush does not name), then closes it.
    void CloseFlushed();

    // After Finish: gives the file its final name, or `name` (a name in the
    // same folder), without replacing anything. Returns false when the name
    // is taken: the file stays under its working name for another try.
    bool PublishNew(FolderFlush flush = FolderFlush::Now);
    bool PublishNewAs(const std::string& name);
    // After Finish: gives the file its final name, replacing atomically
    // whatever has that name.
    void PublishReplacing(FolderFlush flush = FolderFlush::Now);
    // Gives the file up: it stays on disk under its working name, which is
    // returned (for a caller that has nowhere else to put the data).
    std::string Release();

private:
    bool Rename(const std::string& name, bool replace, FolderFlush flush);
    void Discard() noexcept; // removes the working file unless it was named or released
    void Named() noexcept;

    std::string finalPath_;
    File folder_;
    std::string workingName_; // empty once named, released or removed
    File file_;
    int slot_ = -1; // the interrupt record of the working file
    // Owned; never made in the stub, which has no threads.
    [[maybe_unused]] BackgroundFlush* flush_ = nullptr;
};

} // namespace ciphra
