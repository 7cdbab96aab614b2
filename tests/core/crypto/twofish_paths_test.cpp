// The vector paths against the portable code, called
// directly, plus a check that CIPHRA_CPU_FEATURES really forces a path (the
// whole suite also runs once per forced path).

#include "core/crypto/code_paths.h"
#include "core/crypto/cpu_features.h"
#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"
#include "core/crypto/twofish_avx2.h"
#include "core/crypto/twofish_avx512.h"
#include "core/crypto/twofish_gfni.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using ciphra::test::Noise;
using ciphra::test::ToHex;

TEST(CpuPaths, EnvironmentForcesPath)
{
    const char* setting = std::getenv("CIPHRA_CPU_FEATURES");
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    const ciphra::CpuFeatures& active = ciphra::ActiveCpuFeatures();
    if (setting == nullptr) {
        EXPECT_EQ(active.Avx2, detected.Avx2);
        EXPECT_EQ(active.Sha, detected.Sha);
        EXPECT_EQ(active.Avx512, detected.Avx512);
        EXPECT_EQ(active.Gfni, detected.Gfni);
        return;
    }
    const std::string_view forced(setting);
    EXPECT_EQ(active.Avx2, detected.Avx2 && forced == "avx2");
    EXPECT_EQ(active.Sha, detected.Sha && forced == "sha");
    EXPECT_EQ(active.Avx512, detected.Avx512 && forced == "avx512");
    EXPECT_EQ(active.Gfni, detected.Gfni && forced == "gfni");
    if ((forced == "avx2" && !detected.Avx2) || (forced == "sha" && !detected.Sha) ||
        (forced == "avx512" && !detected.Avx512) || (forced == "gfni" && !detected.Gfni)) {
        GTEST_SKIP() << "this CPU lacks " << forced << "; the portable code ran instead";
    }
}

// The paths in use are always ones this process may run; with the paths
// forced by the environment they are the widest allowed (what the per-path
// runs of the suite rely on), else the first-use timing picked them.
TEST(CpuPaths, ChosenPathsAreCandidatesAndForcedOnesAreTheWidest)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    const ciphra::CodePaths& chosen = ciphra::ChosenCodePaths();
    const auto among = [](auto path, const auto* list, int count) {
        return std::find(list, list + count, path) != list + count;
    };
    EXPECT_TRUE(among(chosen.CbcEncrypt, c.CbcEncrypt, c.CbcEncryptCount));
    EXPECT_TRUE(among(chosen.CbcDecrypt, c.CbcDecrypt, c.CbcDecryptCount));
    EXPECT_TRUE(among(chosen.KeySetup, c.KeySetup, c.KeySetupCount));
    EXPECT_TRUE(among(chosen.Sha1, c.Sha1, c.Sha1Count));
    if (std::getenv("CIPHRA_CPU_FEATURES") != nullptr) {
        EXPECT_EQ(chosen.CbcEncrypt, c.CbcEncrypt[c.CbcEncryptCount - 1]);
        EXPECT_EQ(chosen.CbcDecrypt, c.CbcDecrypt[c.CbcDecryptCount - 1]);
        EXPECT_EQ(chosen.KeySetup, c.KeySetup[c.KeySetupCount - 1]);
        EXPECT_EQ(chosen.Sha1, c.Sha1[c.Sha1Count - 1]);
    }
}

// Every candidate path of the key setup, the CBC decryption and SHA-1, forced
// on this thread, gives the portable path's results (the timing may pick any
// of them), and the forcing ends with its scope.
TEST(CpuPaths, EveryCandidatePathGivesThePortableResults)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    const std::vector<std::uint8_t> key = Noise(32, 7);
    const std::vector<std::uint8_t> cipherText = Noise(40 * ciphra::TwofishBlockSize, 8);
    struct Results {
        std::vector<std::uint8_t> plain;
        std::vector<std::uint8_t> cipher;
        std::string digest;
    };
    const auto run = [&](const ciphra::CodePaths& paths) {
        const ciphra::ForcedCodePaths forced(paths);
        ciphra::TwofishContext ctx;
        ciphra::TwofishSetKey(ctx, key.data(), 32, nullptr);
        Results r{cipherText, cipherText, {}};
        ciphra::TwofishCBCDecryptBlocks(ctx, r.plain.data(), r.plain.data(), 40);
        ciphra::TwofishCBCEncryptBlocks(ctx, r.cipher.data(), r.cipher.data(), 40);
        ciphra::Sha1State sha;
        std::uint8_t digest[ciphra::Sha1DigestSize];
        ciphra::Sha1Start(sha);
        ciphra::Sha1Add(sha, cipherText.data(), cipherText.size());
        ciphra::Sha1Finish(sha, digest);
        r.digest = ToHex(digest, sizeof digest);
        return r;
    };
    const Results portable = run(ciphra::CodePaths{});
    const int most = std::max({c.CbcEncryptCount, c.CbcDecryptCount, c.KeySetupCount, c.Sha1Count});
    for (int i = 0; i < most; ++i) {
        ciphra::CodePaths paths;
        paths.CbcEncrypt = c.CbcEncrypt[std::min(i, c.CbcEncryptCount - 1)];
        paths.CbcDecrypt = c.CbcDecrypt[std::min(i, c.CbcDecryptCount - 1)];
        paths.KeySetup = c.KeySetup[std::min(i, c.KeySetupCount - 1)];
        paths.Sha1 = c.Sha1[std::min(i, c.Sha1Count - 1)];
        SCOPED_TRACE(i);
        const Results r = run(paths);
        EXPECT_EQ(r.plain, portable.plain);
        EXPECT_EQ(r.cipher, portable.cipher);
        EXPECT_EQ(r.digest, portable.digest);
    }
    EXPECT_EQ(&ciphra::CurrentCodePaths(), &ciphra::ChosenCodePaths());
}

