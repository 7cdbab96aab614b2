#pragma once
// The primitives of the age format, all from OpenSSL's libcrypto:
// ChaCha20-Poly1305, X25519, scrypt, HKDF-SHA-256, HMAC-SHA-256 and the
// system's random bytes. Every failure of the library throws
// ciphra::Exception; nothing here keeps a secret after it returns, except a
// Sealer, whose context holds its key until it is destroyed.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ciphra::age {

inline constexpr std::size_t KeyBytes = 32;   // every derived key and every X25519 value
inline constexpr std::size_t TagBytes = 16;   // Poly1305's tag
inline constexpr std::size_t NonceBytes = 12; // ChaCha20-Poly1305's nonce

void RandomBytes(void* out, std::size_t n);

// HKDF-SHA-256 (extract with `salt`, expand with `info`) to 32 bytes.
void Hkdf(const std::uint8_t* ikm, std::size_t ikmBytes, const std::uint8_t* salt,
          std::size_t saltBytes, std::string_view info, std::uint8_t out[KeyBytes]);

void HmacSha256(const std::uint8_t key[KeyBytes], const void* data, std::size_t n,
                std::uint8_t out[KeyBytes]);

// scrypt with N = 2^logN, r = 8, p = 1, to 32 bytes.
void Scrypt(std::string_view password, const std::uint8_t* salt, std::size_t saltBytes, int logN,
            std::uint8_t out[KeyBytes]);

// X25519 of `secret` and the base point: the public value.
void X25519Public(const std::uint8_t secret[KeyBytes], std::uint8_t out[KeyBytes]);
// X25519 of `secret` and `peer`. False when the result is all zero bytes
// (a peer value of low order), which the format forbids using.
bool X25519Shared(const std::uint8_t secret[KeyBytes], const std::uint8_t peer[KeyBytes],
                  std::uint8_t out[KeyBytes]);

// True when the two byte strings are equal, in time independent of where they differ.
bool SameBytes(const void* a, const void* b, std::size_t n) noexcept;

// ChaCha20-Poly1305 with one key and a nonce per message. The key is set
// once; each message only sets its nonce, so a stream of chunks pays the key
// setup once.
class Sealer {
public:
    explicit Sealer(const std::uint8_t key[KeyBytes]);
    Sealer(const Sealer&) = delete;
    Sealer& operator=(const Sealer&) = delete;
    ~Sealer(); // frees the contexts, which OpenSSL clears

    // Writes n bytes of ciphertext and the tag (n + TagBytes) to `out`.
    void Seal(const std::uint8_t nonce[NonceBytes], const std::uint8_t* in, std::size_t n,
              std::uint8_t* out);
    // `n` counts the tag (n >= TagBytes). Writes n - TagBytes bytes to `out`
    // and returns true when the tag matches; on false `out` holds no
    // plaintext that may be used (it is wiped).
    bool Open(const std::uint8_t nonce[NonceBytes], const std::uint8_t* in, std::size_t n,
              std::uint8_t* out);

private:
    void* sealing_ = nullptr; // EVP_CIPHER_CTX
    void* opening_ = nullptr; // EVP_CIPHER_CTX
};

} // namespace ciphra::age
