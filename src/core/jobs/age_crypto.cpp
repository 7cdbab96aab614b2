#include "core/jobs/age_crypto.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/crypto/wipe.h"
#include "core/error.h"

namespace ciphra::age {
namespace {

[[noreturn]] void Fail(const char* what)
{
    throw Exception(std::string("age: ") + what + " failed in the crypto library");
}

void Check(int result, const char* what)
{
    if (result != 1) {
        Fail(what);
    }
}

struct KdfFree {
    void operator()(EVP_KDF* kdf) const noexcept { EVP_KDF_free(kdf); }
    void operator()(EVP_KDF_CTX* ctx) const noexcept { EVP_KDF_CTX_free(ctx); }
    void operator()(EVP_PKEY* key) const noexcept { EVP_PKEY_free(key); }
    void operator()(EVP_PKEY_CTX* ctx) const noexcept { EVP_PKEY_CTX_free(ctx); }
};

// Runs the named key-derivation function with `params` into 32 bytes.
void Derive(const char* name, const OSSL_PARAM* params, std::uint8_t out[KeyBytes])
{
    const std::unique_ptr<EVP_KDF, KdfFree> kdf(EVP_KDF_fetch(nullptr, name, nullptr));
    if (!kdf) {
        Fail(name);
    }
    const std::unique_ptr<EVP_KDF_CTX, KdfFree> ctx(EVP_KDF_CTX_new(kdf.get()));
    if (!ctx) {
        Fail(name);
    }
    Check(EVP_KDF_derive(ctx.get(), out, KeyBytes, params), name);
}

std::unique_ptr<EVP_PKEY, KdfFree> X25519Key(const std::uint8_t secret[KeyBytes])
{
    std::unique_ptr<EVP_PKEY, KdfFree> key(
        EVP_PKEY_new_raw_private_key(EVP_PKEY_X25519, nullptr, secret, KeyBytes));
    if (!key) {
        Fail("X25519 key setup");
    }
    return key;
}

EVP_CIPHER_CTX* NewAead(const std::uint8_t key[KeyBytes], int encrypting)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (ctx == nullptr ||
        EVP_CipherInit_ex2(ctx, EVP_chacha20_poly1305(), key, nullptr, encrypting, nullptr) != 1) {
        EVP_CIPHER_CTX_free(ctx);
        Fail("ChaCha20-Poly1305 key setup");
    }
    return ctx;
}

} // namespace

void RandomBytes(void* out, std::size_t n)
{
    Check(RAND_bytes(static_cast<unsigned char*>(out), static_cast<int>(n)), "random bytes");
}

void Hkdf(const std::uint8_t* ikm, std::size_t ikmBytes, const std::uint8_t* salt,
          std::size_t saltBytes, std::string_view info, std::uint8_t out[KeyBytes])
{
    char digest[] = "SHA256";
    // OSSL_PARAM takes non-const pointers; the function only reads them. An
    // empty salt is left out: HKDF then uses its default, the empty salt.
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY, const_cast<std::uint8_t*>(ikm),
                                          ikmBytes),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, const_cast<char*>(info.data()),
                                          info.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<std::uint8_t*>(salt),
                                          saltBytes),
        OSSL_PARAM_construct_end(),
    };
    if (saltBytes == 0) {
        params[3] = OSSL_PARAM_construct_end();
    }
    Derive("HKDF", params, out);
}

void HmacSha256(const std::uint8_t key[KeyBytes], const void* data, std::size_t n,
                std::uint8_t out[KeyBytes])
{
    unsigned length = 0;
    if (HMAC(EVP_sha256(), key, static_cast<int>(KeyBytes), static_cast<const unsigned char*>(data),
             n, out, &length) == nullptr ||
        length != KeyBytes) {
        Fail("HMAC-SHA-256");
    }
}

