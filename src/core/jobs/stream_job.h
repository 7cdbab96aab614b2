#pragma once
// Encrypting or decrypting one stream: standard input (or a file read as a
// stream) into standard output or a new named file, in constant memory
// whatever the length. The input may be a pipe: it is read once, from where
// it stands, and never sought.
//
// Written to standard output, the result goes out as it is made, so a
// failure part way leaves what was written before it in the pipe (an age
// stream: only chunks that passed their check); the caller must say that the
// run failed. Written to a named file, it is an OutputFile: nothing appears
// under the name unless the whole run succeeded.

#include <optional>
#include <string>
#include <sys/types.h>

#include "core/io/posix_file.h"
#include "core/jobs/age_file.h"
#include "core/jobs/file_cipher.h"
#include "core/jobs/key_material.h"
#include "core/jobs/output_names.h"

namespace ciphra {

// Decrypting: the format the stream holds, told from its first bytes
// (peeked, so nothing is taken from a pipe).
CipherFormat FormatOfStream(File& input);

// What opens an age stream, when that can be known before it is read: a
// file with positions is looked at ahead; a pipe cannot be.
std::optional<age::Lock> LockOfStream(File& input);

struct StreamJob {
    CipherDirection Direction = CipherDirection::Encrypt;
    CipherFormat Format = CipherFormat::Cph; // decrypting: FormatOfStream's answer
};

// Transforms `input` into `output`, each piece written where the output
// stands. The .CPH format keys with `key`, the age format with `keys`.
// Throws FileError, age::AgeError, and the key-length Exception before
// anything is read.
void TransformStream(const StreamJob& job, File& input, File& output, const KeyMaterial& key,
                     const age::Keys& keys);

// The same into a new file named `outputPath` with `permissions`. Returns
// false when `existing` is Refuse and the name is taken when the result is
// complete (it is then thrown away). Throws as TransformStream does, and
// FileError when no working file can be made beside `outputPath`.
bool TransformStreamInto(const StreamJob& job, File& input, const std::string& outputPath,
                         ExistingOutput existing, mode_t permissions, const KeyMaterial& key,
                         const age::Keys& keys);

} // namespace ciphra
