// Twofish engine: key handling, chaining modes and wiping.

#include "core/crypto/twofish.h"
#include "core/error.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

namespace {

using ciphra::TwofishContext;
using ciphra::test::AllZero;
using ciphra::test::FromHex;
using ciphra::test::ToHex;

// Zero-initialised, so that whole contexts compare equal byte for byte.
TwofishContext Keyed(const std::vector<std::uint8_t>& key)
{
    TwofishContext ctx{};
    ciphra::TwofishSetKey(ctx, key.data(), static_cast<std::int32_t>(key.size()), nullptr);
    ciphra::TwofishDeriveStartVector(ctx);
    return ctx;
}

std::vector<std::uint8_t> Pattern(std::size_t n, unsigned seed = 1)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        v[i] = static_cast<std::uint8_t>(i * 131 + seed * 17 + (i >> 8));
    }
    return v;
}

TEST(Twofish, ZeroKeyGivesPublishedFirstRoundKey)
{
    const TwofishContext ctx = Keyed(std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(ctx.RoundKeys[0], 0x52C54DDEU);
}

TEST(Twofish, KeyLengthSelectsKeySize)
{
    struct Case {
        std::int32_t length;
        std::uint32_t bits;
    };
    for (const Case c : {Case{1, 128}, Case{16, 128}, Case{17, 192}, Case{20, 192}, Case{24, 192},
                         Case{25, 256}, Case{32, 256}}) {
        SCOPED_TRACE(c.length);
        const auto key = Pattern(32);
        TwofishContext ctx;
        ciphra::TwofishSetKey(ctx, key.data(), c.length, nullptr);
        EXPECT_EQ(ctx.KeyBits, c.bits);
    }
}

TEST(Twofish, ShortKeysArePaddedWithZeros)
{
    for (const std::size_t length : {1U, 5U, 16U, 17U, 20U, 24U, 25U, 31U}) {
        SCOPED_TRACE(length);
        const auto key = Pattern(length, 3);
        auto padded = key;
        padded.resize(length <= 16 ? 16 : (length <= 24 ? 24 : 32), 0);
        const TwofishContext a = Keyed(key);
        const TwofishContext b = Keyed(padded);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    }
}

TEST(Twofish, BadKeyLengthThrowsAndLeavesContextAlone)
{
    const auto key = Pattern(40);
    for (const std::int32_t length : {0, -1, -32, 33, 1000}) {
        SCOPED_TRACE(length);
        TwofishContext ctx = Keyed(Pattern(16, 9));
        const TwofishContext before = ctx;
        try {
            ciphra::TwofishSetKey(ctx, key.data(), length, key.data());
            FAIL() << "no exception";
        } catch (const ciphra::Exception& e) {
            EXPECT_STREQ(e.what(), "Key (password) has to be between 1 and 32 bytes.\r"
                                   "If you want to use a longer password please check\r"
                                   "\"Use Hash of password\" in the password dialog.");
        }
        EXPECT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0);
    }
}

TEST(Twofish, StartVectorArgumentFillsBothVectors)
{
    const auto key = Pattern(16);
    const auto iv = Pattern(16, 5);
    TwofishContext ctx;
    std::memset(&ctx, 0xAB, sizeof ctx);
    ciphra::TwofishSetKey(ctx, key.data(), 16, iv.data());
    EXPECT_EQ(ToHex(ctx.StartVector, 16), ToHex(iv));
    EXPECT_EQ(ToHex(ctx.ChainVector, 16), ToHex(iv));
    ciphra::TwofishSetKey(ctx, key.data(), 16, nullptr);
    EXPECT_EQ(ToHex(ctx.StartVector, 16), std::string(32, '0'));
    EXPECT_EQ(ToHex(ctx.ChainVector, 16), std::string(32, '0'));
}

TEST(Twofish, DerivedStartVectorIsEncryptionOfZeroBlock)
{
    const TwofishContext ctx = Keyed(std::vector<std::uint8_t>(16, 0));
    EXPECT_EQ(ToHex(ctx.StartVector, 16), "9f589f5cf6122c32b6bfec2f2ae8c35a");
    EXPECT_EQ(ToHex(ctx.ChainVector, 16), "9f589f5cf6122c32b6bfec2f2ae8c35a");
}

