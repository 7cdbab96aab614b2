#pragma once
// The text encodings of the age format: Base64 (standard alphabet) without
// padding, strict: only the canonical encoding of some bytes is accepted;
// the padded form the armor uses; and Bech32 for keys, without a length limit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ciphra::age {

using Bytes = std::vector<std::uint8_t>;

std::string EncodeBase64(const std::uint8_t* data, std::size_t n, bool padded);
// Nothing when `text` holds a character outside the alphabet, has a length
// no bytes encode to, or is not the one canonical form (unused bits set;
// "=" padding where `padded` is false, or missing or misplaced where it is true).
std::optional<Bytes> DecodeBase64(std::string_view text, bool padded);
// Decodes into `out`, which has room for the bytes; returns how many, or
// nothing as above. The armor decodes its lines with it.
std::optional<std::size_t> DecodeBase64Into(std::string_view text, bool padded, std::uint8_t* out);

// Bech32 of `data` (8-bit bytes) with the prefix `hrp`; lower case, or all
// upper case when `upper`.
std::string EncodeBech32(std::string_view hrp, const std::uint8_t* data, std::size_t n, bool upper);

struct Bech32Text {
    std::string Hrp; // lower case
    Bytes Data;
};
// Nothing when `text` mixes cases, lacks the separator, has a character
// outside the alphabet, a wrong checksum, or data bits that are not padding.
std::optional<Bech32Text> DecodeBech32(std::string_view text);

} // namespace ciphra::age
