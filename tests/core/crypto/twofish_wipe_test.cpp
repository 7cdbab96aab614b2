// The vector decryption paths leave no key material behind on the stack:
// not the byte S-boxes the GFNI path derives from the context, nor round
// keys it may spill, nor the context's own tables. The stack wipe clears the
// vector registers too.

#include "core/crypto/cpu_features.h"
#include "core/crypto/twofish.h"
#include "core/crypto/twofish_avx2.h"
#include "core/crypto/twofish_gfni.h"
#include "core/crypto/wipe.h"
#include "support/memory_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

#if defined(__x86_64__) || defined(__i386__)

using Decrypt = std::size_t (*)(ciphra::TwofishContext&, const std::uint8_t*, std::uint8_t*,
                                std::size_t) noexcept;

ciphra::TwofishContext& Context()
{
    // Static storage: outside the stack that is searched.
    static ciphra::TwofishContext ctx = [] {
        ciphra::TwofishContext c;
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
    const ciphra::TwofishContext& ctx = Context();
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

#if defined(__x86_64__)
// Fills every vector register with `fill` bytes, wipes, and copies the
// registers out again: 16 xmm registers, and zmm16-31 (64 bytes each) where
// the processor has them.
struct VectorDump {
    alignas(64) std::uint8_t Low[16][16];
    alignas(64) std::uint8_t High[16][64];
};

#define CIPHRA_EACH_LOW(op)                                                                        \
    op(0) op(1) op(2) op(3) op(4) op(5) op(6) op(7) op(8) op(9) op(10) op(11) op(12) op(13) op(14) \
        op(15)
#define CIPHRA_EACH_HIGH(op)                                                                       \
    op(16) op(17) op(18) op(19) op(20) op(21) op(22) op(23) op(24) op(25) op(26) op(27) op(28)     \
        op(29) op(30) op(31)
#define CIPHRA_FILL_LOW(n) "movdqu (%0), %%xmm" #n "\n\t"
#define CIPHRA_SAVE_LOW(n) "movdqu %%xmm" #n ", " #n "*16(%1)\n\t"
#define CIPHRA_FILL_HIGH(n) "vmovdqu64 (%0), %%zmm" #n "\n\t"
#define CIPHRA_SAVE_HIGH(n) "vmovdqu64 %%zmm" #n ", (" #n "-16)*64(%1)\n\t"

__attribute__((noinline)) void WipeWithXmmFilled(const std::uint8_t* fill, VectorDump& dump)
{
    __asm__ __volatile__(CIPHRA_EACH_LOW(CIPHRA_FILL_LOW) : : "r"(fill), "r"(&dump) : "memory");
    ciphra::SecureWipeStack(256);
    __asm__ __volatile__(CIPHRA_EACH_LOW(CIPHRA_SAVE_LOW) : : "r"(fill), "r"(dump.Low) : "memory");
}

__attribute__((noinline, target("avx512f"))) void WipeWithZmmFilled(const std::uint8_t* fill,
                                                                    VectorDump& dump)
{
    __asm__ __volatile__(CIPHRA_EACH_HIGH(CIPHRA_FILL_HIGH) : : "r"(fill), "r"(&dump) : "memory");
    ciphra::SecureWipeStack(256);
    __asm__ __volatile__(CIPHRA_EACH_HIGH(CIPHRA_SAVE_HIGH)
                         :
                         : "r"(fill), "r"(dump.High)
                         : "memory");
}

bool AllZero(const void* bytes, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    return std::all_of(p, p + size, [](std::uint8_t b) { return b == 0; });
}

TEST(SecureWipeStack, ClearsTheVectorRegisters)
{
    alignas(64) std::uint8_t fill[64];
    std::fill(std::begin(fill), std::end(fill), std::uint8_t{0xA5});
    VectorDump dump{};
    std::memset(&dump, 0xFF, sizeof dump);
    WipeWithXmmFilled(fill, dump);
    EXPECT_TRUE(AllZero(dump.Low, sizeof dump.Low));
    if (__builtin_cpu_supports("avx512f")) {
        WipeWithZmmFilled(fill, dump);
        EXPECT_TRUE(AllZero(dump.High, sizeof dump.High));
    }
}
#endif

#endif

} // namespace
