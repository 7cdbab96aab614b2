// Choosing each operation's code path by timing it on this CPU.

#include "core/crypto/code_paths.h"

#include "core/crypto/cpu_features.h"
#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace ciphra {

namespace {

thread_local const CodePaths* forcedPaths = nullptr;

// Large enough for the 32-block passes of the widest path, small enough that
// timing every path of every operation takes a millisecond or two.
constexpr std::size_t TimedBytes = 8192;
constexpr int TimedRuns = 5;

std::int64_t TimeOnce(const auto& operation)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    operation();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

// The candidate whose operation ran shortest; candidates[0] (the portable
// path) wins ties. Each candidate runs once to warm up, then the candidates
// take turns, and each keeps its shortest run: one run interrupted by another
// process does not decide, and neither does the clock speed drifting while
// they are timed, which would favour whichever ran last.
template <class Path, class Operation>
Path Fastest(const Path* candidates, int count, CodePaths paths, Path CodePaths::*slot,
             Operation operation)
{
    std::int64_t shortest[MostPathCandidates];
    for (int i = 0; i < count; ++i) {
        paths.*slot = candidates[i];
        const ForcedCodePaths forced(paths);
        operation();
        shortest[i] = std::numeric_limits<std::int64_t>::max();
    }
    for (int run = 0; run < TimedRuns; ++run) {
        for (int i = 0; i < count; ++i) {
            paths.*slot = candidates[i];
            const ForcedCodePaths forced(paths);
            const std::int64_t took = TimeOnce(operation);
            shortest[i] = took < shortest[i] ? took : shortest[i];
        }
    }
    int best = 0;
    for (int i = 1; i < count; ++i) {
        best = shortest[i] < shortest[best] ? i : best;
    }
    return candidates[best];
}

// Only public, fixed data goes through the timed code: nothing secret is
// left in the buffers or the registers.
CodePaths TimedPaths(const PathCandidates& candidates)
{
    static const std::uint8_t key[32] = {};
    alignas(64) static std::uint8_t data[TimedBytes];
    CodePaths chosen;
    // Everything below runs on forced paths: asking for the chosen ones
    // while choosing them would recurse.
    const ForcedCodePaths portable(chosen);
    TwofishContext ctx;
    TwofishSetKey(ctx, key, sizeof key, nullptr);
    chosen.CbcEncrypt =
        Fastest(candidates.CbcEncrypt, candidates.CbcEncryptCount, chosen, &CodePaths::CbcEncrypt,
                [&] { TwofishCBCEncryptBlocks(ctx, data, data, TimedBytes / TwofishBlockSize); });
    chosen.CbcDecrypt =
        Fastest(candidates.CbcDecrypt, candidates.CbcDecryptCount, chosen, &CodePaths::CbcDecrypt,
                [&] { TwofishCBCDecryptBlocks(ctx, data, data, TimedBytes / TwofishBlockSize); });
    chosen.KeySetup =
        Fastest(candidates.KeySetup, candidates.KeySetupCount, chosen, &CodePaths::KeySetup,
                [&] { TwofishSetKey(ctx, key, sizeof key, nullptr); });
    chosen.Sha1 = Fastest(candidates.Sha1, candidates.Sha1Count, chosen, &CodePaths::Sha1, [&] {
        Sha1State state;
        std::uint8_t digest[Sha1DigestSize];
        Sha1Start(state);
        Sha1Add(state, data, TimedBytes);
        Sha1Finish(state, digest);
    });
    TwofishWipe(ctx);
    return chosen;
}

// The last candidate of each list: the widest path allowed.
CodePaths WidestPaths(const PathCandidates& candidates)
{
    CodePaths paths;
    paths.CbcEncrypt = candidates.CbcEncrypt[candidates.CbcEncryptCount - 1];
    paths.CbcDecrypt = candidates.CbcDecrypt[candidates.CbcDecryptCount - 1];
    paths.KeySetup = candidates.KeySetup[candidates.KeySetupCount - 1];
    paths.Sha1 = candidates.Sha1[candidates.Sha1Count - 1];
    return paths;
}

CodePaths ChoosePaths()
{
    const PathCandidates candidates = CandidateCodePaths();
    if (std::getenv("CIPHRA_CPU_FEATURES") != nullptr) {
        return WidestPaths(candidates);
    }
    return TimedPaths(candidates);
}

} // namespace

PathCandidates CandidateCodePaths() noexcept
{
    const CpuFeatures& cpu = ActiveCpuFeatures();
    PathCandidates c;
    c.CbcEncrypt[c.CbcEncryptCount++] = CbcEncryptPath::Portable;
    c.CbcDecrypt[c.CbcDecryptCount++] = CbcDecryptPath::Portable;
    c.KeySetup[c.KeySetupCount++] = KeySetupPath::Portable;
    c.Sha1[c.Sha1Count++] = Sha1Path::Portable;
    if (cpu.Avx2) {
        c.CbcDecrypt[c.CbcDecryptCount++] = CbcDecryptPath::Avx2;
        c.KeySetup[c.KeySetupCount++] = KeySetupPath::Avx2;
    }
    if (cpu.Gfni) {
        c.CbcDecrypt[c.CbcDecryptCount++] = CbcDecryptPath::Gfni;
    }
    if (cpu.Avx512) {
        c.KeySetup[c.KeySetupCount++] = KeySetupPath::Avx512;
    }
#if defined(__x86_64__)
    if (cpu.Bmi2) {
        c.CbcEncrypt[c.CbcEncryptCount++] = CbcEncryptPath::Bmi;
    }
#endif
    if (cpu.Avx2 && cpu.Bmi2) {
        c.Sha1[c.Sha1Count++] = Sha1Path::Avx2;
    }
    if (cpu.Sha) {
        c.Sha1[c.Sha1Count++] = Sha1Path::ShaExtensions;
    }
    return c;
}

const CodePaths& ChosenCodePaths() noexcept
{
    static const CodePaths paths = ChoosePaths();
    return paths;
}

const CodePaths& CurrentCodePaths() noexcept
{
    return forcedPaths != nullptr ? *forcedPaths : ChosenCodePaths();
}

ForcedCodePaths::ForcedCodePaths(const CodePaths& paths) noexcept
    : Paths(paths), Previous(forcedPaths)
{
    forcedPaths = &Paths;
}

ForcedCodePaths::~ForcedCodePaths()
{
    forcedPaths = Previous;
}

} // namespace ciphra
