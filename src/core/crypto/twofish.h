#pragma once
// Twofish block cipher (128-bit block; 128-, 192- and 256-bit keys), with
// single blocks, CBC one block (or a run of blocks) at a time, and 8-bit CFB.
//
// Plain procedures over a caller-owned context; nothing here allocates.
// Calling order of a run:
//   TwofishSetKey(ctx, key, len, nullptr);
//   TwofishDeriveStartVector(ctx);        // StartVector = ChainVector = E_K(0^16)
//   ... block, CBC or CFB-8 operations ...
//   TwofishWipe(ctx);
// Input and output may be the same buffer in every operation.

#include <cstddef>
#include <cstdint>

namespace ciphra {

inline constexpr std::size_t TwofishBlockSize = 16;

struct TwofishContext {
    std::uint32_t KeyBits;              // 128, 192 or 256
    std::uint32_t RoundKeys[40];        // K0..K39
    std::uint32_t SBoxKeys[4];          // element 0 is the RS word of the last key piece
    std::uint32_t KeyedSBoxes[4 * 256]; // fully keyed S-boxes with the MDS step folded in
    std::uint8_t StartVector[16];
    std::uint8_t ChainVector[16];
};

// The key-length message of this build: the main program's three-line text,
// or the stub's short one when compiled with CIPHRA_STUB_BUILD.
const char* TwofishKeyLengthMessage() noexcept;

// Key setup. Returns false, leaving the context untouched, when length <= 0
// or length > 32. Keys are padded with zero bytes: 1-16 bytes give a 128-bit
// key, 17-24 192, 25-32 256. With `startVector` (16 bytes) both vectors take
// its bytes, else zero.
bool TwofishTrySetKey(TwofishContext& ctx, const void* key, std::int32_t length,
                      const void* startVector) noexcept;

#if defined(__cpp_exceptions)
// The same, throwing ciphra::Exception(TwofishKeyLengthMessage()) where
// TwofishTrySetKey returns false. Builds without exceptions (the Windows
// stub) have only TwofishTrySetKey.
void TwofishSetKey(TwofishContext& ctx, const void* key, std::int32_t length,
                   const void* startVector);
#endif

// StartVector := ChainVector := encryption of 16 zero bytes.
void TwofishDeriveStartVector(TwofishContext& ctx) noexcept;

void TwofishEncryptBlock(const TwofishContext& ctx, const void* in, void* out) noexcept;
void TwofishDecryptBlock(const TwofishContext& ctx, const void* in, void* out) noexcept;

// out := E(in ^ ChainVector); ChainVector := out.
void TwofishCBCEncryptBlock(TwofishContext& ctx, const void* in, void* out) noexcept;
// out := D(in) ^ ChainVector; ChainVector := in (as it was before the call).
void TwofishCBCDecryptBlock(TwofishContext& ctx, const void* in, void* out) noexcept;

// The same over `blocks` consecutive 16-byte blocks: equal to calling the
// one-block operation on each in order, but free to go faster.
void TwofishCBCEncryptBlocks(TwofishContext& ctx, const void* in, void* out,
                             std::size_t blocks) noexcept;
void TwofishCBCDecryptBlocks(TwofishContext& ctx, const void* in, void* out,
                             std::size_t blocks) noexcept;

#ifndef CIPHRA_STUB_BUILD
// 8-bit cipher feedback over n bytes; ChainVector is the shift register, so
// consecutive calls continue one stream. n <= 0 changes nothing.
void TwofishCFB8Encrypt(TwofishContext& ctx, const void* in, void* out, std::int32_t n) noexcept;
void TwofishCFB8Decrypt(TwofishContext& ctx, const void* in, void* out, std::int32_t n) noexcept;
#endif

// ChainVector := StartVector.
void TwofishRestartChain(TwofishContext& ctx) noexcept;

// Every byte of the context set to zero, in a way the optimiser keeps.
void TwofishWipe(TwofishContext& ctx) noexcept;

} // namespace ciphra