TEST(Twofish, RekeyingWithShorterKeyMatchesFreshContext)
{
    TwofishContext reused = Keyed(Pattern(32, 2));
    const auto key = Pattern(16, 4);
    ciphra::TwofishSetKey(reused, key.data(), 16, nullptr);
    ciphra::TwofishDeriveStartVector(reused);
    const TwofishContext fresh = Keyed(key);
    std::uint8_t a[16];
    std::uint8_t b[16];
    const auto block = Pattern(16, 8);
    ciphra::TwofishEncryptBlock(reused, block.data(), a);
    ciphra::TwofishEncryptBlock(fresh, block.data(), b);
    EXPECT_EQ(ToHex(a, 16), ToHex(b, 16));
}

// CBC over a run of blocks equals the one-block operation block by block,
// in place or not, for every run length around the two-, eight-, 32- and
// 128-block groupings.
TEST(TwofishCbc, RunsEqualSingleBlocks)
{
    for (const std::size_t blocks :
         {0U, 1U, 2U, 3U, 4U, 7U, 8U, 9U, 17U, 31U, 32U, 33U, 64U, 170U}) {
        SCOPED_TRACE(blocks);
        const auto plain = Pattern(16 * blocks, static_cast<unsigned>(blocks));
        TwofishContext one = Keyed(Pattern(24));
        TwofishContext run = one;

        std::vector<std::uint8_t> expected(plain.size());
        for (std::size_t i = 0; i < blocks; ++i) {
            ciphra::TwofishCBCEncryptBlock(one, plain.data() + 16 * i, expected.data() + 16 * i);
        }
        std::vector<std::uint8_t> cipher = plain;
        ciphra::TwofishCBCEncryptBlocks(run, cipher.data(), cipher.data(), blocks);
        EXPECT_EQ(ToHex(cipher), ToHex(expected));
        EXPECT_EQ(ToHex(run.ChainVector, 16), ToHex(one.ChainVector, 16));

        ciphra::TwofishRestartChain(one);
        ciphra::TwofishRestartChain(run);
        std::vector<std::uint8_t> back(plain.size());
        for (std::size_t i = 0; i < blocks; ++i) {
            ciphra::TwofishCBCDecryptBlock(one, cipher.data() + 16 * i, back.data() + 16 * i);
        }
        EXPECT_EQ(ToHex(back), ToHex(plain));
        ciphra::TwofishCBCDecryptBlocks(run, cipher.data(), cipher.data(), blocks);
        EXPECT_EQ(ToHex(cipher), ToHex(plain));
        EXPECT_EQ(ToHex(run.ChainVector, 16), ToHex(one.ChainVector, 16));
    }
}

TEST(TwofishCbc, FirstBlockIsEncryptionOfPlainXorChain)
{
    TwofishContext ctx = Keyed(Pattern(32));
    const auto plain = Pattern(16, 6);
    std::uint8_t mixed[16];
    for (int i = 0; i < 16; ++i) {
        mixed[i] = static_cast<std::uint8_t>(plain[i] ^ ctx.StartVector[i]);
    }
    std::uint8_t expected[16];
    ciphra::TwofishEncryptBlock(ctx, mixed, expected);
    std::uint8_t out[16];
    ciphra::TwofishCBCEncryptBlock(ctx, plain.data(), out);
    EXPECT_EQ(ToHex(out, 16), ToHex(expected, 16));
    EXPECT_EQ(ToHex(ctx.ChainVector, 16), ToHex(out, 16));

    // Decrypting in place leaves the ciphertext as the next chain value.
    ciphra::TwofishRestartChain(ctx);
    ciphra::TwofishCBCDecryptBlock(ctx, out, out);
    EXPECT_EQ(ToHex(out, 16), ToHex(plain));
    EXPECT_EQ(ToHex(ctx.ChainVector, 16), ToHex(expected, 16));
}

