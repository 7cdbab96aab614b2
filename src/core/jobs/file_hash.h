#pragma once
// The digest of a whole file (SHA-1 or SHA-256), its two display forms and
// the hash report that saves it.

#include <optional>
#include <string>
#include <string_view>

#include "core/jobs/hash_algorithm.h"

namespace ciphra {

// Reads the file, opened for reading only, in 8192-byte chunks. Returns
// nothing when it is not a regular file (or a link to one) or cannot be
// opened, and then stores the errno value in *openError (0 for an entry that
// is not a regular file). A failure while reading throws FileError.
std::optional<Digest> DigestOfFile(const std::string& path,
                                   HashAlgorithm algorithm = HashAlgorithm::Sha1,
                                   int* openError = nullptr);

// "0x" and two upper-case hexadecimal digits per byte: 42 characters for
// SHA-1, 66 for SHA-256.
std::string HexForm(const Digest& digest);
// Base64 of the digest's bytes with every byte of value 0 left out.
std::string CharForm(const Digest& digest);

// The ten lines of a hash report, each ended by CR LF. `fileName` is the text
// of the file name box, `dateTime` the local date and time as shown to the
// user, `hashText` the digest in the form shown. The first line names the
// algorithm; a SHA-1 report is the one the program has always written.
std::string HashReport(HashAlgorithm algorithm, std::string_view fileName,
                       std::string_view dateTime, std::string_view hashText);
// The first line of a report of that algorithm, without its line end.
std::string_view ReportHeading(HashAlgorithm algorithm) noexcept;

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
