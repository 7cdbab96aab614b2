#pragma once
// Zeroing of secrets that the optimiser may not remove, even when the memory
// is never read again (key schedules, digests of passwords, password copies).

#include <cstddef>

namespace ciphra {

void SecureWipe(void* data, std::size_t size) noexcept;

// Overwrites `depth` bytes of the stack below the caller's frame: vector code
// spills registers (schedule words, S-box bytes) into frames that no C++
// object names, and they stay there after the call returns. Then clears the
// vector registers, whose stale contents code that saves every register would
// otherwise put on the stack later: the dynamic linker binding a library's
// first call to another library (libstdc++'s first pthread_join, say), or a
// signal frame.
void SecureWipeStack(std::size_t depth) noexcept;

template <typename T> void SecureWipeObject(T& object) noexcept
{
    SecureWipe(&object, sizeof(T));
}

} // namespace ciphra
