#pragma once
// Which instruction-set extensions the cipher and hash code may use. The
// choice is made once per process, at run time, from what the CPU reports,
// so one binary runs everywhere and takes the fast paths where they exist.
//
// CIPHRA_CPU_FEATURES narrows the choice (tests force each path with it):
//   unset          every extension the CPU has
//   "portable"     none: plain C++ everywhere
//   "avx2,sha"     a comma list (names: avx2, avx512, gfni, sha) of the extensions allowed;
//                  an extension the CPU lacks stays off whatever the list says. "avx2"
//                  also allows BMI1 and BMI2 (the AVX2 SHA-1 and the CBC encryption use them).

namespace ciphra {

struct CpuFeatures {
    bool Avx2 = false;   // 8-block Twofish decryption with vector gathers
    bool Bmi2 = false;   // BMI1 and BMI2: CBC encryption; with Avx2, SHA-1 without SHA extensions
    bool Sha = false;    // SHA-1 with the SHA extensions (and SSE4.1)
    bool Avx512 = false; // key setup with AVX-512 VBMI byte permutations
    bool Gfni = false;   // Twofish decryption, 32 blocks and more, with AVX-512 VBMI and GFNI
};

// What the CPU has, ignoring the environment.
CpuFeatures DetectedCpuFeatures() noexcept;

// What this process uses: detected, narrowed by CIPHRA_CPU_FEATURES.
const CpuFeatures& ActiveCpuFeatures() noexcept;

} // namespace ciphra
