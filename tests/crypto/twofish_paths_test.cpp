// The vector and SHA-extension paths against the portable code, called
// directly, plus a check that CIPHRA_CPU_FEATURES really forces a path (the
// whole suite also runs once per forced path).

#include "crypto/cpu_features.h"
#include "crypto/sha1_compress.h"
#include "crypto/twofish.h"
#include "crypto/twofish_avx2.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

using ciphra::test::ToHex;

std::vector<std::uint8_t> Noise(std::size_t n, std::uint32_t seed)
{
    std::vector<std::uint8_t> bytes(n);
    for (auto& b : bytes) {
        seed = seed * 1664525U + 1013904223U;
        b = static_cast<std::uint8_t>(seed >> 24);
    }
    return bytes;
}

TEST(CpuPaths, EnvironmentForcesPath)
{
    const char* setting = std::getenv("CIPHRA_CPU_FEATURES");
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    const ciphra::CpuFeatures& active = ciphra::ActiveCpuFeatures();
    if (setting == nullptr) {
        EXPECT_EQ(active.Avx2, detected.Avx2);
        EXPECT_EQ(active.Sha, detected.Sha);
        EXPECT_EQ(active.Avx512, detected.Avx512);
        return;
    }
    const std::string_view forced(setting);
    EXPECT_EQ(active.Avx2, detected.Avx2 && forced == "avx2");
    EXPECT_EQ(active.Sha, detected.Sha && forced == "sha");
    EXPECT_EQ(active.Avx512, detected.Avx512 && forced == "avx512");
    if ((forced == "avx2" && !detected.Avx2) || (forced == "sha" && !detected.Sha) ||
        (forced == "avx512" && !detected.Avx512)) {
        GTEST_SKIP() << "this CPU lacks " << forced << "; the portable code ran instead";
    }
}

#if defined(__x86_64__) || defined(__i386__)

// Eight-block vector decryption equals block-by-block scalar decryption for
// every key size, in place and at an odd address, and leaves the same chain.
TEST(CpuPaths, VectorCbcDecryptMatchesScalar)
{
    if (!ciphra::DetectedCpuFeatures().Avx2) {
        GTEST_SKIP() << "no AVX2";
    }
    for (const std::int32_t keyBytes : {16, 24, 32}) {
        for (const std::size_t blocks : {8U, 15U, 16U, 40U}) {
            SCOPED_TRACE(testing::Message() << keyBytes << " key bytes, " << blocks << " blocks");
            const auto key = Noise(32, static_cast<std::uint32_t>(keyBytes));
            ciphra::TTwofishContext scalar;
            ciphra::TwofishSetKey(scalar, key.data(), keyBytes, nullptr);
            ciphra::TwofishDeriveStartVector(scalar);
            ciphra::TTwofishContext vector = scalar;

            const auto cipher = Noise(16 * blocks, static_cast<std::uint32_t>(blocks));
            std::vector<std::uint8_t> expected(cipher.size());
            for (std::size_t i = 0; i < blocks; ++i) {
                ciphra::TwofishCBCDecryptBlock(scalar, cipher.data() + 16 * i,
                                               expected.data() + 16 * i);
            }
            const std::size_t whole = blocks / 8 * 8;

            std::vector<std::uint8_t> inPlace = cipher;
            EXPECT_EQ(ciphra::twofish_detail::CbcDecryptBlocksAvx2(vector, inPlace.data(),
                                                                   inPlace.data(), blocks),
                      whole);
            EXPECT_EQ(ToHex(inPlace.data(), 16 * whole), ToHex(expected.data(), 16 * whole));
            EXPECT_EQ(ToHex(vector.ChainVector, 16), ToHex(cipher.data() + 16 * whole - 16, 16));

            ciphra::TwofishRestartChain(vector);
            std::vector<std::uint8_t> odd(cipher.size() + 1);
            ciphra::twofish_detail::CbcDecryptBlocksAvx2(vector, cipher.data(), odd.data() + 1,
                                                         blocks);
            EXPECT_EQ(ToHex(odd.data() + 1, 16 * whole), ToHex(expected.data(), 16 * whole));
            ciphra::TwofishWipe(scalar);
            ciphra::TwofishWipe(vector);
        }
    }
}

TEST(CpuPaths, ShaExtensionsMatchPortable)
{
    if (!ciphra::DetectedCpuFeatures().Sha) {
        GTEST_SKIP() << "no SHA extensions";
    }
    for (const std::size_t blocks : {1U, 2U, 7U, 100U}) {
        SCOPED_TRACE(blocks);
        const auto data = Noise(64 * blocks, static_cast<std::uint32_t>(blocks) + 7);
        std::uint32_t portable[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
        std::uint32_t extensions[5];
        std::copy(std::begin(portable), std::end(portable), std::begin(extensions));
        ciphra::sha1_detail::CompressPortable(portable, data.data(), blocks);
        ciphra::sha1_detail::CompressShaExtensions(extensions, data.data(), blocks);
        EXPECT_EQ(ToHex(reinterpret_cast<std::uint8_t*>(extensions), 20),
                  ToHex(reinterpret_cast<std::uint8_t*>(portable), 20));
    }
}

#endif

} // namespace