void Scrypt(std::string_view password, const std::uint8_t* salt, std::size_t saltBytes, int logN,
            std::uint8_t out[KeyBytes])
{
    std::uint64_t n = std::uint64_t{1} << logN;
    std::uint32_t r = 8;
    std::uint32_t p = 1;
    // The library refuses more memory than this; scrypt needs 128 * r * N
    // bytes and a little more.
    std::uint64_t memory = 128 * std::uint64_t{r} * (n + 2) + (std::uint64_t{1} << 20);
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD,
                                          const_cast<char*>(password.data()), password.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, const_cast<std::uint8_t*>(salt),
                                          saltBytes),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_N, &n),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_R, &r),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_SCRYPT_P, &p),
        OSSL_PARAM_construct_uint64(OSSL_KDF_PARAM_SCRYPT_MAXMEM, &memory),
        OSSL_PARAM_construct_end(),
    };
    Derive("SCRYPT", params, out);
}

void X25519Public(const std::uint8_t secret[KeyBytes], std::uint8_t out[KeyBytes])
{
    const auto key = X25519Key(secret);
    std::size_t length = KeyBytes;
    Check(EVP_PKEY_get_raw_public_key(key.get(), out, &length), "X25519");
}

bool X25519Shared(const std::uint8_t secret[KeyBytes], const std::uint8_t peer[KeyBytes],
                  std::uint8_t out[KeyBytes])
{
    const auto key = X25519Key(secret);
    const std::unique_ptr<EVP_PKEY, KdfFree> peerKey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_X25519, nullptr, peer, KeyBytes));
    const std::unique_ptr<EVP_PKEY_CTX, KdfFree> ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
    if (!peerKey || !ctx) {
        Fail("X25519");
    }
    Check(EVP_PKEY_derive_init(ctx.get()), "X25519");
    Check(EVP_PKEY_derive_set_peer(ctx.get(), peerKey.get()), "X25519");
    std::size_t length = KeyBytes;
    // OpenSSL itself refuses a result of all zero bytes.
    if (EVP_PKEY_derive(ctx.get(), out, &length) != 1 || length != KeyBytes) {
        SecureWipe(out, KeyBytes);
        return false;
    }
    static const std::uint8_t zero[KeyBytes] = {};
    if (SameBytes(out, zero, KeyBytes)) {
        return false;
    }
    return true;
}

bool SameBytes(const void* a, const void* b, std::size_t n) noexcept
{
    return CRYPTO_memcmp(a, b, n) == 0;
}

Sealer::Sealer(const std::uint8_t key[KeyBytes])
{
    sealing_ = NewAead(key, 1);
    try {
        opening_ = NewAead(key, 0);
    } catch (...) {
        EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(sealing_));
        throw;
    }
}

Sealer::~Sealer()
{
    EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(sealing_));
    EVP_CIPHER_CTX_free(static_cast<EVP_CIPHER_CTX*>(opening_));
}

void Sealer::Seal(const std::uint8_t nonce[NonceBytes], const std::uint8_t* in, std::size_t n,
                  std::uint8_t* out)
{
    auto* ctx = static_cast<EVP_CIPHER_CTX*>(sealing_);
    int length = 0;
    Check(EVP_CipherInit_ex2(ctx, nullptr, nullptr, nonce, 1, nullptr), "ChaCha20-Poly1305");
    Check(EVP_CipherUpdate(ctx, out, &length, in, static_cast<int>(n)), "ChaCha20-Poly1305");
    Check(EVP_CipherFinal_ex(ctx, out + length, &length), "ChaCha20-Poly1305");
    Check(EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_GET_TAG, static_cast<int>(TagBytes), out + n),
          "ChaCha20-Poly1305");
}

bool Sealer::Open(const std::uint8_t nonce[NonceBytes], const std::uint8_t* in, std::size_t n,
                  std::uint8_t* out)
{
    auto* ctx = static_cast<EVP_CIPHER_CTX*>(opening_);
    const std::size_t plain = n - TagBytes;
    std::uint8_t tag[TagBytes];
    std::memcpy(tag, in + plain, TagBytes);
    int length = 0;
    Check(EVP_CipherInit_ex2(ctx, nullptr, nullptr, nonce, 0, nullptr), "ChaCha20-Poly1305");
    Check(EVP_CipherUpdate(ctx, out, &length, in, static_cast<int>(plain)), "ChaCha20-Poly1305");
    Check(EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_AEAD_SET_TAG, static_cast<int>(TagBytes), tag),
          "ChaCha20-Poly1305");
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx, out + length, &tail) != 1) {
        SecureWipe(out, plain);
        return false;
    }
    return true;
}

} // namespace ciphra::age
