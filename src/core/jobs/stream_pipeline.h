#pragma once
// The cipher stream's loop for the program and the command-line tool, spread
// over two threads (the stub keeps the plain loop in cipher_stream.cpp).
//
// The calling thread reads chunk i+1 and ciphers it while a helper thread
// writes chunk i; when decrypting, the helper also deciphers the second half
// of chunk i+1 (each CBC block needs only the ciphertext block before it).
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

// The contract of EncryptStream / DecryptStream.
void RunPipelinedStream(TwofishContext& ctx, File& input, File& output, StreamProgress* progress,
                        StreamDirection direction, std::uint64_t outputStart);

} // namespace ciphra
