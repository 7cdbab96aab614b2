// Base64: RFC 4648 vectors and the lenient decoder's rules.

#include "core/crypto/base64.h"
#include "core/error.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ciphra::Base64DecodeText;
using ciphra::Base64EncodeText;

TEST(Base64, Rfc4648Vectors)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, text] : cases) {
        EXPECT_EQ(Base64EncodeText(plain), text);
        EXPECT_EQ(Base64DecodeText(text), plain);
    }
}

TEST(Base64, AllByteValuesRoundTrip)
{
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    for (std::size_t cut = 0; cut < 3; ++cut) {
        const std::string part = bytes.substr(cut);
        const std::string text = Base64EncodeText(part);
        EXPECT_EQ(text.size(), 4 * ((part.size() + 2) / 3));
        EXPECT_EQ(text.find_first_of("\r\n "), std::string::npos);
        EXPECT_EQ(Base64DecodeText(text), part);
    }
}

TEST(Base64, PaddedTailHasClearLowBits)
{
    // 0xFF and 0xFFFF leave bits over in the last character before "=".
    EXPECT_EQ(Base64EncodeText("\xFF"), "/w==");
    EXPECT_EQ(Base64EncodeText("\xFF\xFF"), "//8=");
}

TEST(Base64, LengthNotMultipleOfFourThrows)
{
    for (const char* text : {"Zm9", "Zm9vY", "Zm9vYm", "Zm9v\r\nYmFy", "="}) {
        SCOPED_TRACE(text);
        try {
            Base64DecodeText(text);
            FAIL() << "no exception";
        } catch (const ciphra::Exception& e) {
            EXPECT_STREQ(e.what(), "Base64: Incorrect string format");
        }
    }
}

TEST(Base64, LenientDecoding)
{
    struct Case {
        std::string text;
        std::string bytes;
    };
    const Case cases[] = {
        // The third character decides a one-byte tail, whatever follows.
        {"Zg=x", "f"},
        {"Zg==", "f"},
        // Characters outside the alphabet, "/" and an early "=" count as 63.
        {"Zm9v\r\nYmFyZg", std::string("foo") + "\xFF\xF6\x26\x17\x26\x60"},
        {"////", "\xFF\xFF\xFF"},
        {"=A==", "\xFC"},
        {"Zm==Zm9v", std::string("fo") + "\xFF" + "foo"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Base64DecodeText(c.text), c.bytes);
    }
}

} // namespace
