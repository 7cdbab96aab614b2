#pragma once
// Encryption of a piece of text in place: Twofish in 8-bit cipher feedback,
// keyed by the 20-byte SHA-1 digest of the password (always the digest), with
// the start vector E_K(0^16). The ciphertext has exactly as many bytes as the
// text; callers show it as one line of Base64. No header, salt or check value:
// the same password and text always give the same bytes, and a wrong password
// decrypts without error to other bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace ciphra {

// The most bytes of text the tools take from one input: encrypted text is one
// line of Base64, meant for a message, not for a file's worth of data.
inline constexpr std::size_t LongestTextInput = std::size_t{32} << 20;

void EncryptTextWithPassword(std::string_view password, std::string& text);
void DecryptTextWithPassword(std::string_view password, std::string& text);

} // namespace ciphra
