#pragma once
// Writing a self-decrypting program: the stub file's bytes followed by the
// plain file encrypted with the password's own bytes (never their digest;
// the stub has no SHA-1). Nothing follows the payload, and the stub finds the
// payload at its own length.
//
// The program is built in a working file in its own folder and appears under
// its name only when complete, with the execute permission set. An existing
// file of that name is never replaced, and no working file is left behind
// when anything fails.

#include <string>
#include <string_view>

#include "core/io/working_file.h"
#include "core/jobs/cipher_stream.h"

namespace ciphra {

// The program's path for a plain file: its extension replaced by ".exe"
// ("report.doc" gives "report.exe", "notes" gives "notes.exe").
std::string SelfDecryptingProgramPath(const std::string& plainPath);

// Writes the self-decrypting program of `plainPath` with the stub file at
// `stubPath` and returns the program's path. `progress` hears about the
// encryption of the payload; `watch` about the working file.
//
// Throws ciphra::Exception with a text for the user, having written nothing:
// the key-length message for a password outside 1..32 bytes (checked before
// any file is touched); "<program>: file exists, not replaced"; or the file
// concerned and the I/O error ("<path>: File not found").
std::string WriteSelfDecryptingProgram(const std::string& plainPath, std::string_view password,
                                       const std::string& stubPath,
                                       StreamProgress* progress = nullptr,
                                       WorkingFileWatch* watch = nullptr);

} // namespace ciphra
