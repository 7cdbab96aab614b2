// Our Twofish and SHA-1 side by side with libgcrypt, Botan and OpenSSL, in
// one process. Run with --benchmark_repetitions=5
// --benchmark_enable_random_interleaving=true so that the libraries take
// turns. Each benchmark reports "cpb": time-stamp-counter cycles per
// byte (or per key setup for the key benchmarks, "cycles").
//
// With CIPHRA_CPU_FEATURES set without "sha", libgcrypt's SHA extensions are
// switched off as well; mask OpenSSL's with OPENSSL_ia32cap=":~0x20000000".

#include "core/crypto/sha1.h"
#include "core/crypto/twofish.h"

#include <benchmark/benchmark.h>
#include <botan/block_cipher.h>
#include <botan/cipher_mode.h>
#include <gcrypt.h>
#include <openssl/evp.h>
#include <x86intrin.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t Bytes = 16 * 1024; // per CBC or hash call
constexpr std::size_t Cfb8Bytes = 1024;  // per CFB-8 call

// TSC ticks per nanosecond, measured once against the monotonic clock.
double TscPerNanosecond()
{
    static const double rate = [] {
        timespec start{};
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &start);
        const std::uint64_t tscStart = __rdtsc();
        double elapsed = 0;
        do {
            clock_gettime(CLOCK_MONOTONIC, &now);
            elapsed = static_cast<double>(now.tv_sec - start.tv_sec) * 1e9 +
                      static_cast<double>(now.tv_nsec - start.tv_nsec);
        } while (elapsed < 50e6);
        return static_cast<double>(__rdtsc() - tscStart) / elapsed;
    }();
    return rate;
}

double ThreadCpuNanoseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Runs body() for every iteration and records cycles per unit: the thread's
// CPU time (so time spent waiting for a core on a busy machine is left out)
// in TSC cycles, as this machine exposes no core cycle counter.
template <typename Body>
void Timed(benchmark::State& state, double unitsPerIteration, const char* counter, Body body)
{
    const double rate = TscPerNanosecond();
    const double start = ThreadCpuNanoseconds();
    for (auto _ : state) {
        body();
    }
    const double cycles = (ThreadCpuNanoseconds() - start) * rate;
    const double units = static_cast<double>(state.iterations()) * unitsPerIteration;
    state.counters[counter] = cycles / units;
    if (std::strcmp(counter, "cpb") == 0) {
        state.SetBytesProcessed(static_cast<std::int64_t>(units));
    }
}

std::vector<std::uint8_t> Key(std::size_t n)
{
    std::vector<std::uint8_t> key(n);
    for (std::size_t i = 0; i < n; ++i) {
        key[i] = static_cast<std::uint8_t>(i * 29 + 3);
    }
    return key;
}

ciphra::TwofishContext OurContext(std::size_t keyBytes)
{
    const auto key = Key(keyBytes);
    ciphra::TwofishContext ctx;
    ciphra::TwofishSetKey(ctx, key.data(), static_cast<std::int32_t>(keyBytes), nullptr);
    ciphra::TwofishDeriveStartVector(ctx);
    return ctx;
}

struct Gcry {
    gcry_cipher_hd_t handle = nullptr;
    Gcry(int algo, int mode, std::size_t keyBytes)
    {
        gcry_cipher_open(&handle, algo, mode, 0);
        const auto key = Key(keyBytes);
        gcry_cipher_setkey(handle, key.data(), keyBytes);
        const std::uint8_t iv[16] = {};
        gcry_cipher_setiv(handle, iv, 16);
    }
    ~Gcry() { gcry_cipher_close(handle); }
};

std::unique_ptr<Botan::Cipher_Mode> BotanCbc(Botan::Cipher_Dir dir)
{
    auto mode = Botan::Cipher_Mode::create("Twofish/CBC/NoPadding", dir);
    mode->set_key(Key(24));
    mode->start(std::vector<std::uint8_t>(16));
    return mode;
}

// --- CBC encrypt ---------------------------------------------------------

void CbcEncrypt_Ours(benchmark::State& state)
{
    auto ctx = OurContext(24);
    std::vector<std::uint8_t> buf(Bytes, 0x33);
    Timed(state, Bytes, "cpb",
          [&] { ciphra::TwofishCBCEncryptBlocks(ctx, buf.data(), buf.data(), Bytes / 16); });
    benchmark::DoNotOptimize(buf.data());
}
void CbcEncrypt_Gcrypt(benchmark::State& state)
{
    Gcry g(GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_CBC, 32);
    std::vector<std::uint8_t> buf(Bytes, 0x33);
    Timed(state, Bytes, "cpb",
          [&] { gcry_cipher_encrypt(g.handle, buf.data(), Bytes, nullptr, 0); });
}
void CbcEncrypt_Botan(benchmark::State& state)
{
    auto mode = BotanCbc(Botan::ENCRYPTION);
    std::vector<std::uint8_t> buf(Bytes, 0x33);
    Timed(state, Bytes, "cpb", [&] { mode->process(buf.data(), Bytes); });
}
BENCHMARK(CbcEncrypt_Ours);
BENCHMARK(CbcEncrypt_Gcrypt);
BENCHMARK(CbcEncrypt_Botan);

// --- CBC decrypt ---------------------------------------------------------

