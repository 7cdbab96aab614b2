#include "core/jobs/text_cipher.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"

namespace ciphra {
namespace {

// 8-bit cipher feedback written out from its definition: the key is the
// password's SHA-1 digest, the shift register starts as E_K(0^16), each
// output byte is the input byte XOR the first byte of E_K(register), and the
// ciphertext byte is shifted in.
std::string ExpectedCiphertext(std::string_view password, const std::string& plain)
{
    std::uint8_t key[Sha1DigestSize];
    Sha1OfText(password, key);
    TwofishContext ctx;
    TwofishSetKey(ctx, key, static_cast<std::int32_t>(Sha1DigestSize), nullptr);
    std::uint8_t reg[16] = {};
    TwofishEncryptBlock(ctx, reg, reg);
    std::string out = plain;
    for (char& byte : out) {
        std::uint8_t stream[16];
        TwofishEncryptBlock(ctx, reg, stream);
        byte = static_cast<char>(static_cast<std::uint8_t>(byte) ^ stream[0]);
        std::memmove(reg, reg + 1, 15);
        reg[15] = static_cast<std::uint8_t>(byte);
    }
    TwofishWipe(ctx);
    return out;
}

TEST(TextCipher, MatchesTheDefinitionAndRoundTrips)
{
    std::string binary;
    for (int i = 0; i < 600; ++i) {
        binary += static_cast<char>(i * 7);
    }
    const struct {
        const char* Name;
        std::string Password;
        std::string Text;
    } cases[] = {
        {"empty text", "pw", ""},
        {"one character", "pw", "x"},
        {"lines and tabs", "pw", "first line\r\nsecond\tline\r\n"},
        {"UTF-8 password and text", "p\xC3\xA4ss",
         "gr\xC3\xBC\xC3\x9F"
         "e"},
        {"long password", std::string(200, 'q'), "short"},
        {"binary with zero bytes", "pw", binary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string text = c.Text;
        EncryptTextWithPassword(c.Password, text);
        EXPECT_EQ(text, ExpectedCiphertext(c.Password, c.Text));
        DecryptTextWithPassword(c.Password, text);
        EXPECT_EQ(text, c.Text);
    }
}

TEST(TextCipher, ChangingTheLastCharacterChangesOnlyTheLastByte)
{
    std::string a = "The same text, but for its end: A";
    std::string b = "The same text, but for its end: B";
    EncryptTextWithPassword("pw", a);
    EncryptTextWithPassword("pw", b);
    EXPECT_EQ(a.substr(0, a.size() - 1), b.substr(0, b.size() - 1));
    EXPECT_NE(a.back(), b.back());
}

TEST(TextCipher, AWrongPasswordGivesOtherBytesWithoutError)
{
    const std::string plain = "meet at noon";
    std::string text = plain;
    EncryptTextWithPassword("right", text);
    DecryptTextWithPassword("wrong", text);
    EXPECT_EQ(text.size(), plain.size());
    EXPECT_NE(text, plain);
}

} // namespace
} // namespace ciphra
