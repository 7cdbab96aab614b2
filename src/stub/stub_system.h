#pragma once
// What the decrypt routine (decrypt_routine.h) needs of the system it runs
// on: the program's own file, and the restored file's working file and its
// names. The Linux stub fills it in on the core's file layer
// (posix_system.h), the Windows stub on Win32 (windows/win32_system.h).
// Nothing here throws or allocates: the Windows stub is built without
// exceptions and without the C++ library's run time.

#include "core/jobs/chunk_stream.h"

namespace ciphra::stub {

enum class Naming {
    Named,  // the working file has the name now
    Taken,  // something has that name; the working file is still there
    Failed, // the system refused (Failure() says why)
};

// The chunk ends (chunk_stream.h): reading reads the payload, writing
// writes the working file; both return false on a failure.
class StubSystem : public ChunkEnds {
public:
    // The restored file's name ("report.dec" beside "report.exe") and the
    // program's folder, as UTF-8 text for the messages.
    virtual const char* RestoredName() = 0;
    virtual const char* FolderName() = 0;

    // Creates the working file in the program's folder: a new file under a
    // hidden name, never opening anything that already has a name, readable
    // and writable by its owner only.
    virtual bool CreateWorkingFile() = 0;
    // Opens the program's own file at its payload, the end of its program
    // image; false when the file cannot be read as a stub and a payload.
    virtual bool OpenPayload() = 0;
    // Flushes the working file to disk, gives it the permissions of a new
    // file and closes it.
    virtual bool FinishWorkingFile() = 0;
    // Gives the finished working file `name` (in the same folder) without
    // ever replacing anything that has it.
    virtual Naming NameWorkingFile(const char* name) = 0;
    // Leaves the working file on disk under its working name and returns
    // that name, for a caller that has nowhere else to put the data.
    virtual const char* KeepWorkingFile() = 0;
    // Removes the working file unless it was named or kept.
    virtual void RemoveWorkingFile() = 0;

    // Why the last call that failed failed, in the file layer's words
    // ("Disk full", "File access denied", "I/O error 5").
    virtual const char* Failure() = 0;

protected:
    ~StubSystem() = default;
};

} // namespace ciphra::stub
