#pragma once
// The X25519 keys of the age format: an identity (a secret key, written
// "AGE-SECRET-KEY-1..." in upper case) and its recipient (the public key,
// "age1..."), their files, and new identities.
//
// A recipients file lists one recipient a line; an identity file one
// identity a line. Empty lines and lines starting with "#" are ignored in
// both, and lines may end with CR LF. Identity files are read into wiped
// memory only.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/crypto/secret_text.h"
#include "core/jobs/age_crypto.h"

namespace ciphra::age {

struct Recipient {
    std::uint8_t Public[KeyBytes] = {};
};

// Wiped when it goes; copies are wiped too.
struct Identity {
    std::uint8_t Secret[KeyBytes] = {};

    Identity() = default;
    Identity(const Identity& other);
    Identity& operator=(const Identity& other);
    ~Identity();
};

std::optional<Recipient> ParseRecipient(std::string_view text);
// False when `text` is not an X25519 identity.
bool ParseIdentity(std::string_view text, Identity& out);

std::string RecipientText(const Recipient& recipient);
void IdentityText(const Identity& identity, SecretText& out);
Recipient RecipientOf(const Identity& identity);
void GenerateIdentity(Identity& out);

// Read the files. Throw ciphra::Exception "<path>: <reason>" (a line that is
// no key gives its number), or FileError "<path>: <reason>" when the file
// cannot be read.
std::vector<Recipient> ReadRecipientsFile(const std::string& path);
std::vector<Identity> ReadIdentityFile(const std::string& path);

// An identity file as age-keygen writes it: the time it was made (RFC 3339),
// the public key, and the identity, each on a line.
void IdentityFileText(const Identity& identity, std::string_view created, SecretText& out);
// Now as RFC 3339 local time ("2024-05-01T12:30:00+02:00").
std::string CreatedTimeText();

} // namespace ciphra::age
