#include "core/jobs/hash_algorithm.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>

#include "core/crypto/sha1.h"
#include "core/error.h"

namespace ciphra {

namespace {

struct MdContextFree {
    void operator()(EVP_MD_CTX* ctx) const noexcept { EVP_MD_CTX_free(ctx); }
};

[[noreturn]] void Fail()
{
    throw Exception("SHA-256 failed in the crypto library");
}

bool SameLetters(std::string_view a, std::string_view b) noexcept
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

struct Hasher::State {
    Sha1State sha1{};
    std::unique_ptr<EVP_MD_CTX, MdContextFree> md;
};

std::size_t DigestSize(HashAlgorithm algorithm) noexcept
{
    return algorithm == HashAlgorithm::Sha1 ? Sha1DigestSize : 32;
}

std::string_view AlgorithmName(HashAlgorithm algorithm) noexcept
{
    return algorithm == HashAlgorithm::Sha1 ? "SHA-1" : "SHA-256";
}

std::string_view AlgorithmKey(HashAlgorithm algorithm) noexcept
{
    return algorithm == HashAlgorithm::Sha1 ? "sha1" : "sha256";
}

std::optional<HashAlgorithm> AlgorithmFromText(std::string_view text) noexcept
{
    for (const HashAlgorithm algorithm : {HashAlgorithm::Sha1, HashAlgorithm::Sha256}) {
        if (SameLetters(text, AlgorithmName(algorithm)) ||
            SameLetters(text, AlgorithmKey(algorithm))) {
            return algorithm;
        }
    }
    return std::nullopt;
}

std::optional<HashAlgorithm> AlgorithmOfSize(std::size_t bytes) noexcept
{
    for (const HashAlgorithm algorithm : {HashAlgorithm::Sha1, HashAlgorithm::Sha256}) {
        if (DigestSize(algorithm) == bytes) {
            return algorithm;
        }
    }
    return std::nullopt;
}

Hasher::Hasher(HashAlgorithm algorithm) : algorithm_(algorithm), state_(std::make_unique<State>())
{
    if (algorithm_ == HashAlgorithm::Sha1) {
        Sha1Start(state_->sha1);
        return;
    }
    state_->md.reset(EVP_MD_CTX_new());
    if (!state_->md || EVP_DigestInit_ex2(state_->md.get(), EVP_sha256(), nullptr) != 1) {
        Fail();
    }
}

Hasher::~Hasher() = default;

void Hasher::Add(const std::uint8_t* bytes, std::size_t n)
{
    if (algorithm_ == HashAlgorithm::Sha1) {
        Sha1Add(state_->sha1, bytes, n);
    } else if (n > 0 && EVP_DigestUpdate(state_->md.get(), bytes, n) != 1) {
        Fail();
    }
}

Digest Hasher::Finish()
{
    Digest digest(DigestSize(algorithm_));
    if (algorithm_ == HashAlgorithm::Sha1) {
        Sha1Finish(state_->sha1, digest.data());
        return digest;
    }
    unsigned int written = 0;
    if (EVP_DigestFinal_ex(state_->md.get(), digest.data(), &written) != 1 ||
        written != digest.size()) {
        Fail();
    }
    return digest;
}

} // namespace ciphra
