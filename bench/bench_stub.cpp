// The stub's decrypt routine on a 100 MiB payload against the bare cipher
// stream it is built from (the stub's size-optimised build of both). The
// routine adds one copy of the payload out of the program file.

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/crypto/twofish.h"
#include "core/jobs/cipher_stream.h"
#include "stub/posix_system.h"

namespace {

constexpr std::size_t PayloadSize = 100 << 20;
constexpr const char* Password = "benchmark password";

class Quiet final : public ciphra::stub::MessageSink {
public:
    void ShowMessage(const char*, const char*) override {}
};

std::filesystem::path ScratchFolder()
{
    auto folder =
        std::filesystem::temp_directory_path() / ("ciphra-stub-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

void WriteFile(const std::filesystem::path& path, const std::string& head, std::size_t filler)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << head;
    const std::string block(1 << 20, '\x5a');
    for (std::size_t done = 0; done < filler; done += block.size())
        out.write(block.data(),
                  static_cast<std::streamsize>(std::min(block.size(), filler - done)));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A program: the built stub and 100 MiB of payload. Its content is not a
// real encryption, which the routine cannot tell and which costs the same.
void StubRoutine(benchmark::State& state)
{
    const auto folder = ScratchFolder();
    const auto program = folder / "payload.exe";
    WriteFile(program, ReadFile(CIPHRA_STUB_FILE), PayloadSize);
    Quiet quiet;
    for (auto _ : state) {
        ciphra::stub::DecryptPayload(program.string(), Password, quiet);
        state.PauseTiming();
        std::filesystem::remove(folder / "payload.dec");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PayloadSize));
    std::filesystem::remove_all(folder);
}

// The same bytes decrypted in place by the stream alone.
void StubStream(benchmark::State& state)
{
    const auto folder = ScratchFolder();
    const auto path = folder / "payload.bin";
    WriteFile(path, "", PayloadSize);
    ciphra::TwofishContext ctx;
    for (auto _ : state) {
        ciphra::PrepareCipherRun(ctx, Password, 18);
        ciphra::File file = ciphra::File::Open(path.string(), ciphra::OpenMode::ReadWrite);
        ciphra::DecryptStream(ctx, file, file);
        file.Close();
        ciphra::TwofishWipe(ctx);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * PayloadSize));
    std::filesystem::remove_all(folder);
}

BENCHMARK(StubRoutine)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(StubStream)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