TEST(TwofishCfb8, ZeroOrNegativeLengthChangesNothing)
{
    TwofishContext ctx = Keyed(Pattern(16));
    const TwofishContext before = ctx;
    std::uint8_t byte = 0x5A;
    ciphra::TwofishCFB8Encrypt(ctx, &byte, &byte, 0);
    ciphra::TwofishCFB8Decrypt(ctx, &byte, &byte, -3);
    EXPECT_EQ(byte, 0x5A);
    EXPECT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0);
}

TEST(TwofishCfb8, FirstByteUsesEncryptedRegister)
{
    TwofishContext ctx = Keyed(Pattern(20));
    std::uint8_t keystream[16];
    ciphra::TwofishEncryptBlock(ctx, ctx.ChainVector, keystream);
    const std::uint8_t plain = 0x41;
    std::uint8_t cipher = 0;
    const std::uint8_t oldRegister1 = ctx.ChainVector[1];
    ciphra::TwofishCFB8Encrypt(ctx, &plain, &cipher, 1);
    EXPECT_EQ(cipher, plain ^ keystream[0]);
    EXPECT_EQ(ctx.ChainVector[0], oldRegister1);
    EXPECT_EQ(ctx.ChainVector[15], cipher);
}

// Any split of a CFB-8 stream into calls gives the one-call result, and
// decryption in place or not gives the input back.
TEST(TwofishCfb8, SplitsAndInPlaceAgree)
{
    const auto plain = Pattern(100, 7);
    TwofishContext whole = Keyed(Pattern(32, 1));
    std::vector<std::uint8_t> expected(plain.size());
    ciphra::TwofishCFB8Encrypt(whole, plain.data(), expected.data(), 100);

    for (const std::int32_t split : {1, 15, 16, 17, 50, 99}) {
        SCOPED_TRACE(split);
        TwofishContext ctx = Keyed(Pattern(32, 1));
        std::vector<std::uint8_t> data = plain;
        ciphra::TwofishCFB8Encrypt(ctx, data.data(), data.data(), split);
        ciphra::TwofishCFB8Encrypt(ctx, data.data() + split, data.data() + split, 100 - split);
        EXPECT_EQ(ToHex(data), ToHex(expected));
        EXPECT_EQ(ToHex(ctx.ChainVector, 16), ToHex(expected.data() + 84, 16));

        ciphra::TwofishRestartChain(ctx);
        std::vector<std::uint8_t> copy(plain.size());
        ciphra::TwofishCFB8Decrypt(ctx, data.data(), copy.data(), split);
        ciphra::TwofishCFB8Decrypt(ctx, data.data() + split, copy.data() + split, 100 - split);
        EXPECT_EQ(ToHex(copy), ToHex(plain));

        ciphra::TwofishRestartChain(ctx);
        ciphra::TwofishCFB8Decrypt(ctx, data.data(), data.data(), 100);
        EXPECT_EQ(ToHex(data), ToHex(plain));
    }
}

TEST(Twofish, WipeZeroesEveryByte)
{
    TwofishContext ctx = Keyed(Pattern(32));
    ASSERT_FALSE(AllZero(ctx));
    ciphra::TwofishWipe(ctx);
    EXPECT_TRUE(AllZero(ctx));
}

TEST(Twofish, PublishedVectorsWithFullKeys)
{
    struct Case {
        const char* key;
        const char* cipher;
    };
    for (const Case c :
         {Case{"00000000000000000000000000000000", "9f589f5cf6122c32b6bfec2f2ae8c35a"},
          Case{"0123456789ABCDEFFEDCBA98765432100011223344556677",
               "cfd1d2e5a9be9cdf501f13b892bd2248"},
          Case{"0123456789ABCDEFFEDCBA987654321000112233445566778899AABBCCDDEEFF",
               "37527be0052334b89f0cfccae87cfa20"}}) {
        SCOPED_TRACE(c.key);
        const TwofishContext ctx = Keyed(FromHex(c.key));
        std::uint8_t block[16] = {};
        ciphra::TwofishEncryptBlock(ctx, block, block);
        EXPECT_EQ(ToHex(block, 16), c.cipher);
        ciphra::TwofishDecryptBlock(ctx, block, block);
        EXPECT_EQ(ToHex(block, 16), std::string(32, '0'));
    }
}

} // namespace
