// Durable writes through the jobs the windows and ciphra2k-cli run: one
// 256 MiB file encrypted and decrypted beside (flushed and named as the
// commands do) and shredded with the shred command's three passes (each
// overwrite flushed; compare `shred -n 9 -u` in bench/files.sh), and 2,000
// files of 4 KiB encrypted beside, decrypted beside and encrypted in place
// through one CipherBatch each. Beside each, what the disk needs for the
// same bytes: the big file copied and fsynced (as `dd conv=fsync`), the small
// files copied and the file system flushed once (as `cp` + `sync -f`). Files
// live under the temporary folder; the clock stops before each round's
// outputs are removed.

#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/jobs/cipher_batch.h"
#include "core/jobs/shredder.h"

namespace {

namespace fs = std::filesystem;
using namespace ciphra;

constexpr std::uint64_t BigSize = std::uint64_t{256} << 20;
constexpr int SmallCount = 2000;
constexpr std::size_t SmallSize = 4096;

fs::path Root()
{
    static const fs::path root = [] {
        fs::path path = fs::temp_directory_path() / "ciphra-bench-durable";
        fs::remove_all(path);
        fs::create_directories(path / "small");
        return path;
    }();
    return root;
}

void WritePattern(const fs::path& path, std::uint64_t size, std::uint32_t seed)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<char> piece(std::min<std::uint64_t>(size, 1 << 20));
    std::uint32_t state = seed;
    for (std::uint64_t done = 0; done < size; done += piece.size()) {
        for (char& byte : piece) {
            state = state * 1664525U + 1013904223U;
            byte = static_cast<char>(state >> 24);
        }
        out.write(piece.data(),
                  static_cast<std::streamsize>(std::min<std::uint64_t>(piece.size(), size - done)));
    }
}

const KeyMaterial& Key()
{
    static KeyMaterial key;
    static const bool made = (MakeKeyMaterial("benchmark password", true, key), true);
    (void)made;
    return key;
}

CipherPlan Plan(const std::string& source, CipherDirection direction, Placement where)
{
    CipherJob job;
    job.Direction = direction;
    job.Where = where;
    job.Source = source;
    return PlanCipherJob(job);
}

const std::string& BigPlain()
{
    static const std::string path = [] {
        const fs::path p = Root() / "big";
        WritePattern(p, BigSize, 1);
        return p.string();
    }();
    return path;
}

const std::string& BigEncrypted()
{
    static const std::string path = [] {
        const CipherPlan done = RunCipherJob(
            Plan(BigPlain(), CipherDirection::Encrypt, Placement::Beside), Key(), nullptr);
        const fs::path kept = Root() / "big-encrypted.CPH";
        fs::rename(done.Output, kept);
        return kept.string();
    }();
    return path;
}

void BigFile(benchmark::State& state, CipherDirection direction)
{
    const std::string source = direction == CipherDirection::Encrypt ? BigPlain() : BigEncrypted();
    for (auto _ : state) {
        const CipherPlan done =
            RunCipherJob(Plan(source, direction, Placement::Beside), Key(), nullptr);
        state.PauseTiming();
        if (done.Status != CipherStatus::Done) {
            state.SkipWithError("not done");
        }
        fs::remove(done.Output);
        ::sync();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BigSize));
}

// The shred command's wipe of the big file, each round on a fresh copy
// whose pages were flushed before the clock starts.
void BigShred(benchmark::State& state)
{
    const std::string victim = (Root() / "big-shred").string();
    const ClockText clock = [] { return std::string("09/12/2026 08:00:00"); };
    for (auto _ : state) {
        state.PauseTiming();
        fs::copy_file(BigPlain(), victim, fs::copy_options::overwrite_existing);
        ::sync();
        state.ResumeTiming();
        if (WipeFile(victim, 3, clock) != WipeOutcome::Succeeded) {
            state.SkipWithError("not wiped");
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BigSize));
}

