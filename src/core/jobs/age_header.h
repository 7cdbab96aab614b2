#pragma once
// The header of an age file: the version line, one stanza per recipient
// ("-> TYPE ARGS..." and a Base64 body wrapped at 64 columns, ending with a
// shorter line) and the MAC line ("--- " and the Base64 HMAC).

#include <cstdint>
#include <string>
#include <vector>

#include "core/jobs/age_armor.h"
#include "core/jobs/age_crypto.h"
#include "core/jobs/age_text.h"

namespace ciphra::age {

inline constexpr const char* VersionLine = "age-encryption.org/v1";

struct Stanza {
    std::vector<std::string> Args; // the type first
    Bytes Body;
};

struct Header {
    std::vector<Stanza> Stanzas;
    std::string Maced; // what the MAC covers: from the version line to "---"
    std::uint8_t Mac[KeyBytes] = {};
};

// Reads the header, leaving `in` at the payload. Throws AgeError (Header,
// UnsupportedVersion) when it is not exactly of the format's grammar.
Header ReadHeader(BufferedSource& in);

// The header's text up to and including "---", as the MAC covers it.
std::string HeaderText(const std::vector<Stanza>& stanzas);

} // namespace ciphra::age
