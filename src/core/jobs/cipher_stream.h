#pragma once
// The one transformation between a plain file and its encrypted form.
//
// An encrypted file has exactly the plain file's length, no header and no
// check value. With S = E_K(0^16): whole 16-byte blocks are CBC with start
// vector S across the whole file (one chain over all chunks); of a tail of
// k bytes the first is stored unchanged and bytes 1..k-1 are XORed with bytes
// 1..k-1 of S. The stub compiles this file too (decrypting half only used).
//
// Calling order per file: key a CipherRun, open the file(s),
// EncryptStream/DecryptStream, close the file(s); the run wipes its context.

#include <cstddef>
#include <cstdint>

#include "core/crypto/twofish.h"
#include "core/io/posix_file.h"
#include "core/jobs/chunk_stream.h"

namespace ciphra {

// Reports bytes done while a stream runs (for progress windows).
class StreamProgress {
public:
    virtual void BytesDone(std::uint64_t done, std::uint64_t total) = 0;

protected:
    ~StreamProgress() = default;
};

// KeyCipherRun (chunk_stream.h); throws the key-length exception when length
// is outside 1..32.
void PrepareCipherRun(TwofishContext& ctx, const void* keyMaterial, std::int32_t length);

// The cipher context of one run: keyed by PrepareCipherRun when made (so a
// key of the wrong length is refused before any file is touched) and wiped
// however the run ends.
class CipherRun {
public:
    CipherRun() = default; // not keyed: filled in by its owner
    CipherRun(const void* keyMaterial, std::int32_t length);
    CipherRun(const CipherRun&) = delete;
    CipherRun& operator=(const CipherRun&) = delete;
    ~CipherRun() { Wipe(); }

    TwofishContext& Context() noexcept { return context_; }
    void Wipe() noexcept;

private:
    TwofishContext context_{};
};

// Where a stream writes: each chunk at the offset it was read from (in place,
// or into a second file of the same layout), unless an output start is given:
// then the first byte read lands at that offset of the output. InOrder
// writes each chunk where the output stands, one after the other, as a pipe
// (which has no offsets) takes them.
inline constexpr std::uint64_t SameOffsets = UINT64_MAX;
inline constexpr std::uint64_t InOrder = UINT64_MAX - 1;

// Run the chunk loop from input's current position (a pipe: what is left of
// it) to its end, writing each processed chunk to output (see SameOffsets). input and output may be
// the same file (in place). I/O errors throw FileError; the output then holds the chunks before the
// failing one. Outside the stub a second thread writes each chunk while the next is read and
// ciphered; progress is still reported on the calling thread, after each chunk's write, in file
// order.
void EncryptStream(TwofishContext& ctx, File& input, File& output,
                   StreamProgress* progress = nullptr, std::uint64_t outputStart = SameOffsets);
void DecryptStream(TwofishContext& ctx, File& input, File& output,
                   StreamProgress* progress = nullptr, std::uint64_t outputStart = SameOffsets);

} // namespace ciphra
