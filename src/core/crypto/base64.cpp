// Base64 (RFC 4648 alphabet, "=" padding) with a lenient decoder.

#include "core/crypto/base64.h"

#include "core/error.h"

#include <cstdint>

namespace ciphra {

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Every character outside "A-Za-z0-9+" counts as 63, "/" and "=" included.
unsigned ValueOf(char ch) noexcept
{
    if (ch >= 'A' && ch <= 'Z') {
        return static_cast<unsigned>(ch - 'A');
    }
    if (ch >= 'a' && ch <= 'z') {
        return static_cast<unsigned>(ch - 'a') + 26;
    }
    if (ch >= '0' && ch <= '9') {
        return static_cast<unsigned>(ch - '0') + 52;
    }
    return ch == '+' ? 62 : 63;
}

char Byte(unsigned v) noexcept
{
    return static_cast<char>(static_cast<std::uint8_t>(v));
}

} // namespace

std::string Base64EncodeText(std::string_view bytes)
{
    const std::size_t n = bytes.size();
    std::string text(4 * ((n + 2) / 3), '=');
    std::size_t o = 0;
    for (std::size_t i = 0; i < n; i += 3, o += 4) {
        const unsigned b0 = static_cast<std::uint8_t>(bytes[i]);
        const unsigned b1 = i + 1 < n ? static_cast<std::uint8_t>(bytes[i + 1]) : 0U;
        const unsigned b2 = i + 2 < n ? static_cast<std::uint8_t>(bytes[i + 2]) : 0U;
        text[o] = Alphabet[b0 >> 2];
        text[o + 1] = Alphabet[((b0 & 3) << 4) | (b1 >> 4)];
        if (i + 1 < n) {
            text[o + 2] = Alphabet[((b1 & 15) << 2) | (b2 >> 6)];
        }
        if (i + 2 < n) {
            text[o + 3] = Alphabet[b2 & 63];
        }
    }
    return text;
}

std::string Base64DecodeText(std::string_view text)
{
    const std::size_t length = text.size();
    if (length % 4 != 0) {
        throw Exception(Base64FormatMessage);
    }
    std::string bytes;
    if (length == 0) {
        return bytes;
    }
    bytes.reserve(3 * (length / 4));
    for (std::size_t i = 0; i < length; i += 4) {
        const unsigned s0 = ValueOf(text[i]);
        const unsigned s1 = ValueOf(text[i + 1]);
        const unsigned s2 = ValueOf(text[i + 2]);
        const unsigned s3 = ValueOf(text[i + 3]);
        const bool last = i + 4 == length;
        bytes.push_back(Byte(((s0 << 2) | (s1 >> 4)) & 255));
        // Only the last group looks at "="; earlier ones decode it as 63.
        if (last && text[i + 2] == '=') {
            break;
        }
        bytes.push_back(Byte(((s1 << 4) | (s2 >> 2)) & 255));
        if (last && text[i + 3] == '=') {
            break;
        }
        bytes.push_back(Byte(((s2 << 6) | s3) & 255));
    }
    return bytes;
}

} // namespace ciphra
