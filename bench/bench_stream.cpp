// Whole-file cipher stream on a 256 MiB file in the page cache: encrypt to a
// second file, encrypt in place, decrypt to a second file. The input file is
// made once under the temporary folder and kept for later runs.

#include <benchmark/benchmark.h>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/jobs/cipher_stream.h"

namespace {

constexpr std::uint64_t FileSize = std::uint64_t{256} << 20;

std::string Folder()
{
    return std::filesystem::temp_directory_path().string();
}

const std::string& InputFile()
{
    static const std::string path = [] {
        const std::string name = Folder() + "/ciphra-bench-stream-256MiB.bin";
        std::error_code error;
        if (std::filesystem::file_size(name, error) != FileSize) {
            std::ofstream out(name, std::ios::binary | std::ios::trunc);
            std::vector<char> piece(1 << 20);
            std::uint32_t state = 1;
            for (std::uint64_t done = 0; done < FileSize; done += piece.size()) {
                for (char& byte : piece) {
                    state = state * 1664525U + 1013904223U;
                    byte = static_cast<char>(state >> 24);
                }
                out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
            }
        }
        return name;
    }();
    return path;
}

enum class Run { EncryptBeside, EncryptInPlace, DecryptBeside };

void StreamFile(benchmark::State& state, Run run)
{
    using namespace ciphra;
    const std::string input = InputFile();
    const std::string output = Folder() + "/ciphra-bench-stream-out.bin";
    const std::string inPlace = Folder() + "/ciphra-bench-stream-inplace.bin";
    if (run == Run::EncryptInPlace) {
        std::filesystem::copy_file(input, inPlace,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    const char key[20] = "benchmark key bytes";
    for (auto _ : state) {
        TwofishContext ctx;
        PrepareCipherRun(ctx, key, sizeof key);
        if (run == Run::EncryptInPlace) {
            File file = File::Open(inPlace, OpenMode::ReadWrite);
            EncryptStream(ctx, file, file);
        } else {
            File in = File::Open(input, OpenMode::ReadOnly);
            File out = File::Open(output, OpenMode::CreateTruncate);
            if (run == Run::EncryptBeside) {
                EncryptStream(ctx, in, out);
            } else {
                DecryptStream(ctx, in, out);
            }
        }
        TwofishWipe(ctx);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize));
    std::filesystem::remove(output);
    std::filesystem::remove(inPlace);
}

} // namespace

BENCHMARK_CAPTURE(StreamFile, EncryptBeside, Run::EncryptBeside)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(StreamFile, EncryptInPlace, Run::EncryptInPlace)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(StreamFile, DecryptBeside, Run::DecryptBeside)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
