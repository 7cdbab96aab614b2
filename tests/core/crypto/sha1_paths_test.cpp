// The SHA-1 compression paths for particular CPUs against the portable code,
// called directly (the whole suite also runs once per forced path).

#include "core/crypto/cpu_features.h"
#include "core/crypto/sha1_compress.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string_view>
#include <vector>

namespace {

#if defined(__x86_64__) || defined(__i386__)

using ciphra::test::Noise;
using ciphra::test::ToHex;

using CompressFunction = void (*)(std::uint32_t*, const std::uint8_t*, std::size_t) noexcept;

struct Path {
    const char* name;
    bool available;
    CompressFunction compress;
};

// Each path gives the portable result for every block count (the two-block
// path has odd counts and a last pair to skip; none leaves the state alone), from a state other
// than the initial one, at an odd address, with the input ending exactly at the end of its
// allocation so that a read past it shows under the address sanitizer.
TEST(Sha1Paths, MatchPortable)
{
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    const Path paths[] = {
        {"sha", detected.Sha, ciphra::sha1_detail::CompressShaExtensions},
        {"avx2", detected.Avx2 && detected.Bmi2, ciphra::sha1_detail::CompressAvx2},
    };
    for (const Path& path : paths) {
        if (!path.available) {
            std::cout << "this CPU lacks the " << path.name << " path\n";
            continue;
        }
        for (const std::size_t blocks : {0U, 1U, 2U, 3U, 4U, 5U, 7U, 64U, 101U}) {
            for (const std::size_t offset : {0U, 1U}) {
                SCOPED_TRACE(testing::Message()
                             << path.name << ", " << blocks << " blocks at +" << offset);
                const auto buffer = Noise(offset + 64 * blocks, static_cast<std::uint32_t>(blocks));
                const std::uint8_t* data = buffer.data() + offset;
                std::uint32_t expected[5] = {0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210,
                                             0xF0E1D2C3};
                std::uint32_t actual[5];
                std::copy(std::begin(expected), std::end(expected), std::begin(actual));
                ciphra::sha1_detail::CompressPortable(expected, data, blocks);
                path.compress(actual, data, blocks);
                EXPECT_EQ(ToHex(reinterpret_cast<std::uint8_t*>(actual), 20),
                          ToHex(reinterpret_cast<std::uint8_t*>(expected), 20));
            }
        }
    }
}

// The two-block path needs BMI1 and BMI2 beside AVX2; forcing a path by
// name switches them with AVX2.
TEST(Sha1Paths, BitManipulationFollowsAvx2Setting)
{
    const char* setting = std::getenv("CIPHRA_CPU_FEATURES");
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    const bool allowed = setting == nullptr || std::string_view(setting) == "avx2";
    EXPECT_EQ(ciphra::ActiveCpuFeatures().Bmi2, detected.Bmi2 && allowed);
}

#endif

} // namespace
