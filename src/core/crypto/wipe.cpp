#include "core/crypto/wipe.h"

#include <atomic>
#include <string.h>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace ciphra {

namespace {

#if defined(__x86_64__)
enum VectorRegisters { Unknown, Sse, Avx, Avx512 };

// Which registers the processor and the operating system keep for this
// process (cpuid and the enabled state components in XCR0).
VectorRegisters DetectVectorRegisters() noexcept
{
    unsigned a = 0;
    unsigned b = 0;
    unsigned c = 0;
    unsigned d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) {
        return Sse;
    }
    unsigned low = 0;
    unsigned high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0x6U) != 0x6U) {
        return Sse;
    }
    const bool avx512 = __get_cpuid_count(7, 0, &a, &b, &c, &d) != 0 && (b & bit_AVX512F) != 0 &&
                        (low & 0xe0U) == 0xe0U;
    return avx512 ? Avx512 : Avx;
}

__attribute__((target("avx512f"))) void ClearUpperZmm() noexcept
{
    __asm__ __volatile__("vpxord %%zmm16, %%zmm16, %%zmm16\n\tvpxord %%zmm17, %%zmm17, %%zmm17\n\t"
                         "vpxord %%zmm18, %%zmm18, %%zmm18\n\tvpxord %%zmm19, %%zmm19, %%zmm19\n\t"
                         "vpxord %%zmm20, %%zmm20, %%zmm20\n\tvpxord %%zmm21, %%zmm21, %%zmm21\n\t"
                         "vpxord %%zmm22, %%zmm22, %%zmm22\n\tvpxord %%zmm23, %%zmm23, %%zmm23\n\t"
                         "vpxord %%zmm24, %%zmm24, %%zmm24\n\tvpxord %%zmm25, %%zmm25, %%zmm25\n\t"
                         "vpxord %%zmm26, %%zmm26, %%zmm26\n\tvpxord %%zmm27, %%zmm27, %%zmm27\n\t"
                         "vpxord %%zmm28, %%zmm28, %%zmm28\n\tvpxord %%zmm29, %%zmm29, %%zmm29\n\t"
                         "vpxord %%zmm30, %%zmm30, %%zmm30\n\tvpxord %%zmm31, %%zmm31, %%zmm31"
                         :
                         :
                         : "xmm16", "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22", "xmm23",
                           "xmm24", "xmm25", "xmm26", "xmm27", "xmm28", "xmm29", "xmm30", "xmm31");
}

__attribute__((target("avx"))) void ClearYmm() noexcept
{
    // Zeroes all of ymm0-15 (and zmm0-15 where they exist).
    __asm__ __volatile__("vzeroall"
                         :
                         :
                         : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                           "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
}

void ClearXmm() noexcept
{
    __asm__ __volatile__(
        "pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
        "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
        "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\tpxor %%xmm8, %%xmm8\n\t"
        "pxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
        "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\t"
        "pxor %%xmm15, %%xmm15"
        :
        :
        : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10",
          "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
}

// Detected once (cpuid is slow in a virtual machine); threads that race here
// all store the same value.
VectorRegisters KnownVectorRegisters() noexcept
{
    static std::atomic<int> known{Unknown};
    int value = known.load(std::memory_order_relaxed);
    if (value == Unknown) {
        value = DetectVectorRegisters();
        known.store(value, std::memory_order_relaxed);
    }
    return static_cast<VectorRegisters>(value);
}
#endif

void ClearVectorRegisters() noexcept
{
#if defined(__x86_64__)
    switch (KnownVectorRegisters()) {
    case Avx512:
        ClearUpperZmm();
        ClearYmm();
        break;
    case Avx:
        ClearYmm();
        break;
    default:
        ClearXmm();
        break;
    }
#endif
}

} // namespace

void SecureWipe(void* data, std::size_t size) noexcept
{
    if (data == nullptr || size == 0) {
        return;
    }
#if defined(__GLIBC__) || defined(__OpenBSD__) || defined(__FreeBSD__)
    explicit_bzero(data, size);
#else
    volatile auto* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        p[i] = 0;
    }
    __asm__ __volatile__("" : : "r"(data) : "memory");
#endif
}

__attribute__((noinline)) void SecureWipeStack(std::size_t depth) noexcept
{
    SecureWipe(__builtin_alloca(depth), depth);
    ClearVectorRegisters();
}

} // namespace ciphra