// Each CBC encryption path equals the portable one for every key length the
// callers use, for runs split anywhere (the chain carries over between
// calls), in place and out of place at an odd address.
TEST(CpuPaths, EveryCbcEncryptPathMatchesPortable)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    const std::vector<std::uint8_t> plain = Noise(37 * ciphra::TwofishBlockSize, 11);
    const auto encrypt = [&](ciphra::CbcEncryptPath path, std::int32_t keyBytes, std::size_t split,
                             bool inPlace) {
        ciphra::CodePaths paths;
        paths.CbcEncrypt = path;
        const ciphra::ForcedCodePaths forced(paths);
        ciphra::TwofishContext ctx;
        const std::vector<std::uint8_t> key = Noise(keyBytes, 12);
        ciphra::TwofishSetKey(ctx, key.data(), keyBytes, nullptr);
        ciphra::TwofishDeriveStartVector(ctx);
        std::vector<std::uint8_t> out(plain.size() + 1);
        std::uint8_t* at = out.data() + 1;
        const std::uint8_t* from = plain.data();
        if (inPlace) {
            std::copy(plain.begin(), plain.end(), at);
            from = at;
        }
        const std::size_t blocks = plain.size() / ciphra::TwofishBlockSize;
        ciphra::TwofishCBCEncryptBlocks(ctx, from, at, split);
        const std::size_t done = split * ciphra::TwofishBlockSize;
        ciphra::TwofishCBCEncryptBlocks(ctx, from + done, at + done, blocks - split);
        out.insert(out.end(), ctx.ChainVector, ctx.ChainVector + ciphra::TwofishBlockSize);
        return out;
    };
    for (int i = 1; i < c.CbcEncryptCount; ++i) {
        for (const std::int32_t keyBytes : {16, 20, 24, 32}) {
            for (const std::size_t split : {0, 1, 36}) {
                for (const bool inPlace : {false, true}) {
                    SCOPED_TRACE(testing::Message() << i << " key " << keyBytes << " split "
                                                    << split << " in place " << inPlace);
                    EXPECT_EQ(encrypt(c.CbcEncrypt[i], keyBytes, split, inPlace),
                              encrypt(ciphra::CbcEncryptPath::Portable, keyBytes, split, inPlace));
                }
            }
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)

// Vector CBC decryption equals block-by-block scalar decryption for every
// key size and run length around the pass size, in place and at an odd
// address, and leaves the same chain.
TEST(CpuPaths, VectorCbcDecryptMatchesScalar)
{
    using Decrypt = std::size_t (*)(ciphra::TwofishContext&, const std::uint8_t*, std::uint8_t*,
                                    std::size_t) noexcept;
    struct Path {
        const char* name;
        bool present;
        Decrypt decrypt;
        std::size_t pass;
    };
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    const Path paths[] = {
        {"avx2", detected.Avx2, ciphra::twofish_detail::CbcDecryptBlocksAvx2, 8},
        {"gfni", detected.Gfni, ciphra::twofish_detail::CbcDecryptBlocksGfni,
         ciphra::twofish_detail::GfniPassBlocks},
    };
    int tested = 0;
    for (const Path& path : paths) {
        if (!path.present) {
            continue;
        }
        ++tested;
        for (const std::int32_t keyBytes : {16, 24, 32}) {
            for (const std::size_t blocks :
                 {path.pass - 1, path.pass, 2 * path.pass - 1, 2 * path.pass, 5 * path.pass + 3}) {
                SCOPED_TRACE(testing::Message() << path.name << ", " << keyBytes << " key bytes, "
                                                << blocks << " blocks");
                const auto key = Noise(32, static_cast<std::uint32_t>(keyBytes));
                ciphra::TwofishContext scalar;
                ciphra::TwofishSetKey(scalar, key.data(), keyBytes, nullptr);
                ciphra::TwofishDeriveStartVector(scalar);
                ciphra::TwofishContext vector = scalar;

                const auto cipher = Noise(16 * blocks, static_cast<std::uint32_t>(blocks));
                std::vector<std::uint8_t> expected(cipher.size());
                for (std::size_t i = 0; i < blocks; ++i) {
                    ciphra::TwofishCBCDecryptBlock(scalar, cipher.data() + 16 * i,
                                                   expected.data() + 16 * i);
                }
                const std::size_t whole = blocks / path.pass * path.pass;
                const std::string chain = whole == 0 ? ToHex(vector.StartVector, 16)
                                                     : ToHex(cipher.data() + 16 * whole - 16, 16);

                std::vector<std::uint8_t> inPlace = cipher;
                EXPECT_EQ(path.decrypt(vector, inPlace.data(), inPlace.data(), blocks), whole);
                EXPECT_EQ(ToHex(inPlace.data(), 16 * whole), ToHex(expected.data(), 16 * whole));
                EXPECT_EQ(ToHex(inPlace.data() + 16 * whole, 16 * (blocks - whole)),
                          ToHex(cipher.data() + 16 * whole, 16 * (blocks - whole)));
                EXPECT_EQ(ToHex(vector.ChainVector, 16), chain);

                ciphra::TwofishRestartChain(vector);
                std::vector<std::uint8_t> odd(cipher.size() + 1);
                path.decrypt(vector, cipher.data(), odd.data() + 1, blocks);
                EXPECT_EQ(ToHex(odd.data() + 1, 16 * whole), ToHex(expected.data(), 16 * whole));
                ciphra::TwofishWipe(scalar);
                ciphra::TwofishWipe(vector);
            }
        }
    }
    if (tested == 0) {
        GTEST_SKIP() << "no vector decryption on this CPU";
    }
}

// The vector key schedules rebuild exactly the round keys and S-boxes the
// key setup of this process made (the portable one when the suite runs with
// CIPHRA_CPU_FEATURES=portable), for every key length.
TEST(CpuPaths, VectorKeySchedulesMatchKeySetup)
{
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    if (!detected.Avx2 && !detected.Avx512) {
        GTEST_SKIP() << "no AVX2 or AVX-512";
    }
    for (std::int32_t length = 1; length <= 32; ++length) {
        SCOPED_TRACE(length);
        const auto key = Noise(32, static_cast<std::uint32_t>(length) * 77);
        ciphra::TwofishContext expected;
        ciphra::TwofishSetKey(expected, key.data(), length, nullptr);

        // The key's even and odd words, zero-padded as the key setup pads it.
        std::uint8_t padded[32] = {};
        std::copy(key.begin(), key.begin() + length, padded);
        std::uint32_t even[4];
        std::uint32_t odd[4];
        for (int i = 0; i < 4; ++i) {
            std::memcpy(&even[i], padded + 8 * i, 4);
            std::memcpy(&odd[i], padded + 8 * i + 4, 4);
        }
        const auto check = [&](const char* path, auto schedule) {
            ciphra::TwofishContext rebuilt = expected;
            std::fill(std::begin(rebuilt.RoundKeys), std::end(rebuilt.RoundKeys), 0U);
            std::fill(std::begin(rebuilt.KeyedSBoxes), std::end(rebuilt.KeyedSBoxes), 0U);
            schedule(rebuilt);
            EXPECT_EQ(0,
                      std::memcmp(rebuilt.RoundKeys, expected.RoundKeys, sizeof rebuilt.RoundKeys))
                << path;
            EXPECT_EQ(0, std::memcmp(rebuilt.KeyedSBoxes, expected.KeyedSBoxes,
                                     sizeof rebuilt.KeyedSBoxes))
                << path;
        };
        if (detected.Avx2) {
            check("avx2", [&](ciphra::TwofishContext& ctx) {
                ciphra::twofish_detail::RoundKeysAvx2(ctx, even, odd);
                ciphra::twofish_detail::BuildKeyedSBoxesAvx2(ctx);
            });
        }
        if (detected.Avx512) {
            check("avx512", [&](ciphra::TwofishContext& ctx) {
                ciphra::twofish_detail::ScheduleAvx512(ctx, even, odd);
            });
        }
        ciphra::TwofishWipe(expected);
    }
}

#endif

} // namespace
