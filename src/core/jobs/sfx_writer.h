#pragma once
// Writing a self-decrypting program: the stub file's bytes followed by the
// plain file encrypted with the password's own bytes (never their digest;
// the stub has no SHA-1). Nothing follows the payload, and the stub finds the
// payload at its own length.
//
// The plain file is encrypted while it is copied, so its plain bytes are
// never written anywhere. The program is an OutputFile: it appears under its
// name only when complete, with the execute permission set, and an existing
// file of that name is never replaced.

#include <string>
#include <string_view>

#include "core/jobs/cipher_stream.h"

namespace ciphra {

enum class SfxStatus {
    Done,
    SourceUnusable,   // the plain file is missing, unreadable, a folder or not a regular file
    ProgramNameTaken, // something has the program's name; it was left alone
};

struct SfxOutcome {
    SfxStatus Status = SfxStatus::Done;
    std::string Program; // the program's path (output_names.h)
    int Error = 0;       // the errno behind SourceUnusable
};

// Looks at what writing the program of `plainPath` needs, changing nothing:
// Done when the plain file can be read and the program's name is free.
SfxOutcome CheckSelfDecryptingProgram(const std::string& plainPath);

// Writes the self-decrypting program of `plainPath` with the stub at
// `stubPath`; `progress` hears about the encryption of the payload.
//
// Throws ciphra::Exception with a text for the user, having written nothing
// under the program's name: the key-length message for a password outside
// 1..32 bytes (checked before any file is touched); "<stub>: not a stub of
// self-decrypting programs" for a stub file that is not one; or the file
// concerned and the I/O error ("<path>: Disk full").
SfxOutcome WriteSelfDecryptingProgram(const std::string& plainPath, std::string_view password,
                                      const std::string& stubPath,
                                      StreamProgress* progress = nullptr);

} // namespace ciphra
