#include "core/jobs/text_cipher.h"

#include <algorithm>
#include <cstdint>

#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"
#include "core/crypto/wipe.h"

namespace ciphra {

namespace {

// The key and the context live for one operation and are wiped after it.
struct TextRun {
    std::uint8_t Key[Sha1DigestSize];
    TwofishContext Context;

    explicit TextRun(std::string_view password)
    {
        Sha1OfText(password, Key);
        TwofishSetKey(Context, Key, static_cast<std::int32_t>(Sha1DigestSize), nullptr);
        TwofishDeriveStartVector(Context);
    }
    TextRun(const TextRun&) = delete;
    TextRun& operator=(const TextRun&) = delete;
    ~TextRun()
    {
        TwofishWipe(Context);
        SecureWipeObject(Key);
    }
};

using CfbStep = void (*)(TwofishContext&, const void*, void*, std::int32_t) noexcept;

// The CFB-8 calls take a 32-bit count; consecutive calls continue one stream,
// so longer texts go through in pieces.
void RunCfb(std::string_view password, std::string& text, CfbStep step)
{
    TextRun run(password);
    constexpr std::size_t piece = std::size_t{1} << 30;
    for (std::size_t done = 0; done < text.size(); done += piece) {
        const std::size_t n = std::min(piece, text.size() - done);
        step(run.Context, text.data() + done, text.data() + done, static_cast<std::int32_t>(n));
    }
}

} // namespace

void EncryptTextWithPassword(std::string_view password, std::string& text)
{
    RunCfb(password, text, &TwofishCFB8Encrypt);
}

void DecryptTextWithPassword(std::string_view password, std::string& text)
{
    RunCfb(password, text, &TwofishCFB8Decrypt);
}

} // namespace ciphra
