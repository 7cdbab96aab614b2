// Runs the Twofish known-answer files under vectors/ (vectors/README.md says
// where each comes from). Format: KEYSIZE=, I=, KEY=, PT=, CT= lines; a KEY or
// PT given once holds for the following entries of its section. Each entry is
// checked for encryption, decryption, in place, at an odd address and as a run
// of CBC decryption.

#include "core/crypto/twofish.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using ciphra::test::FromHex;
using ciphra::test::ToHex;

struct Entry {
    int keyBits = 0;
    std::string index;
    std::string key;
    std::string plain;
    std::string cipher;
};

std::vector<Entry> ReadVectorFile(const std::string& name)
{
    std::ifstream in(std::string(CIPHRA_CRYPTO_VECTOR_DIR) + "/" + name);
    EXPECT_TRUE(in.good()) << "cannot open " << name;
    std::vector<Entry> entries;
    Entry current;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        const std::string field = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (field == "KEYSIZE") {
            current = Entry{};
            current.keyBits = std::stoi(value);
        } else if (field == "I") {
            current.index = value;
        } else if (field == "KEY") {
            current.key = value;
        } else if (field == "PT") {
            current.plain = value;
        } else if (field == "CT") {
            current.cipher = value;
            entries.push_back(current);
        }
    }
    return entries;
}

class TwofishKnownAnswer : public testing::TestWithParam<const char*> {};

TEST_P(TwofishKnownAnswer, EveryEntryEncryptsAndDecrypts)
{
    const auto entries = ReadVectorFile(GetParam());
    ASSERT_FALSE(entries.empty());
    for (const Entry& e : entries) {
        SCOPED_TRACE(std::string(GetParam()) + " KEYSIZE=" + std::to_string(e.keyBits) +
                     " I=" + e.index);
        const auto key = FromHex(e.key);
        const auto plain = FromHex(e.plain);
        const auto cipher = FromHex(e.cipher);
        ASSERT_EQ(key.size() * 8, static_cast<std::size_t>(e.keyBits));

        ciphra::TwofishContext ctx;
        ciphra::TwofishSetKey(ctx, key.data(), static_cast<std::int32_t>(key.size()), nullptr);
        EXPECT_EQ(ctx.KeyBits, static_cast<std::uint32_t>(e.keyBits));

        std::uint8_t out[16];
        ciphra::TwofishEncryptBlock(ctx, plain.data(), out);
        EXPECT_EQ(ToHex(out, 16), ToHex(cipher));
        ciphra::TwofishDecryptBlock(ctx, cipher.data(), out);
        EXPECT_EQ(ToHex(out, 16), ToHex(plain));

        // In place, at an address that is not word-aligned.
        std::uint8_t buffer[17];
        std::copy(plain.begin(), plain.end(), buffer + 1);
        ciphra::TwofishEncryptBlock(ctx, buffer + 1, buffer + 1);
        EXPECT_EQ(ToHex(buffer + 1, 16), ToHex(cipher));
        ciphra::TwofishDecryptBlock(ctx, buffer + 1, buffer + 1);
        EXPECT_EQ(ToHex(buffer + 1, 16), ToHex(plain));

        // As a CBC run long enough for every vector pass (32 blocks, then 8,
        // then one): with a zero chain the first block decrypts to PT, every
        // later one to PT ^ CT.
        constexpr std::size_t RunBlocks = 41;
        std::vector<std::uint8_t> run;
        for (std::size_t i = 0; i < RunBlocks; ++i) {
            run.insert(run.end(), cipher.begin(), cipher.end());
        }
        std::vector<std::uint8_t> mixed(16);
        for (std::size_t i = 0; i < 16; ++i) {
            mixed[i] = static_cast<std::uint8_t>(plain[i] ^ cipher[i]);
        }
        ciphra::TwofishCBCDecryptBlocks(ctx, run.data(), run.data(), RunBlocks);
        EXPECT_EQ(ToHex(run.data(), 16), ToHex(plain));
        for (std::size_t i = 1; i < RunBlocks; ++i) {
            ASSERT_EQ(ToHex(run.data() + 16 * i, 16), ToHex(mixed)) << "block " << i;
        }
        EXPECT_EQ(ToHex(ctx.ChainVector, 16), ToHex(cipher));
        ciphra::TwofishWipe(ctx);
    }
}

INSTANTIATE_TEST_SUITE_P(PublishedTables, TwofishKnownAnswer,
                         testing::Values("ECB_TBL.TXT", "ECB_VK.TXT", "ECB_VT.TXT",
                                         "ECB_EXCERPTS.TXT"));

} // namespace
