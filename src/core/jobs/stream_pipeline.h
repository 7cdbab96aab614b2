#pragma once
// The cipher stream's loop for the program and the command-line tool, spread
// over two threads (the stub keeps the plain loop in cipher_stream.cpp).
//
// The calling thread reads chunk i+1 and ciphers it while a helper thread
// writes chunk i; when decrypting, the helper also deciphers the second half
// of chunk i+1 (each CBC block needs only the ciphertext block before it);
// when encrypting a file (not a pipe) without a gate, the helper reads chunk
// i+2 after writing chunk i, so the calling thread only enciphers.
// Effects keep the order of the one-thread loop: chunk i+1 is written only
// after chunk i was written and its progress reported on the calling thread,
// and a failure leaves exactly the chunks before the failing one written and
// throws the error that loop would have thrown. Two chunk buffers, whatever
// the file's size; both are wiped, and the helper joined, however the run ends.

#include <cstddef>
#include <cstdint>

#include "core/crypto/twofish.h"
#include "core/io/posix_file.h"
#include "core/jobs/cipher_stream.h"

namespace ciphra {

// Lets a stream read a chunk only once its bytes are ready: called on the
// calling thread before each read, with the offset the read starts at and
// the most it may take. It may wait; what it throws ends the stream as a
// failed read would.
class ReadGate {
public:
    virtual void BeforeRead(std::uint64_t offset, std::size_t length) = 0;

protected:
    ~ReadGate() = default;
};

// The contract of EncryptStream / DecryptStream; `gate`, when given, is
// passed before every read of `input`, which must then have positions.
void RunPipelinedStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
                        StreamDirection direction, std::uint64_t outputStart,
                        ReadGate* gate = nullptr);

} // namespace ciphra
