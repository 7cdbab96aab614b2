#pragma once
// Which code path each operation with a choice of paths takes in this
// process. The CPU's feature flags say what can run, not what runs fastest:
// on some cores the vector gathers of the AVX2 decryption are slower than the
// portable code. So, unless CIPHRA_CPU_FEATURES forces the paths, the first
// use times every path the CPU has on a small buffer (a millisecond or
// two) and keeps the fastest; the portable code is always a
// candidate, so the choice is never slower than it. With CIPHRA_CPU_FEATURES
// set, the widest path it allows is taken, untimed, so that tests reach each
// path for sure.

namespace ciphra {

enum class CbcEncryptPath { Portable, Bmi };           // Bmi: the round shaped for its latency
enum class CbcDecryptPath { Portable, Avx2, Gfni };    // Gfni: the last 0 to 31 blocks scalar
enum class KeySetupPath { Portable, Avx2, Avx512 };    // the key schedule and keyed S-boxes
enum class Sha1Path { Portable, Avx2, ShaExtensions }; // SHA-1's compression function

struct CodePaths {
    CbcEncryptPath CbcEncrypt = CbcEncryptPath::Portable;
    CbcDecryptPath CbcDecrypt = CbcDecryptPath::Portable;
    KeySetupPath KeySetup = KeySetupPath::Portable;
    Sha1Path Sha1 = Sha1Path::Portable;
};

// The paths this thread uses now: the chosen ones, or those a calibration
// in progress on this thread is timing.
const CodePaths& CurrentCodePaths() noexcept;

// The paths chosen for this process (timed or forced once, on first use).
const CodePaths& ChosenCodePaths() noexcept;

// Every path this process may use for each operation, the portable one first:
// what the calibration times (the benchmark and the tests use it too).
inline constexpr int MostPathCandidates = 3;
struct PathCandidates {
    CbcEncryptPath CbcEncrypt[MostPathCandidates];
    int CbcEncryptCount = 0;
    CbcDecryptPath CbcDecrypt[MostPathCandidates];
    int CbcDecryptCount = 0;
    KeySetupPath KeySetup[MostPathCandidates];
    int KeySetupCount = 0;
    Sha1Path Sha1[MostPathCandidates];
    int Sha1Count = 0;
};
PathCandidates CandidateCodePaths() noexcept;

// Runs `paths` on this thread until the returned guard ends (the calibration,
// benchmarks and tests time or check one path this way).
class ForcedCodePaths {
public:
    explicit ForcedCodePaths(const CodePaths& paths) noexcept;
    ~ForcedCodePaths();
    ForcedCodePaths(const ForcedCodePaths&) = delete;
    ForcedCodePaths& operator=(const ForcedCodePaths&) = delete;

private:
    CodePaths Paths;
    const CodePaths* Previous;
};

} // namespace ciphra