// What the disk needs for the big file: a copy flushed once at the end.
void BigCopyFlushed(benchmark::State& state)
{
    const std::string target = (Root() / "big-copy").string();
    std::vector<char> piece(1 << 20);
    for (auto _ : state) {
        File in = File::Open(BigPlain(), OpenMode::ReadOnly);
        File out = File::Open(target, OpenMode::CreateTruncate);
        for (std::size_t n; (n = in.Read(piece.data(), piece.size())) > 0;) {
            out.WriteAll(piece.data(), n);
        }
        out.Sync();
        out.Close();
        state.PauseTiming();
        fs::remove(target);
        ::sync();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BigSize));
}

std::vector<std::string> SmallFiles()
{
    std::vector<std::string> names;
    for (int i = 0; i < SmallCount; ++i) {
        names.push_back((Root() / "small" / ("f" + std::to_string(i))).string());
    }
    return names;
}

void MakeSmallFiles()
{
    fs::remove_all(Root() / "small");
    fs::create_directories(Root() / "small");
    int i = 0;
    for (const std::string& name : SmallFiles()) {
        WritePattern(name, SmallSize, static_cast<std::uint32_t>(++i));
    }
    ::sync();
}

std::vector<std::string> RunBatch(const std::vector<std::string>& sources,
                                  CipherDirection direction, Placement where)
{
    std::vector<std::string> outputs;
    const age::Keys keys;
    CipherBatch batch(Key(), keys, BatchFailure::GoOn, [&](const CipherOutcome& outcome) {
        outputs.push_back(outcome.Plan.Output);
    });
    for (const std::string& source : sources) {
        batch.Run(Plan(source, direction, where), nullptr);
    }
    batch.Finish();
    return outputs;
}

enum class Many { Encrypt, Decrypt, InPlace };

void ManySmallFiles(benchmark::State& state, Many run)
{
    MakeSmallFiles();
    std::vector<std::string> sources = SmallFiles();
    if (run == Many::Decrypt) {
        sources = RunBatch(sources, CipherDirection::Encrypt, Placement::Beside);
    }
    for (auto _ : state) {
        const std::vector<std::string> outputs = RunBatch(
            sources, run == Many::Decrypt ? CipherDirection::Decrypt : CipherDirection::Encrypt,
            run == Many::InPlace ? Placement::InPlace : Placement::Beside);
        state.PauseTiming();
        if (outputs.size() != sources.size()) {
            state.SkipWithError("not every file was done");
        }
        if (run != Many::InPlace) {
            for (const std::string& output : outputs) {
                fs::remove(output);
            }
        }
        ::sync();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * SmallCount);
}

// What the disk needs for the small files: copies into an empty folder, and
// one flush of the file system.
void ManyCopiesFlushedOnce(benchmark::State& state)
{
    MakeSmallFiles();
    const std::vector<std::string> sources = SmallFiles();
    const fs::path copies = Root() / "copies";
    std::vector<char> bytes(SmallSize);
    for (auto _ : state) {
        fs::create_directories(copies);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            File in = File::Open(sources[i], OpenMode::ReadOnly);
            File out = File::Open((copies / std::to_string(i)).string(), OpenMode::CreateExclusive);
            out.WriteAll(bytes.data(), in.Read(bytes.data(), bytes.size()));
        }
        SyncFileSystem(File::OpenFolder(copies.string()));
        state.PauseTiming();
        fs::remove_all(copies);
        ::sync();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * SmallCount);
}

} // namespace

BENCHMARK_CAPTURE(BigFile, Encrypt256MiB, CipherDirection::Encrypt)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BigFile, Decrypt256MiB, CipherDirection::Decrypt)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BigShred)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BigCopyFlushed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(ManySmallFiles, Encrypt2000x4KiB, Many::Encrypt)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ManySmallFiles, Decrypt2000x4KiB, Many::Decrypt)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(ManySmallFiles, InPlace2000x4KiB, Many::InPlace)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(ManyCopiesFlushedOnce)->Unit(benchmark::kMillisecond)->UseRealTime();
