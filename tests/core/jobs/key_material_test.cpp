#include "core/jobs/key_material.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "core/crypto/sha1.h"

namespace ciphra {
namespace {

TEST(KeyMaterial, DigestOrPasswordBytes)
{
    const std::string longPassword(40, 'p');
    const struct {
        std::string Password;
        bool UseDigest;
        std::int32_t Length;
    } cases[] = {
        {"secret", true, 20},
        {"", true, 20},
        {"secret", false, 6},
        {"pässwörd", false, 10},
        {std::string(32, 'x'), false, 32},
        {longPassword, false, 40}, // kept at 40 so that key setup refuses it
        {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Password);
        KeyMaterial key;
        MakeKeyMaterial(c.Password, c.UseDigest, key);
        EXPECT_EQ(key.Length, c.Length);
        if (c.UseDigest) {
            std::uint8_t digest[Sha1DigestSize];
            Sha1OfText(c.Password, digest);
            EXPECT_EQ(std::memcmp(key.Bytes, digest, Sha1DigestSize), 0);
        } else {
            const std::size_t kept = std::min<std::size_t>(c.Password.size(), 32);
            EXPECT_EQ(std::memcmp(key.Bytes, c.Password.data(), kept), 0);
        }
    }
}

TEST(KeyMaterial, ShorterMaterialLeavesNoOldBytes)
{
    KeyMaterial key;
    MakeKeyMaterial(std::string(32, 'x'), false, key);
    MakeKeyMaterial("ab", false, key);
    for (std::size_t i = 2; i < sizeof key.Bytes; ++i) {
        EXPECT_EQ(key.Bytes[i], 0) << i;
    }
}

} // namespace
} // namespace ciphra
