#pragma once
// The cipher stream's arithmetic on bytes in memory, and the stubs' one-thread
// loop over it, free of any file layer and of exceptions: every stub (the
// Linux one through cipher_stream.h, the Windows one on Win32 files) ciphers
// exactly as the program does. The layout is cipher_stream.h's: one CBC chain
// over all chunks, the tail rule at the end.

#include <cstddef>
#include <cstdint>

#include "core/crypto/twofish.h"

namespace ciphra {

// Bytes per read and write. Larger chunks cost fewer system calls; the
// output does not depend on the size (one CBC chain, tail rule at the end).
inline constexpr std::size_t StreamChunkSize = std::size_t{256} * 1024;

enum class StreamDirection { Encrypt, Decrypt };

// Keys a run: TwofishTrySetKey(ctx, key, length, none) then
// TwofishDeriveStartVector, and wipes what the key setup left on the stack.
// Returns false, leaving `ctx` untouched, when length is outside 1..32.
bool KeyCipherRun(TwofishContext& ctx, const void* keyMaterial, std::int32_t length) noexcept;

// Of a k-byte tail (k < 16) at `tail`, bytes 1..k-1 are XORed with bytes
// 1..k-1 of S, the next CBC encryption of the chain vector; byte 0 stays.
void ApplyTailRule(TwofishContext& ctx, std::uint8_t* tail, std::size_t k) noexcept;

#ifdef CIPHRA_STUB_BUILD
// Where a stub's stream reads and writes. A failure is either returned as
// false or thrown, as the files underneath report it.
class ChunkEnds {
public:
    // Reads up to n bytes, fewer only at the end of the input.
    virtual bool ReadChunk(std::uint8_t* bytes, std::size_t n, std::size_t& got) = 0;
    // Writes all n bytes (n > 0) after those written before.
    virtual bool WriteChunk(const std::uint8_t* bytes, std::size_t n) = 0;

protected:
    ~ChunkEnds() = default;
};

// Reads, ciphers and writes chunk after chunk until the input ends. Returns
// false as soon as a read or a write fails; the output then holds the chunks
// before the failing one. The chunk buffer is wiped however the loop ends.
bool RunChunkStream(TwofishContext& ctx, StreamDirection direction, ChunkEnds& ends);
#endif

} // namespace ciphra
