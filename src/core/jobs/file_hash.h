#pragma once
// The SHA-1 digest of a whole file, its two display forms and the hash
// report that saves it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/crypto/sha1.h"

namespace ciphra {

using Sha1Digest = std::array<std::uint8_t, Sha1DigestSize>;

// Reads the file, opened for reading only, in 8192-byte chunks. Returns
// nothing when it is not a regular file (or a link to one) or cannot be
// opened, and then stores the errno value in *openError (0 for an entry that
// is not a regular file). A failure while reading throws FileError.
std::optional<Sha1Digest> DigestOfFile(const std::string& path, int* openError = nullptr);

// "0x" and two upper-case hexadecimal digits per byte: 42 characters.
std::string HexForm(const Sha1Digest& digest);
// Base64 of the digest's bytes with every byte of value 0 left out.
std::string CharForm(const Sha1Digest& digest);

// The ten lines of a hash report, each ended by CR LF. `fileName` is the text
// of the file name box, `dateTime` the local date and time as shown to the
// user, `hashText` the digest in the form shown.
std::string HashReport(std::string_view fileName, std::string_view dateTime,
                       std::string_view hashText);

enum class ReportSave {
    Saved,
    Exists,       // something carries the name already; it is left alone
    CannotCreate, // any other reason the file could not be created
};

// Writes `report` as the new file `path` (an OutputFile: it appears only
// when complete, and never replaces anything). A failure while writing
// throws FileError, and nothing is left.
ReportSave SaveHashReport(const std::string& path, std::string_view report);

} // namespace ciphra
