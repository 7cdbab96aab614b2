#pragma once
// Expected digests as people hand them over: one value pasted (the hash
// window's Hex or Char form, or bare hexadecimal in either case), a hash
// report (.hsh), or a checksum list as sha1sum and sha256sum write it:
//   HEX  NAME       text mode marker (two blanks)
//   HEX *NAME       binary mode marker
//   \HEX  NA\\ME    a name holding "\", a line break or a CR, escaped
//   SHA256 (NAME) = HEX    the "--tag" form
//   0xHEX  NAME     the Hex form, as "ciphra2k-cli hash -r" lists files
// Each line names its algorithm by its length: 40 digits SHA-1, 64 SHA-256.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/jobs/hash_algorithm.h"

namespace ciphra {

enum class DigestForm { Hex, Char };

struct ExpectedDigest {
    HashAlgorithm Algorithm = HashAlgorithm::Sha1;
    DigestForm Form = DigestForm::Hex;
    std::string Text; // Hex: lower-case digits without "0x"; Char: the Base64 text
    bool operator==(const ExpectedDigest&) const = default;
};

// One value, blanks around it ignored: "0x" or nothing, then 40 or 64
// hexadecimal digits in either case; or the Char form, Base64 of a digest
// with its zero bytes left out (16 to 20 bytes SHA-1, 28 to 32 SHA-256).
std::optional<ExpectedDigest> ParseExpectedDigest(std::string_view text);

// True when `digest` is the expected one (same algorithm, same bytes; the
// Char form compares the text the hash window would show).
bool DigestMatches(const ExpectedDigest& expected, const Digest& digest);

struct ChecksumEntry {
    std::size_t Line = 0; // 1-based, in the text it was read from
    std::string Name;     // the file it names, escapes undone
    ExpectedDigest Expected;
};

struct ChecksumList {
    bool IsReport = false; // a hash report rather than a sha*sum list
    std::vector<ChecksumEntry> Entries;
    std::size_t BadLines = 0; // lines that are neither blank nor an entry
};

// Reads a hash report (by its first line) or a checksum list. Lines may end
// in LF or CR LF.
ChecksumList ParseChecksumText(std::string_view text);

inline constexpr std::size_t MostChecksumFileBytes = 64u << 20;

// Reads the file (a regular file of at most MostChecksumFileBytes) and
// parses it. Throws FileError when it cannot be read, ciphra::Exception when
// it is a folder or too large; the messages do not repeat the path.
ChecksumList ReadChecksumFile(const std::string& path);

// The last component of a listed name ("dir/x.iso" and "./x.iso" give "x.iso").
std::string_view ListedFileName(std::string_view name);

// A name as sha1sum -c prints it: one that holds a line break gets "\", LF
// and CR escaped and a "\" before it (*escaped says so); any other name is
// printed as it is.
std::string EscapedName(std::string_view name, bool* escaped);

} // namespace ciphra
