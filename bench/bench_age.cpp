// The age format on a 256 MiB file in the page cache: this program's stream
// and whole job against the age tool (Debian's age package) doing the same
// work in the same run, to X25519 recipients so that no password hashing is
// counted. The input is the stream benchmark's file, made once under the
// temporary folder and kept; outputs are removed.
//
//   Stream  age::EncryptStream / DecryptStream into a file created empty, no
//           flush to the disk: what `age -o FILE` does.
//   Job     RunAgeJob: the same through an OutputFile, so including its
//           background flush, the fsync and the rename.
//   Tool    `age -r KEY -o OUT IN` and `age -d -i KEYFILE -o OUT IN`, started
//           as a child process and waited for.
//   Tool, flushed  the same, then its output flushed to the disk (fsync), as
//           the job's output is.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/crypto/secret_text.h"
#include "core/jobs/age_file.h"
#include "core/jobs/file_cipher.h"

namespace {

using namespace ciphra;

constexpr std::uint64_t FileSize = std::uint64_t{256} << 20;

std::string Folder()
{
    return std::filesystem::temp_directory_path().string();
}

std::string InFolder(const std::string& name)
{
    return Folder() + "/" + name;
}

const std::string& PlainFile()
{
    static const std::string path = [] {
        std::string name = InFolder("ciphra-bench-stream-256MiB.bin");
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

// One identity for the whole run, its file for the age tool, and the plain
// file sealed to it once.
struct Keys {
    age::Identity Identity;
    std::string IdentityFile = InFolder("ciphra-bench-age-key.txt");
    std::string Recipient;
    std::string Sealed = InFolder("ciphra-bench-age-256MiB.age");

    Keys()
    {
        age::GenerateIdentity(Identity);
        Recipient = age::RecipientText(age::RecipientOf(Identity));
        SecretText text;
        age::IdentityFileText(Identity, age::CreatedTimeText(), text);
        std::ofstream(IdentityFile, std::ios::trunc) << text.View();
        File in = File::Open(PlainFile(), OpenMode::ReadOnly);
        File out = File::Open(Sealed, OpenMode::CreateTruncate, 0600);
        age::EncryptStream(in, out, Sealing(), nullptr);
    }
    age::Keys Sealing() const
    {
        age::Keys keys;
        keys.Recipients = {age::RecipientOf(Identity)};
        return keys;
    }
    age::Keys Opening() const
    {
        age::Keys keys;
        keys.Identities = {Identity};
        return keys;
    }
};

const Keys& TheKeys()
{
    static const Keys keys;
    return keys;
}

bool RunTool(std::vector<std::string> args)
{
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Finish(benchmark::State& state, const std::string& output)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FileSize));
    std::filesystem::remove(output);
}

void BM_AgeStreamEncrypt(benchmark::State& state)
{
    const Keys& keys = TheKeys();
    const std::string output = InFolder("ciphra-bench-age-out");
    const age::Keys sealing = keys.Sealing();
    for (auto _ : state) {
        File in = File::Open(PlainFile(), OpenMode::ReadOnly);
        File out = File::Open(output, OpenMode::CreateTruncate, 0600);
        age::EncryptStream(in, out, sealing, nullptr);
    }
    Finish(state, output);
}

void BM_AgeStreamDecrypt(benchmark::State& state)
{
    const Keys& keys = TheKeys();
    const std::string output = InFolder("ciphra-bench-age-out");
    const age::Keys opening = keys.Opening();
    for (auto _ : state) {
        File in = File::Open(keys.Sealed, OpenMode::ReadOnly);
        File out = File::Open(output, OpenMode::CreateTruncate, 0600);
        age::DecryptStream(in, out, opening, nullptr);
    }
    Finish(state, output);
}

void RunJob(benchmark::State& state, CipherDirection direction)
{
    const Keys& keys = TheKeys();
    CipherJob job;
    job.Direction = direction;
    job.Existing = ExistingOutput::Replace;
    job.Format = CipherFormat::Age;
    job.Source = direction == CipherDirection::Encrypt ? PlainFile() : keys.Sealed;
    const age::Keys ageKeys =
        direction == CipherDirection::Encrypt ? keys.Sealing() : keys.Opening();
    std::string output;
    for (auto _ : state) {
        const CipherPlan plan = RunAgeJob(PlanCipherJob(job), ageKeys, nullptr);
        if (plan.Status != CipherStatus::Done) {
            state.SkipWithError("the job did not run");
            break;
        }
        output = plan.Output;
    }
    Finish(state, output);
}

void BM_AgeJobEncrypt(benchmark::State& state)
{
    RunJob(state, CipherDirection::Encrypt);
}

void BM_AgeJobDecrypt(benchmark::State& state)
{
    RunJob(state, CipherDirection::Decrypt);
}

void RunAgeTool(benchmark::State& state, CipherDirection direction, bool flushed)
{
    const Keys& keys = TheKeys();
    const std::string output = InFolder("ciphra-bench-age-tool-out");
    for (auto _ : state) {
        std::filesystem::remove(output);
        const bool ran =
            direction == CipherDirection::Encrypt
                ? RunTool({CIPHRA_AGE_PATH, "-r", keys.Recipient, "-o", output, PlainFile()})
                : RunTool(
                      {CIPHRA_AGE_PATH, "-d", "-i", keys.IdentityFile, "-o", output, keys.Sealed});
        if (!ran) {
            state.SkipWithError("age failed (is Debian's age package installed?)");
            break;
        }
        if (flushed) {
            File::Open(output, OpenMode::ReadOnly).Sync();
        }
    }
    Finish(state, output);
}

void BM_AgeToolEncrypt(benchmark::State& state)
{
    RunAgeTool(state, CipherDirection::Encrypt, false);
}

void BM_AgeToolDecrypt(benchmark::State& state)
{
    RunAgeTool(state, CipherDirection::Decrypt, false);
}

void BM_AgeToolEncryptFlushed(benchmark::State& state)
{
    RunAgeTool(state, CipherDirection::Encrypt, true);
}

void BM_AgeToolDecryptFlushed(benchmark::State& state)
{
    RunAgeTool(state, CipherDirection::Decrypt, true);
}

// Wall time: the tool's work happens in another process.
BENCHMARK(BM_AgeStreamEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeToolEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeJobEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeToolEncryptFlushed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeStreamDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeToolDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeJobDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_AgeToolDecryptFlushed)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
