#include "core/jobs/age_text.h"

#include <array>

#include "core/crypto/wipe.h"

namespace ciphra::age {
namespace {

constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char Bech32Alphabet[] = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";

constexpr std::array<std::int8_t, 256> Reverse(const char* alphabet, std::size_t n)
{
    std::array<std::int8_t, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < n; ++i) {
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    }
    return table;
}

constexpr auto Base64Values = Reverse(Base64Alphabet, 64);
constexpr auto Bech32Values = Reverse(Bech32Alphabet, 32);

std::uint32_t PolyMod(const std::vector<std::uint8_t>& values)
{
    constexpr std::uint32_t generator[] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd,
                                           0x2a1462b3};
    std::uint32_t check = 1;
    for (const std::uint8_t value : values) {
        const std::uint32_t top = check >> 25;
        check = ((check & 0x1ffffff) << 5) ^ value;
        for (int i = 0; i < 5; ++i) {
            if (((top >> i) & 1) != 0) {
                check ^= generator[i];
            }
        }
    }
    return check;
}

std::vector<std::uint8_t> ExpandedHrp(std::string_view hrp)
{
    std::vector<std::uint8_t> out;
    for (const char c : hrp) {
        out.push_back(static_cast<std::uint8_t>(static_cast<unsigned char>(c) >> 5));
    }
    out.push_back(0);
    for (const char c : hrp) {
        out.push_back(static_cast<std::uint8_t>(c & 31));
    }
    return out;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Identities pass through Bech32: every copy of their bits is wiped, and
// buffers are sized up front so that no growing leaves one behind.
void Wipe(std::vector<std::uint8_t>& values) noexcept
{
    SecureWipe(values.data(), values.size());
}

} // namespace

std::string EncodeBase64(const std::uint8_t* data, std::size_t n, bool padded)
{
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        const std::uint32_t v =
            (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) {
            out.push_back(Base64Alphabet[(v >> shift) & 63]);
        }
    }
    const std::size_t rest = n - i;
    if (rest > 0) {
        std::uint32_t v = std::uint32_t{data[i]} << 16;
        if (rest == 2) {
            v |= std::uint32_t{data[i + 1]} << 8;
        }
        out.push_back(Base64Alphabet[(v >> 18) & 63]);
        out.push_back(Base64Alphabet[(v >> 12) & 63]);
        if (rest == 2) {
            out.push_back(Base64Alphabet[(v >> 6) & 63]);
        }
        if (padded) {
            out.append(3 - rest, '=');
        }
    }
    return out;
}

std::optional<std::size_t> DecodeBase64Into(std::string_view text, bool padded, std::uint8_t* out)
{
    if (padded) {
        if (text.size() % 4 != 0) {
            return std::nullopt;
        }
        if (!text.empty() && text.back() == '=') {
            text.remove_suffix(text.size() >= 2 && text[text.size() - 2] == '=' ? 2 : 1);
        }
    }
    if (text.size() % 4 == 1) {
        return std::nullopt;
    }
    std::size_t n = 0;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        const std::int8_t value = Base64Values[static_cast<unsigned char>(c)];
        if (value < 0) {
            return std::nullopt; // "=" included: padding only at the end, taken off above
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out[n++] = static_cast<std::uint8_t>(bits >> 16);
            out[n++] = static_cast<std::uint8_t>(bits >> 8);
            out[n++] = static_cast<std::uint8_t>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 2) {
        if ((bits & 0xf) != 0) {
            return std::nullopt; // not canonical
        }
        out[n++] = static_cast<std::uint8_t>(bits >> 4);
    } else if (count == 3) {
        if ((bits & 0x3) != 0) {
            return std::nullopt;
        }
        out[n++] = static_cast<std::uint8_t>(bits >> 10);
        out[n++] = static_cast<std::uint8_t>(bits >> 2);
    }
    return n;
}

std::optional<Bytes> DecodeBase64(std::string_view text, bool padded)
{
    Bytes out(text.size() / 4 * 3 + 3);
    const std::optional<std::size_t> n = DecodeBase64Into(text, padded, out.data());
    if (!n) {
        return std::nullopt;
    }
    out.resize(*n);
    return out;
}

std::string EncodeBech32(std::string_view hrp, const std::uint8_t* data, std::size_t n, bool upper)
{
    std::string lowerHrp;
    for (const char c : hrp) {
        lowerHrp.push_back(Lower(c));
    }
    const std::size_t groups = (n * 8 + 4) / 5;
    std::vector<std::uint8_t> values;
    values.reserve(groups + 6);
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        bits = (bits << 8) | data[i];
        count += 8;
        while (count >= 5) {
            count -= 5;
            values.push_back(static_cast<std::uint8_t>((bits >> count) & 31));
        }
    }
    if (count > 0) {
        values.push_back(static_cast<std::uint8_t>((bits << (5 - count)) & 31));
    }
    std::vector<std::uint8_t> checked = ExpandedHrp(lowerHrp);
    checked.reserve(checked.size() + values.size() + 6);
    checked.insert(checked.end(), values.begin(), values.end());
    checked.insert(checked.end(), 6, 0);
    const std::uint32_t check = PolyMod(checked) ^ 1;
    Wipe(checked);
    for (int i = 0; i < 6; ++i) {
        values.push_back(static_cast<std::uint8_t>((check >> (5 * (5 - i))) & 31));
    }
    std::string out;
    out.reserve(lowerHrp.size() + 1 + values.size());
    out.append(lowerHrp).push_back('1');
    for (const std::uint8_t value : values) {
        out.push_back(upper ? Upper(Bech32Alphabet[value]) : Bech32Alphabet[value]);
    }
    Wipe(values);
    for (std::size_t i = 0; i < lowerHrp.size() && upper; ++i) {
        out[i] = Upper(out[i]);
    }
    return out;
}

std::optional<Bech32Text> DecodeBech32(std::string_view text)
{
    bool lower = false;
    bool upper = false;
    for (const char c : text) {
        if (c < 33 || c > 126) {
            return std::nullopt;
        }
        lower = lower || (c >= 'a' && c <= 'z');
        upper = upper || (c >= 'A' && c <= 'Z');
    }
    const std::size_t separator = text.rfind('1');
    if ((lower && upper) || separator == std::string_view::npos || separator == 0 ||
        text.size() - separator < 7) {
        return std::nullopt;
    }
    Bech32Text out;
    for (const char c : text.substr(0, separator)) {
        out.Hrp.push_back(Lower(c));
    }
    std::vector<std::uint8_t> checked = ExpandedHrp(out.Hrp);
    const std::size_t start = checked.size();
    checked.reserve(start + text.size() - separator - 1);
    for (const char c : text.substr(separator + 1)) {
        const std::int8_t value = Bech32Values[static_cast<unsigned char>(Lower(c))];
        if (value < 0) {
            Wipe(checked);
            return std::nullopt;
        }
        checked.push_back(static_cast<std::uint8_t>(value));
    }
    if (PolyMod(checked) != 1) {
        Wipe(checked);
        return std::nullopt;
    }
    const std::size_t groups = checked.size() - start - 6;
    out.Data.reserve(groups * 5 / 8);
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < groups; ++i) {
        bits = (bits << 5) | checked[start + i];
        count += 5;
        if (count >= 8) {
            count -= 8;
            out.Data.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    Wipe(checked);
    // Whatever is left is padding: fewer than 5 bits, all zero.
    const bool padding = count < 5 && (bits & ((1u << count) - 1)) == 0;
    if (!padding) {
        Wipe(out.Data);
        return std::nullopt;
    }
    return out;
}

} // namespace ciphra::age
