// Throughput of the cipher primitives. Besides bytes per second, each byte
// benchmark reports "cpb": cycles per byte at the CPU clock that Google
// Benchmark detects.

#include "core/crypto/code_paths.h"
#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::size_t KiB = 1024;
constexpr std::size_t MiB = 1024 * KiB;

void CountBytes(benchmark::State& state, std::size_t bytesPerIteration)
{
    const auto total = static_cast<double>(state.iterations()) * bytesPerIteration;
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
    const double hz = benchmark::CPUInfo::Get().cycles_per_second;
    state.counters["cpb"] =
        benchmark::Counter(total / hz, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

ciphra::TwofishContext KeyedContext(std::int32_t keyBytes = 20)
{
    std::vector<std::uint8_t> key(static_cast<std::size_t>(keyBytes), 0x5C);
    ciphra::TwofishContext ctx;
    ciphra::TwofishSetKey(ctx, key.data(), keyBytes, nullptr);
    ciphra::TwofishDeriveStartVector(ctx);
    return ctx;
}

void BM_TwofishSetKey(benchmark::State& state)
{
    const auto keyBytes = static_cast<std::int32_t>(state.range(0) / 8);
    std::vector<std::uint8_t> key(32, 0xA7);
    ciphra::TwofishContext ctx;
    for (auto _ : state) {
        ciphra::TwofishSetKey(ctx, key.data(), keyBytes, nullptr);
        benchmark::DoNotOptimize(ctx);
    }
}
BENCHMARK(BM_TwofishSetKey)->Arg(128)->Arg(192)->Arg(256);

void BM_TwofishEncryptBlock(benchmark::State& state)
{
    const auto ctx = KeyedContext();
    std::uint8_t block[16] = {};
    for (auto _ : state) {
        ciphra::TwofishEncryptBlock(ctx, block, block);
        benchmark::DoNotOptimize(block);
    }
    CountBytes(state, sizeof block);
}
BENCHMARK(BM_TwofishEncryptBlock);

void BM_TwofishDecryptBlock(benchmark::State& state)
{
    const auto ctx = KeyedContext();
    std::uint8_t block[16] = {};
    for (auto _ : state) {
        ciphra::TwofishDecryptBlock(ctx, block, block);
        benchmark::DoNotOptimize(block);
    }
    CountBytes(state, sizeof block);
}
BENCHMARK(BM_TwofishDecryptBlock);

// 8192 bytes per call (the file stream's former chunk size; kept so the figures
// stay comparable with earlier runs).
void BM_TwofishCBCEncrypt(benchmark::State& state)
{
    auto ctx = KeyedContext();
    std::vector<std::uint8_t> buffer(8 * KiB, 0x33);
    for (auto _ : state) {
        ciphra::TwofishCBCEncryptBlocks(ctx, buffer.data(), buffer.data(), buffer.size() / 16);
        benchmark::ClobberMemory();
    }
    CountBytes(state, buffer.size());
}
BENCHMARK(BM_TwofishCBCEncrypt);

void BM_TwofishCBCDecrypt(benchmark::State& state)
{
    auto ctx = KeyedContext();
    std::vector<std::uint8_t> buffer(8 * KiB, 0x33);
    for (auto _ : state) {
        ciphra::TwofishCBCDecryptBlocks(ctx, buffer.data(), buffer.data(), buffer.size() / 16);
        benchmark::ClobberMemory();
    }
    CountBytes(state, buffer.size());
}
BENCHMARK(BM_TwofishCBCDecrypt);

void BM_TwofishCFB8Encrypt(benchmark::State& state)
{
    auto ctx = KeyedContext();
    std::vector<std::uint8_t> buffer(1 * KiB, 0x33);
    for (auto _ : state) {
        ciphra::TwofishCFB8Encrypt(ctx, buffer.data(), buffer.data(),
                                   static_cast<std::int32_t>(buffer.size()));
        benchmark::ClobberMemory();
    }
    CountBytes(state, buffer.size());
}
BENCHMARK(BM_TwofishCFB8Encrypt);

void BM_Sha1(benchmark::State& state)
{
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(state.range(0)), 0x61);
    std::uint8_t digest[ciphra::Sha1DigestSize];
    for (auto _ : state) {
        ciphra::Sha1State sha;
        ciphra::Sha1Start(sha);
        ciphra::Sha1Add(sha, buffer.data(), buffer.size());
        ciphra::Sha1Finish(sha, digest);
        benchmark::DoNotOptimize(digest);
    }
    CountBytes(state, buffer.size());
}
BENCHMARK(BM_Sha1)->Arg(16 * KiB)->Arg(64 * MiB)->Unit(benchmark::kMillisecond);

// Every code path this CPU can run for each operation with a choice, forced
// in turn, labelled with its name and whether the first-use timing chose it:
// the chosen path should be the fastest row of its operation.
const char* const CbcEncryptNames[] = {"portable", "bmi"};
const char* const CbcDecryptNames[] = {"portable", "avx2", "gfni"};
const char* const KeySetupNames[] = {"portable", "avx2", "avx512"};
const char* const Sha1Names[] = {"portable", "avx2", "sha"};

// Runs `body` with the operation's path number state.range(0) forced, and
// labels the row; skips the row when the CPU lacks that path.
template <class Path, class Body>
void OnPath(benchmark::State& state, const Path* candidates, int count,
            Path ciphra::CodePaths::*slot, const char* const* names, Body body)
{
    if (state.range(0) >= count) {
        state.SkipWithError("this CPU lacks the path");
        return;
    }
    ciphra::CodePaths paths = ciphra::ChosenCodePaths();
    paths.*slot = candidates[state.range(0)];
    {
        const ciphra::ForcedCodePaths forced(paths);
        body();
    }
    const bool chosen = paths.*slot == ciphra::ChosenCodePaths().*slot;
    state.SetLabel(std::string(names[static_cast<int>(paths.*slot)]) + (chosen ? " (chosen)" : ""));
}

// CBC over 64 KiB in place with `cipher`, on whichever path is forced.
using CbcRun = void (*)(ciphra::TwofishContext&, const void*, void*, std::size_t) noexcept;
void TimeCbc(benchmark::State& state, CbcRun cipher)
{
    auto ctx = KeyedContext();
    std::vector<std::uint8_t> buffer(64 * KiB, 0x33);
    for (auto _ : state) {
        cipher(ctx, buffer.data(), buffer.data(), buffer.size() / 16);
        benchmark::ClobberMemory();
    }
    CountBytes(state, buffer.size());
}

void BM_CbcEncryptPath(benchmark::State& state)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    OnPath(state, c.CbcEncrypt, c.CbcEncryptCount, &ciphra::CodePaths::CbcEncrypt, CbcEncryptNames,
           [&] { TimeCbc(state, ciphra::TwofishCBCEncryptBlocks); });
}
BENCHMARK(BM_CbcEncryptPath)->DenseRange(0, 1);

