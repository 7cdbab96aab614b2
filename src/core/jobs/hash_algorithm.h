#pragma once
// The digests the hash commands offer: SHA-1 (the program's own code, as
// the password digests use it) and SHA-256 (OpenSSL's libcrypto).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace ciphra {

enum class HashAlgorithm { Sha1, Sha256 };

// The bytes of one digest: 20 for SHA-1, 32 for SHA-256.
using Digest = std::vector<std::uint8_t>;

std::size_t DigestSize(HashAlgorithm algorithm) noexcept;
// "SHA-1" or "SHA-256", as reports and messages name them.
std::string_view AlgorithmName(HashAlgorithm algorithm) noexcept;
// "sha1" or "sha256", as the command line and the settings spell them.
std::string_view AlgorithmKey(HashAlgorithm algorithm) noexcept;
// Reads either spelling, in any case; nothing for another text.
std::optional<HashAlgorithm> AlgorithmFromText(std::string_view text) noexcept;
// The algorithm whose digests have `bytes` bytes, if one has.
std::optional<HashAlgorithm> AlgorithmOfSize(std::size_t bytes) noexcept;

// A running digest: Add the bytes in order, then Finish once. A failure of
// the crypto library throws ciphra::Exception.
class Hasher {
public:
    explicit Hasher(HashAlgorithm algorithm);
    Hasher(const Hasher&) = delete;
    Hasher& operator=(const Hasher&) = delete;
    ~Hasher();

    void Add(const std::uint8_t* bytes, std::size_t n);
    Digest Finish();

private:
    struct State;
    HashAlgorithm algorithm_;
    std::unique_ptr<State> state_;
};

} // namespace ciphra
