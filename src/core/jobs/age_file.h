#pragma once
// Encrypting and decrypting streams in the age format (age-encryption.org/v1),
// which the age tools and every other conforming program read and write.
//
// A file is a text header and a binary payload. The header wraps a random
// 16-byte file key for each recipient (X25519 public keys) or for a password
// (scrypt), and ends with an HMAC of itself under a key derived from the file
// key. The payload is a 16-byte nonce and the data in chunks of 64 KiB, each
// sealed with ChaCha20-Poly1305 under a key derived from the file key and
// the nonce; the chunk number and a flag that marks the last chunk are the
// chunks' nonces, so that chunks cannot be reordered, dropped or added.
//
// Both directions stream in constant memory. Decrypting writes a chunk only
// once its tag was checked; any fault throws AgeError, and the caller (an
// OutputFile) throws away what was written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.h"
#include "core/io/posix_file.h"
#include "core/jobs/age_keys.h"
#include "core/jobs/cipher_stream.h"

namespace ciphra::age {

// age's own default for new files, and the most it accepts from others.
inline constexpr int DefaultWorkFactor = 18;
inline constexpr int MostWorkFactor = 22;
inline constexpr std::size_t ChunkBytes = std::size_t{64} * 1024;

enum class Problem {
    Armor,              // the ASCII armor is damaged
    Header,             // the header is damaged or not of this format
    UnsupportedVersion, // a later version of the format
    WorkFactor,         // the password's work factor is above MostWorkFactor
    NeedsPassword,      // made with a password, and none was given
    NeedsIdentity,      // made for recipients, and no identity was given
    WrongPassword,      // the password does not open it
    NoIdentityMatched,  // none of the identities opens it
    HeaderAltered,      // the header's MAC does not match
    PayloadAltered,     // a chunk fails its check
    Truncated,          // the data ends before its last chunk
    TrailingData,       // data follows the last chunk
};

class AgeError : public Exception {
public:
    AgeError(Problem problem, const std::string& message) : Exception(message), problem_(problem) {}
    Problem What() const noexcept { return problem_; }

private:
    Problem problem_;
};

// What opens a file: a password, or the identity of one of its recipients.
enum class Lock { Password, Recipients };

// The keys of a run. Encrypting: to the recipients when there are any,
// else with the password. Decrypting: the password for a password file, the
// identities for a file made for recipients.
struct Keys {
    std::string_view Password;
    std::vector<Recipient> Recipients;
    std::vector<Identity> Identities;
    bool Armor = false;                 // encrypting: write the ASCII armor
    int WorkFactor = DefaultWorkFactor; // encrypting with a password: log2 of scrypt's N
};

// True when what the file reads next starts as an age file does, binary or
// armored (its first bytes, peeked: nothing is taken, so a pipe can be told).
bool IsAgeFile(File& file);
// What the file's header asks for, read from the start of the file; nothing
// when the header cannot be read (decrypting then says why).
std::optional<Lock> LockOf(File& file);

// From the current positions to the end of `input`. Throw AgeError, FileError,
// and ciphra::Exception for keys that cannot be used.
void EncryptStream(File& input, File& output, const Keys& keys, StreamProgress* progress);
void DecryptStream(File& input, File& output, const Keys& keys, StreamProgress* progress);

} // namespace ciphra::age