void BM_CbcDecryptPath(benchmark::State& state)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    OnPath(state, c.CbcDecrypt, c.CbcDecryptCount, &ciphra::CodePaths::CbcDecrypt, CbcDecryptNames,
           [&] { TimeCbc(state, ciphra::TwofishCBCDecryptBlocks); });
}
BENCHMARK(BM_CbcDecryptPath)->DenseRange(0, 2);

void BM_KeySetupPath(benchmark::State& state)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    OnPath(state, c.KeySetup, c.KeySetupCount, &ciphra::CodePaths::KeySetup, KeySetupNames, [&] {
        std::vector<std::uint8_t> key(32, 0xA7);
        ciphra::TwofishContext ctx;
        for (auto _ : state) {
            ciphra::TwofishSetKey(ctx, key.data(), 32, nullptr);
            benchmark::DoNotOptimize(ctx);
        }
    });
}
BENCHMARK(BM_KeySetupPath)->DenseRange(0, 2);

void BM_Sha1Path(benchmark::State& state)
{
    const ciphra::PathCandidates c = ciphra::CandidateCodePaths();
    OnPath(state, c.Sha1, c.Sha1Count, &ciphra::CodePaths::Sha1, Sha1Names, [&] {
        std::vector<std::uint8_t> buffer(64 * KiB, 0x61);
        std::uint8_t digest[ciphra::Sha1DigestSize];
        for (auto _ : state) {
            ciphra::Sha1State sha;
            ciphra::Sha1Start(sha);
            ciphra::Sha1Add(sha, buffer.data(), buffer.size());
            ciphra::Sha1Finish(sha, digest);
            benchmark::DoNotOptimize(digest);
        }
        CountBytes(state, buffer.size());
    });
}
BENCHMARK(BM_Sha1Path)->DenseRange(0, 2);

} // namespace

BENCHMARK_MAIN();