void CbcDecrypt_Ours(benchmark::State& state)
{
    auto ctx = OurContext(24);
    std::vector<std::uint8_t> buf(Bytes, 0x33);
    Timed(state, Bytes, "cpb",
          [&] { ciphra::TwofishCBCDecryptBlocks(ctx, buf.data(), buf.data(), Bytes / 16); });
    benchmark::DoNotOptimize(buf.data());
}
void CbcDecrypt_Gcrypt(benchmark::State& state)
{
    Gcry g(GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_CBC, 32);
    std::vector<std::uint8_t> buf(Bytes, 0x33);
    Timed(state, Bytes, "cpb",
          [&] { gcry_cipher_decrypt(g.handle, buf.data(), Bytes, nullptr, 0); });
}
void CbcDecrypt_Botan(benchmark::State& state)
{
    auto mode = BotanCbc(Botan::DECRYPTION);
    std::vector<std::uint8_t> buf(Bytes, 0x33);
    Timed(state, Bytes, "cpb", [&] { mode->process(buf.data(), Bytes); });
}
BENCHMARK(CbcDecrypt_Ours);
BENCHMARK(CbcDecrypt_Gcrypt);
BENCHMARK(CbcDecrypt_Botan);

// --- CFB-8 ---------------------------------------------------------------

void Cfb8Encrypt_Ours(benchmark::State& state)
{
    auto ctx = OurContext(24);
    std::vector<std::uint8_t> buf(Cfb8Bytes, 0x33);
    Timed(state, Cfb8Bytes, "cpb", [&] {
        ciphra::TwofishCFB8Encrypt(ctx, buf.data(), buf.data(),
                                   static_cast<std::int32_t>(Cfb8Bytes));
    });
    benchmark::DoNotOptimize(buf.data());
}
void Cfb8Encrypt_Gcrypt(benchmark::State& state)
{
    Gcry g(GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_CFB8, 32);
    std::vector<std::uint8_t> buf(Cfb8Bytes, 0x33);
    Timed(state, Cfb8Bytes, "cpb",
          [&] { gcry_cipher_encrypt(g.handle, buf.data(), Cfb8Bytes, nullptr, 0); });
}
BENCHMARK(Cfb8Encrypt_Ours);
BENCHMARK(Cfb8Encrypt_Gcrypt);

// --- Key setup -----------------------------------------------------------

void KeySetup192_Ours(benchmark::State& state)
{
    const auto key = Key(24);
    ciphra::TwofishContext ctx;
    Timed(state, 1, "cycles", [&] {
        ciphra::TwofishSetKey(ctx, key.data(), 24, nullptr);
        benchmark::DoNotOptimize(ctx);
    });
}
void KeySetup192_Botan(benchmark::State& state)
{
    const auto key = Key(24);
    auto cipher = Botan::BlockCipher::create("Twofish");
    Timed(state, 1, "cycles", [&] { cipher->set_key(key.data(), key.size()); });
}
void KeySetup128_Ours(benchmark::State& state)
{
    const auto key = Key(16);
    ciphra::TwofishContext ctx;
    Timed(state, 1, "cycles", [&] {
        ciphra::TwofishSetKey(ctx, key.data(), 16, nullptr);
        benchmark::DoNotOptimize(ctx);
    });
}
void KeySetup128_Gcrypt(benchmark::State& state)
{
    const auto key = Key(16);
    gcry_cipher_hd_t handle;
    gcry_cipher_open(&handle, GCRY_CIPHER_TWOFISH128, GCRY_CIPHER_MODE_ECB, 0);
    Timed(state, 1, "cycles", [&] { gcry_cipher_setkey(handle, key.data(), 16); });
    gcry_cipher_close(handle);
}
BENCHMARK(KeySetup192_Ours);
BENCHMARK(KeySetup192_Botan);
BENCHMARK(KeySetup128_Ours);
BENCHMARK(KeySetup128_Gcrypt);

// --- SHA-1 ---------------------------------------------------------------

void Sha1_Ours(benchmark::State& state)
{
    std::vector<std::uint8_t> buf(Bytes, 0x61);
    std::uint8_t digest[ciphra::Sha1DigestSize];
    Timed(state, Bytes, "cpb", [&] {
        ciphra::Sha1State sha;
        ciphra::Sha1Start(sha);
        ciphra::Sha1Add(sha, buf.data(), buf.size());
        ciphra::Sha1Finish(sha, digest);
        benchmark::DoNotOptimize(digest);
    });
}
void Sha1_OpenSSL(benchmark::State& state)
{
    std::vector<std::uint8_t> buf(Bytes, 0x61);
    unsigned char digest[20];
    unsigned int length = 0;
    Timed(state, Bytes, "cpb", [&] {
        EVP_Digest(buf.data(), buf.size(), digest, &length, EVP_sha1(), nullptr);
        benchmark::DoNotOptimize(digest);
    });
}
void Sha1_Gcrypt(benchmark::State& state)
{
    std::vector<std::uint8_t> buf(Bytes, 0x61);
    unsigned char digest[20];
    Timed(state, Bytes, "cpb", [&] {
        gcry_md_hash_buffer(GCRY_MD_SHA1, digest, buf.data(), buf.size());
        benchmark::DoNotOptimize(digest);
    });
}
BENCHMARK(Sha1_Ours);
BENCHMARK(Sha1_OpenSSL);
BENCHMARK(Sha1_Gcrypt);

} // namespace

int main(int argc, char** argv)
{
    const char* forced = std::getenv("CIPHRA_CPU_FEATURES");
    if (forced != nullptr && std::strstr(forced, "sha") == nullptr) {
        gcry_control(GCRYCTL_DISABLE_HWF, "intel-shaext", nullptr);
    }
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
