#pragma once
// What an encrypt or decrypt command line asks for, and the keys it needs:
// shared by its ways of running (named files, folders with -r, and streams).

#include <optional>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/options.h"
#include "core/crypto/secret_text.h"
#include "core/jobs/age_file.h"
#include "core/jobs/key_material.h"
#include "core/jobs/output_names.h"

namespace ciphra::cli {

struct CipherRequest {
    CipherDirection Direction = CipherDirection::Encrypt;
    CommandLine Line;
    std::optional<std::string> Format; // --format
    std::vector<std::string> Recipients;
    std::vector<std::string> RecipientsFiles;
    std::vector<std::string> IdentityFiles;
    std::optional<std::string> Output; // -o / --output

    bool Encrypt() const { return Direction == CipherDirection::Encrypt; }
    bool Age() const { return Format == "age"; }
    bool Recursive() const { return Line.Has("-r") || Line.Has("--recursive"); }
    CipherFormat FormatWritten() const { return Age() ? CipherFormat::Age : CipherFormat::Cph; }
};

// The keys of a run. It holds the password and refers to it: never copied.
struct CipherKeys {
    SecretText Password;
    KeyMaterial Key;
    age::Keys Age;

    CipherKeys() = default;
    CipherKeys(const CipherKeys&) = delete;
    CipherKeys& operator=(const CipherKeys&) = delete;
};

// Reads the recipients and identities the request names, and the password
// when `needsPassword` (asked twice when encrypting on the terminal). Throws
// ciphra::Exception with the message for the user.
void ObtainCipherKeys(const CipherRequest& request, bool needsPassword, CliIo& io,
                      CipherKeys& keys);

// Runs the request on named files (a batch checked before the first is
// written) or, with -r, on every file below the folders named.
int RunCipherFiles(const CipherRequest& request, CliIo& io);
// Runs the request on a stream: "-" (standard input) as the file, or
// "-o -" (standard output) as the output.
int RunCipherStream(const CipherRequest& request, CliIo& io);

} // namespace ciphra::cli
