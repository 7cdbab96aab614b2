#pragma once
// The shredder: overwrites a file in place, pass after pass, then deletes it.
//
// A wipe first moves the file to a fixed meaningless name in its own folder
// (without replacing anything there). Each pass then opens the file for
// reading and writing and overwrites every byte three times, in large
// chunks and without changing the length: all 0x00, all 0xFF, then the
// Twofish cipher stream of what is there, keyed by the SHA-1 digest of the
// path followed by the clock text. Every byte's overwrite is flushed to the
// device before the next overwrite of that byte, because the dirty pages of
// a file that is about to be unlinked may otherwise never reach the disk.
// The cipher overwrite is one serial chain, the slow part: the zeros and the
// ones are written and flushed a segment at a time on a second thread, and
// the chain follows them through the file (fill_ahead.h).
//
// A file that cannot be opened for a pass is never deleted: the wipe stops,
// the file gets its own name back and the caller hears of it through the
// outcome. Any other I/O failure throws FileError and leaves the file on
// disk under the name it was worked on.

#include <functional>
#include <string>

namespace ciphra {

// 55 "a", a full stop, 7 "a".
inline constexpr const char* WipeTemporaryName =
    "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.aaaaaaa";

enum class WipeOutcome {
    Succeeded,  // overwritten and deleted
    OpenFailed, // not a regular file (links included), or could not be opened; kept
};

enum class Overwrite { Zeros, Ones, Cipher };

// What a wipe tells its caller while it runs. Every method has an empty
// default, so a caller overrides only what it shows.
class WipeObserver {
public:
    virtual ~WipeObserver() = default;
    // Before the first pass; `fileName` is the name part of the path.
    virtual void WipeStarted(const std::string& fileName, int passes);
    // At the start of pass `pass` (1-based), after the file was opened.
    virtual void PassStarted(int pass);
    // After an overwrite has been written and flushed, while the file is
    // still open under `workingPath` (the temporary name once renamed). The
    // zeros and the ones of a pass are reported together when both are done:
    // on a file of more than one segment the cipher overwrite has then begun.
    virtual void OverwriteDone(int pass, Overwrite which, const std::string& workingPath);
    // When the wipe ends in either outcome (not when it throws).
    virtual void WipeEnded(WipeOutcome outcome);
};

// Gives the current local date and time as text; called once per pass.
using ClockText = std::function<std::string()>;

// Wipes `path` with `passes` passes. Throws FileError on I/O failures other
// than opening the file, and Exception when `passes` is below 1.
WipeOutcome WipeFile(const std::string& path, int passes, const ClockText& clockText,
                     WipeObserver* observer = nullptr);

// Gives a regular file the owner write permission (a read-only file becomes
// wipeable); failures are not reported: the wipe's open then fails instead.
void AllowOwnerWrite(const std::string& path) noexcept;

} // namespace ciphra
