#pragma once
// Small helpers shared by the crypto tests.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ciphra::test {

inline std::vector<std::uint8_t> FromHex(std::string_view hex)
{
    std::vector<std::uint8_t> bytes;
    auto nibble = [](char c) -> unsigned {
        if (c >= '0' && c <= '9') {
            return static_cast<unsigned>(c - '0');
        }
        if (c >= 'a' && c <= 'f') {
            return static_cast<unsigned>(c - 'a' + 10);
        }
        return static_cast<unsigned>(c - 'A' + 10);
    };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    }
    return bytes;
}

inline std::string ToHex(const std::uint8_t* data, std::size_t n)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += Digits[data[i] >> 4];
        text += Digits[data[i] & 15];
    }
    return text;
}

inline std::string ToHex(const std::vector<std::uint8_t>& v)
{
    return ToHex(v.data(), v.size());
}

template <typename T> bool AllZero(const T& object)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&object);
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        if (p[i] != 0) {
            return false;
        }
    }
    return true;
}

// Reproducible pseudo-random bytes (a linear congruential generator).
inline std::vector<std::uint8_t> Noise(std::size_t n, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        seed = seed * 1664525U + 1013904223U;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

} // namespace ciphra::test
