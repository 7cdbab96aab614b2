#pragma once
// Key material of a run: the password's UTF-8 bytes as typed (1 to 32 bytes),
// or the 20-byte SHA-1 digest of them. Wiped when it goes out of scope.

#include <cstdint>
#include <string_view>

namespace ciphra {

struct KeyMaterial {
    std::uint8_t Bytes[32] = {};
    std::int32_t Length = 0; // may be 0 or > 32 for raw passwords: key setup rejects it

    KeyMaterial() = default;
    KeyMaterial(const KeyMaterial&) = delete;
    KeyMaterial& operator=(const KeyMaterial&) = delete;
    ~KeyMaterial();
};

// useDigest: Sha1OfText(password), 20 bytes. Otherwise the password's bytes;
// a password longer than 32 bytes gives Length = its length (so that
// PrepareCipherRun raises the key-length error) with only 32 bytes kept.
void MakeKeyMaterial(std::string_view password, bool useDigest, KeyMaterial& out);

} // namespace ciphra
