// Twofish key setup and single-block encryption and decryption.

#include "crypto/twofish.h"

#include "crypto/exception.h"
#include "crypto/twofish_core.h"
#include "crypto/twofish_tables.h"
#include "crypto/wipe.h"

#include <cstring>

namespace ciphra {

using namespace twofish_detail;

namespace {

std::uint8_t ByteOf(std::uint32_t word, unsigned index) noexcept
{
    return static_cast<std::uint8_t>(word >> (8 * index));
}

// GF(2^8) multiplication modulo x^8+x^6+x^3+x^2+1, the field of the RS code.
std::uint8_t RsMultiply(std::uint8_t a, std::uint8_t b) noexcept
{
    unsigned product = 0;
    unsigned x = a;
    for (unsigned bits = b; bits != 0; bits >>= 1) {
        if (bits & 1) {
            product ^= x;
        }
        x <<= 1;
        if (x & 0x100) {
            x ^= 0x14D;
        }
    }
    return static_cast<std::uint8_t>(product);
}

constexpr std::uint8_t RsMatrix[4][8] = {
    {0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
    {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
    {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
    {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03},
};

// RS encoding of one 8-byte key piece into an S-box key word.
std::uint32_t RsEncode(const std::uint8_t piece[8]) noexcept
{
    std::uint32_t word = 0;
    for (unsigned row = 0; row < 4; ++row) {
        std::uint8_t s = 0;
        for (unsigned col = 0; col < 8; ++col) {
            s ^= RsMultiply(RsMatrix[row][col], piece[col]);
        }
        word |= static_cast<std::uint32_t>(s) << (8 * row);
    }
    return word;
}

// Byte `x` at position `pos` of h's argument, taken through every key stage
// of h with the k words of `list`; the final q stage is in TwofishTables.
std::uint8_t HChain(unsigned pos, std::uint8_t x, const std::uint32_t* list, unsigned k) noexcept
{
    if (k == 4) {
        x = static_cast<std::uint8_t>((pos == 0 || pos == 3 ? Q1 : Q0)[x] ^ ByteOf(list[3], pos));
    }
    if (k >= 3) {
        x = static_cast<std::uint8_t>((pos <= 1 ? Q1 : Q0)[x] ^ ByteOf(list[2], pos));
    }
    const ByteTable& first = (pos & 1) ? Q1 : Q0;
    const ByteTable& second = (pos <= 1) ? Q0 : Q1;
    x = static_cast<std::uint8_t>(first[x] ^ ByteOf(list[1], pos));
    return static_cast<std::uint8_t>(second[x] ^ ByteOf(list[0], pos));
}

// h of the word whose four bytes all equal `x`.
std::uint32_t HOfRepeatedByte(std::uint8_t x, const std::uint32_t* list, unsigned k) noexcept
{
    std::uint32_t result = 0;
    for (unsigned pos = 0; pos < 4; ++pos) {
        result ^= TwofishTables[pos][HChain(pos, x, list, k)];
    }
    return result;
}

} // namespace

const char* TwofishKeyLengthMessage() noexcept
{
#ifdef CIPHRA_STUB_BUILD
    return "Key length must be between 1 and 32 bytes";
#else
    return "Key (password) has to be between 1 and 32 bytes.\r"
           "If you want to use a longer password please check\r"
           "\"Use Hash of password\" in the password dialog.";
#endif
}

void TwofishSetKey(TTwofishContext& ctx, const void* key, std::int32_t length,
                   const void* startVector)
{
    if (length <= 0 || length > 32) {
        throw Exception(TwofishKeyLengthMessage());
    }

    if (startVector != nullptr) {
        std::memcpy(ctx.StartVector, startVector, TwofishBlockSize);
        std::memcpy(ctx.ChainVector, startVector, TwofishBlockSize);
    } else {
        std::memset(ctx.StartVector, 0, TwofishBlockSize);
        std::memset(ctx.ChainVector, 0, TwofishBlockSize);
    }

    struct {
        std::uint8_t bytes[32];
        std::uint32_t even[4];
        std::uint32_t odd[4];
    } material{};
    std::memcpy(material.bytes, key, static_cast<std::size_t>(length));

    ctx.KeyBits = length <= 16 ? 128U : (length <= 24 ? 192U : 256U);
    const unsigned k = ctx.KeyBits / 64;

    for (unsigned i = 0; i < k; ++i) {
        material.even[i] = LoadLE32(material.bytes + 8 * i);
        material.odd[i] = LoadLE32(material.bytes + 8 * i + 4);
        ctx.SBoxKeys[k - 1 - i] = RsEncode(material.bytes + 8 * i);
    }

    for (unsigned i = 0; i < 20; ++i) {
        const std::uint32_t a = HOfRepeatedByte(static_cast<std::uint8_t>(2 * i), material.even, k);
        const std::uint32_t b =
            std::rotl(HOfRepeatedByte(static_cast<std::uint8_t>(2 * i + 1), material.odd, k), 8);
        ctx.RoundKeys[2 * i] = a + b;
        ctx.RoundKeys[2 * i + 1] = std::rotl(a + 2 * b, 9);
    }

    for (unsigned pos = 0; pos < 4; ++pos) {
        for (unsigned x = 0; x < 256; ++x) {
            ctx.KeyedSBoxes[256 * pos + x] =
                TwofishTables[pos][HChain(pos, static_cast<std::uint8_t>(x), ctx.SBoxKeys, k)];
        }
    }

    SecureWipeObject(material);
}

void TwofishEncryptBlock(const TTwofishContext& ctx, const void* in, void* out) noexcept
{
    StoreBlock(out, EncryptWords(ctx, LoadBlock(in)));
}

void TwofishDecryptBlock(const TTwofishContext& ctx, const void* in, void* out) noexcept
{
    StoreBlock(out, DecryptWords(ctx, LoadBlock(in)));
}

} // namespace ciphra
