// Run-time selection of the vector and SHA code paths.

#include "core/crypto/cpu_features.h"

#include <cstdlib>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif
#include <string_view>

namespace ciphra {

namespace {

bool ListAllows(std::string_view list, std::string_view name) noexcept
{
    while (!list.empty()) {
        const auto comma = list.find(',');
        if (list.substr(0, comma) == name) {
            return true;
        }
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    return false;
}

CpuFeatures ChooseFeatures() noexcept
{
    CpuFeatures features = DetectedCpuFeatures();
    const char* setting = std::getenv("CIPHRA_CPU_FEATURES");
    if (setting != nullptr) {
        const std::string_view list(setting);
        features.Avx2 = features.Avx2 && ListAllows(list, "avx2");
        features.Bmi2 = features.Bmi2 && ListAllows(list, "avx2");
        features.Sha = features.Sha && ListAllows(list, "sha");
        features.Avx512 = features.Avx512 && ListAllows(list, "avx512");
        features.Gfni = features.Gfni && ListAllows(list, "gfni");
    }
    return features;
}

} // namespace

CpuFeatures DetectedCpuFeatures() noexcept
{
    CpuFeatures features;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    features.Avx2 = __builtin_cpu_supports("avx2");
    features.Bmi2 = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    // The SHA extensions are read from CPUID leaf 7 (EBX bit 29) directly:
    // not every compiler's __builtin_cpu_supports knows them.
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    const bool hasLeaf7 = __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0;
    features.Sha = hasLeaf7 && (ebx & (1U << 29)) != 0 && __builtin_cpu_supports("sse4.1") &&
                   __builtin_cpu_supports("ssse3");
    features.Avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                      __builtin_cpu_supports("avx512vbmi");
    // GFNI is CPUID leaf 7, ECX bit 8.
    features.Gfni = features.Avx512 && hasLeaf7 && (ecx & (1U << 8)) != 0;
#endif
    return features;
}

const CpuFeatures& ActiveCpuFeatures() noexcept
{
    static const CpuFeatures features = ChooseFeatures();
    return features;
}

} // namespace ciphra
