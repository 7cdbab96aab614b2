// The vector decryption paths leave no key material behind on the stack:
// not the byte S-boxes the GFNI path derives from the context, nor round
// keys it may spill, nor the context's own tables.

#include "crypto/cpu_features.h"
#include "crypto/twofish.h"
#include "crypto/twofish_avx2.h"
#include "crypto/twofish_gfni.h"
#include "reliability/memory_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

#if defined(__x86_64__) || defined(__i386__)

using Decrypt = std::size_t (*)(ciphra::TTwofishContext&, const std::uint8_t*, std::uint8_t*,
                                std::size_t) noexcept;

ciphra::TTwofishContext& Context()
{
    // Static storage: outside the stack that is searched.
    static ciphra::TTwofishContext ctx = [] {
        ciphra::TTwofishContext c;
        const std::uint8_t key[24] = {0x91, 0x3C, 0x5E, 0x07, 0xA2, 0x6B, 0xD4, 0x18,
                                      0xF0, 0x2D, 0x77, 0xC9, 0x35, 0x8E, 0x41, 0xBA,
                                      0x66, 0x0F, 0xE3, 0x59, 0x12, 0xAD, 0x84, 0x7C};
        ciphra::TwofishSetKey(c, key, sizeof key, nullptr);
        return c;
    }();
    return ctx;
}

void AddMarkers()
{
    static bool added = false;
    if (added) {
        return;
    }
    added = true;
    const ciphra::TTwofishContext& ctx = Context();
    std::uint8_t box[20];
    for (unsigned x = 0; x < sizeof box; ++x) {
        box[x] = static_cast<std::uint8_t>(ctx.KeyedSBoxes[100 + x]);
    }
    ciphra::test::AddSecretMarker("byte S-box 0", box, sizeof box);
    std::uint32_t broadcast[5];
    for (auto& word : broadcast) {
        word = ctx.RoundKeys[20];
    }
    ciphra::test::AddSecretMarker("a round key repeated", broadcast, sizeof broadcast);
    ciphra::test::AddSecretMarker("round keys", ctx.RoundKeys + 8, 20);
    ciphra::test::AddSecretMarker("keyed S-boxes", ctx.KeyedSBoxes + 300, 20);
}

TEST(TwofishWipe, VectorDecryptionLeavesNoKeyMaterialOnTheStack)
{
    struct Path {
        const char* name;
        bool present;
        Decrypt decrypt;
    };
    const ciphra::CpuFeatures detected = ciphra::DetectedCpuFeatures();
    const Path paths[] = {
        {"avx2", detected.Avx2, ciphra::twofish_detail::CbcDecryptBlocksAvx2},
        {"gfni", detected.Gfni, ciphra::twofish_detail::CbcDecryptBlocksGfni},
    };
    AddMarkers();
    static std::vector<std::uint8_t> buffer(16 * 200, 0x5A);
    int tested = 0;
    for (const Path& path : paths) {
        if (!path.present) {
            continue;
        }
        ++tested;
        EXPECT_EQ(ciphra::test::SecretsLeftBehind(
                      [&] { path.decrypt(Context(), buffer.data(), buffer.data(), 200); }),
                  "")
            << path.name;
    }
    if (tested == 0) {
        GTEST_SKIP() << "no vector decryption on this CPU";
    }
}

#endif

} // namespace
