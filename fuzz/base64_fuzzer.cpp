// Any text given to the Base64 decoder: it either throws the format error
// (exactly when the length is not a multiple of 4) or returns the bytes the
// groups stand for, and canonical text survives decode then encode unchanged.
// The input read as bytes must also survive encode then decode.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/crypto/base64.h"
#include "core/error.h"

namespace {

constexpr std::string_view Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Canonical: alphabet characters only, "=" only as one or two final padding
// characters, and the bits that padding leaves unused all zero.
bool IsCanonical(std::string_view text)
{
    if (text.size() % 4 != 0) {
        return false;
    }
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    const std::string_view body = text.substr(0, text.size() - padding);
    if (body.find_first_not_of(Alphabet) != std::string_view::npos) {
        return false;
    }
    if (padding == 0) {
        return true;
    }
    const std::size_t last = Alphabet.find(body.back());
    return padding == 2 ? (last & 15) == 0 : (last & 3) == 0;
}

// How many bytes a text of `length` characters decodes to.
std::size_t DecodedLength(std::string_view text)
{
    if (text.empty()) {
        return 0;
    }
    const std::size_t full = 3 * (text.size() / 4);
    if (text[text.size() - 2] == '=') {
        return full - 2;
    }
    return text[text.size() - 1] == '=' ? full - 1 : full;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string decoded;
    bool rejected = false;
    try {
        decoded = ciphra::Base64DecodeText(text);
    } catch (const ciphra::Exception& error) {
        rejected = true;
        Check(std::strcmp(error.what(), ciphra::Base64FormatMessage) == 0);
    }
    Check(rejected == (size % 4 != 0));
    if (!rejected) {
        Check(decoded.size() == DecodedLength(text));
        if (IsCanonical(text)) {
            Check(ciphra::Base64EncodeText(decoded) == text);
        }
    }

    const std::string encoded = ciphra::Base64EncodeText(text);
    Check(encoded.size() == 4 * ((size + 2) / 3));
    Check(IsCanonical(encoded));
    Check(ciphra::Base64DecodeText(encoded) == text);
    return 0;
}
