// The stub's own build of the engine: same cipher, its short key message.

#include "core/crypto/twofish.h"
#include "core/error.h"
#include "test_util.h"

#include <gtest/gtest.h>

#ifndef CIPHRA_STUB_BUILD
#error "this test must be built against ciphra_crypto_stub"
#endif

namespace {

TEST(TwofishStubBuild, ShortKeyLengthMessage)
{
    ciphra::TwofishContext ctx{};
    const std::uint8_t key[1] = {0};
    for (const std::int32_t length : {0, 33}) {
        try {
            ciphra::TwofishSetKey(ctx, key, length, nullptr);
            FAIL() << "no exception";
        } catch (const ciphra::Exception& e) {
            EXPECT_STREQ(e.what(), "Key length must be between 1 and 32 bytes");
        }
    }
}

TEST(TwofishStubBuild, SameCipherAsMainBuild)
{
    const auto key = ciphra::test::FromHex("0123456789ABCDEFFEDCBA987654321000112233445566778899"
                                           "AABBCCDDEEFF");
    ciphra::TwofishContext ctx;
    ciphra::TwofishSetKey(ctx, key.data(), 32, nullptr);
    ciphra::TwofishDeriveStartVector(ctx);
    EXPECT_EQ(ciphra::test::ToHex(ctx.StartVector, 16), "37527be0052334b89f0cfccae87cfa20");
    std::uint8_t blocks[48] = {};
    ciphra::TwofishCBCEncryptBlocks(ctx, blocks, blocks, 3);
    ciphra::TwofishRestartChain(ctx);
    ciphra::TwofishCBCDecryptBlocks(ctx, blocks, blocks, 3);
    EXPECT_EQ(ciphra::test::ToHex(blocks, 48), std::string(96, '0'));
}

} // namespace
