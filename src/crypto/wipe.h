#pragma once
// Zeroing of secrets that the optimiser may not remove, even when the memory
// is never read again (key schedules, digests of passwords, password copies).

#include <cstddef>

namespace ciphra {

void SecureWipe(void* data, std::size_t size) noexcept;

template <typename T>
void SecureWipeObject(T& object) noexcept
{
    SecureWipe(&object, sizeof(T));
}

} // namespace ciphra
