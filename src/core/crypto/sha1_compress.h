#pragma once
// The SHA-1 compression function over whole 64-byte blocks, one version per
// code path. Internal to the hash; Sha1Add picks the version at run time.

#include <cstddef>
#include <cstdint>

namespace ciphra::sha1_detail {

void CompressPortable(std::uint32_t h[5], const std::uint8_t* data, std::size_t blocks) noexcept;

#if defined(__x86_64__) || defined(__i386__)
// Needs the SHA extensions and SSE4.1 (see ActiveCpuFeatures).
void CompressShaExtensions(std::uint32_t h[5], const std::uint8_t* data,
                           std::size_t blocks) noexcept;
// Needs AVX2, BMI1 and BMI2 (see ActiveCpuFeatures): the message schedule of
// two blocks at a time in vector registers, the rounds in scalar code.
void CompressAvx2(std::uint32_t h[5], const std::uint8_t* data, std::size_t blocks) noexcept;
#endif

} // namespace ciphra::sha1_detail
