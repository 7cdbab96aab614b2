#include "core/jobs/age_file.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/crypto/wipe.h"
#include "core/jobs/age_armor.h"
#include "core/jobs/age_header.h"

namespace ciphra::age {
namespace {

constexpr std::size_t FileKeyBytes = 16;
constexpr std::size_t PayloadNonceBytes = 16;
constexpr std::size_t SaltBytes = 16;
constexpr std::size_t SealedChunkBytes = ChunkBytes + TagBytes;
// Chunks read or written with one system call: fewer calls, constant memory.
constexpr std::size_t ChunksPerBatch = 16;
constexpr std::string_view ScryptLabel = "age-encryption.org/v1/scrypt";
constexpr std::string_view X25519Label = "age-encryption.org/v1/X25519";
constexpr std::uint8_t ZeroNonce[NonceBytes] = {};

// Secret bytes that are wiped however the scope ends.
template <std::size_t N> struct Secret {
    std::uint8_t Bytes[N] = {};
    Secret() = default;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { SecureWipeObject(Bytes); }
};

using FileKey = Secret<FileKeyBytes>;
using Key = Secret<KeyBytes>;

// A buffer of chunks, wiped when it goes (it holds plaintext).
class ChunkBuffer {
public:
    explicit ChunkBuffer(std::size_t n) : bytes_(new std::uint8_t[n]), size_(n) {}
    ChunkBuffer(const ChunkBuffer&) = delete;
    ChunkBuffer& operator=(const ChunkBuffer&) = delete;
    ~ChunkBuffer() { SecureWipe(bytes_.get(), size_); }
    std::uint8_t* Data() noexcept { return bytes_.get(); }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};

// The STREAM nonce: an 11-byte big-endian chunk counter and the last-chunk flag.
void ChunkNonce(std::uint64_t counter, bool last, std::uint8_t nonce[NonceBytes])
{
    std::memset(nonce, 0, NonceBytes);
    for (int i = 10; i >= 3 && counter != 0; --i) {
        nonce[i] = static_cast<std::uint8_t>(counter & 0xff);
        counter >>= 8;
    }
    nonce[11] = last ? 1 : 0;
}

void DerivePayloadKey(const FileKey& fileKey, const std::uint8_t nonce[PayloadNonceBytes], Key& key)
{
    Hkdf(fileKey.Bytes, FileKeyBytes, nonce, PayloadNonceBytes, "payload", key.Bytes);
}

void HeaderMac(const FileKey& fileKey, const std::string& maced, std::uint8_t mac[KeyBytes])
{
    Key macKey;
    Hkdf(fileKey.Bytes, FileKeyBytes, nullptr, 0, "header", macKey.Bytes);
    HmacSha256(macKey.Bytes, maced.data(), maced.size(), mac);
}

Bytes Wrap(const Key& wrapKey, const FileKey& fileKey)
{
    Bytes body(FileKeyBytes + TagBytes);
    Sealer(wrapKey.Bytes).Seal(ZeroNonce, fileKey.Bytes, FileKeyBytes, body.data());
    return body;
}

bool Unwrap(const Key& wrapKey, const Bytes& body, FileKey& fileKey)
{
    return Sealer(wrapKey.Bytes).Open(ZeroNonce, body.data(), body.size(), fileKey.Bytes);
}

void ScryptWrapKey(std::string_view password, const std::uint8_t* salt, int logN, Key& key)
{
    std::uint8_t labelled[ScryptLabel.size() + SaltBytes];
    std::memcpy(labelled, ScryptLabel.data(), ScryptLabel.size());
    std::memcpy(labelled + ScryptLabel.size(), salt, SaltBytes);
    Scrypt(password, labelled, sizeof labelled, logN, key.Bytes);
}

// Gives false when X25519 of the two is all zeros.
bool X25519WrapKey(const std::uint8_t secret[KeyBytes], const std::uint8_t share[KeyBytes],
                   const std::uint8_t recipient[KeyBytes], Key& key)
{
    Key shared;
    if (!X25519Shared(secret, share, shared.Bytes)) {
        return false;
    }
    std::uint8_t salt[2 * KeyBytes];
    std::memcpy(salt, share, KeyBytes);
    std::memcpy(salt + KeyBytes, recipient, KeyBytes);
    Hkdf(shared.Bytes, KeyBytes, salt, sizeof salt, X25519Label, key.Bytes);
    return true;
}

Stanza PasswordStanza(std::string_view password, int logN, const FileKey& fileKey)
{
    std::uint8_t salt[SaltBytes];
    RandomBytes(salt, SaltBytes);
    Key wrapKey;
    ScryptWrapKey(password, salt, logN, wrapKey);
    Stanza stanza;
    stanza.Args = {"scrypt", EncodeBase64(salt, SaltBytes, false), std::to_string(logN)};
    stanza.Body = Wrap(wrapKey, fileKey);
    return stanza;
}

Stanza RecipientStanza(const Recipient& recipient, const FileKey& fileKey)
{
    Key ephemeral;
    RandomBytes(ephemeral.Bytes, KeyBytes);
    std::uint8_t share[KeyBytes];
    X25519Public(ephemeral.Bytes, share);
    Key wrapKey;
    Key shared;
    if (!X25519Shared(ephemeral.Bytes, recipient.Public, shared.Bytes)) {
        throw Exception("the recipient " + RecipientText(recipient) + " is not a usable key");
    }
    std::uint8_t salt[2 * KeyBytes];
    std::memcpy(salt, share, KeyBytes);
    std::memcpy(salt + KeyBytes, recipient.Public, KeyBytes);
    Hkdf(shared.Bytes, KeyBytes, salt, sizeof salt, X25519Label, wrapKey.Bytes);
    Stanza stanza;
    stanza.Args = {"X25519", EncodeBase64(share, KeyBytes, false)};
    stanza.Body = Wrap(wrapKey, fileKey);
    return stanza;
}

// The work factor of an scrypt stanza: digits without a leading zero, at
// most MostWorkFactor (more would take minutes and gigabytes).
int WorkFactorOf(const std::string& text)
{
    const bool digits =
        !text.empty() && text[0] != '0' &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        throw AgeError(Problem::Header, "its age header is damaged (a malformed work factor)");
    }
    if (text.size() > 2 || std::stoi(text) > MostWorkFactor) {
        throw AgeError(Problem::WorkFactor, "its password work factor (2^" + text.substr(0, 20) +
                                                ") is higher than the 2^" +
                                                std::to_string(MostWorkFactor) +
                                                " this program accepts");
    }
    return std::stoi(text);
}

[[noreturn]] void StanzaFault(const char* what)
{
    throw AgeError(Problem::Header, std::string("its age header is damaged (") + what + ")");
}

void UnwrapWithPassword(const Stanza& stanza, const Keys& keys, FileKey& fileKey)
{
    if (stanza.Args.size() != 3) {
        StanzaFault("a password stanza has the wrong number of arguments");
    }
    const std::optional<Bytes> salt = DecodeBase64(stanza.Args[1], false);
    if (!salt || salt->size() != SaltBytes) {
        StanzaFault("a password stanza's salt is malformed");
    }
    const int logN = WorkFactorOf(stanza.Args[2]);
    if (stanza.Body.size() != FileKeyBytes + TagBytes) {
        StanzaFault("a password stanza's body has the wrong length");
    }
    if (keys.Password.empty()) {
        throw AgeError(Problem::NeedsPassword, "it is encrypted with a password");
    }
    Key wrapKey;
    ScryptWrapKey(keys.Password, salt->data(), logN, wrapKey);
    if (!Unwrap(wrapKey, stanza.Body, fileKey)) {
        throw AgeError(Problem::WrongPassword, "wrong password");
    }
}

// The share of an X25519 stanza, checked as the format requires.
Bytes ShareOf(const Stanza& stanza)
{
    if (stanza.Args.size() != 2) {
        StanzaFault("an X25519 stanza has the wrong number of arguments");
    }
    std::optional<Bytes> share = DecodeBase64(stanza.Args[1], false);
    if (!share || share->size() != KeyBytes) {
        StanzaFault("an X25519 stanza's share is malformed");
    }
    if (stanza.Body.size() != FileKeyBytes + TagBytes) {
        StanzaFault("an X25519 stanza's body has the wrong length");
    }
    return *share;
}

void UnwrapWithIdentities(const Header& header, const Keys& keys, FileKey& fileKey)
{
    std::string others; // the types of stanzas this program does not know
    for (const Stanza& stanza : header.Stanzas) {
        if (stanza.Args[0] != "X25519") {
            if (others.find(stanza.Args[0]) == std::string::npos) {
                others += (others.empty() ? "" : ", ") + stanza.Args[0].substr(0, 40);
            }
            continue;
        }
        const Bytes share = ShareOf(stanza);
        for (const Identity& identity : keys.Identities) {
            const Recipient recipient = RecipientOf(identity);
            Key wrapKey;
            if (!X25519WrapKey(identity.Secret, share.data(), recipient.Public, wrapKey)) {
                StanzaFault("an X25519 stanza's share is a point of low order");
            }
            if (Unwrap(wrapKey, stanza.Body, fileKey)) {
                return;
            }
        }
    }
    if (keys.Identities.empty()) {
        throw AgeError(Problem::NeedsIdentity,
                       "it is encrypted to recipients: an identity file is needed to open it");
    }
    if (!others.empty()) {
        throw AgeError(Problem::NoIdentityMatched,
                       "none of the identities given opens it; among its recipients are "
                       "kinds this program does not know (" +
                           others + ")");
    }
    throw AgeError(Problem::NoIdentityMatched, "none of the identities given opens it");
}

void UnwrapFileKey(const Header& header, const Keys& keys, FileKey& fileKey)
{
    const auto isPassword = [](const Stanza& s) { return s.Args[0] == "scrypt"; };
    if (std::any_of(header.Stanzas.begin(), header.Stanzas.end(), isPassword)) {
        if (header.Stanzas.size() != 1) {
            StanzaFault("a password stanza is not alone");
        }
        UnwrapWithPassword(header.Stanzas.front(), keys, fileKey);
    } else {
        UnwrapWithIdentities(header, keys, fileKey);
    }
}

void Report(StreamProgress* progress, std::uint64_t done, std::uint64_t total)
{
    if (progress != nullptr) {
        progress->BytesDone(std::min(done, total), total);
    }
}

// Writes one buffer at a time on a helper thread while the caller seals or
// opens the next one, so that the cipher and the disk work at once. Buffers
// are written in the order posted; a write that fails stops the ones after
// it, and its error is thrown to the caller at the next Post or at Finish.
// Without a thread (a file of one batch, or none could be started) each
// write runs at once on the caller's.
class WriteBehind {
public:
    using Write = std::function<void(const std::uint8_t*, std::size_t)>;

    WriteBehind(Write write, bool threaded) : write_(std::move(write))
    {
        if (threaded) {
            try {
                thread_ = std::thread([this] { Loop(); });
            } catch (const std::system_error&) {
                // Every write runs on the calling thread instead.
            }
        }
    }

    ~WriteBehind()
    {
        if (thread_.joinable()) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            wake_.notify_all();
            thread_.join(); // after the write under way, if any
        }
    }

    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Waits for the write before to end, then hands this one over. The
    // buffer must stay untouched until the next Post or Finish returns.
    void Post(const std::uint8_t* data, std::size_t n)
    {
        if (!thread_.joinable()) {
            write_(data, n);
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return data_ == nullptr; });
        if (error_) {
            std::rethrow_exception(error_);
        }
        data_ = data;
        size_ = n;
        wake_.notify_all();
    }

    // Waits until every posted write has ended; throws the error of a failed one.
    void Finish()
    {
        if (!thread_.joinable()) {
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return data_ == nullptr; });
        if (error_) {
            std::rethrow_exception(error_);
        }
    }

private:
    void Loop()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (true) {
            wake_.wait(lock, [this] { return stop_ || data_ != nullptr; });
            if (data_ == nullptr) {
                return;
            }
            const bool failed = error_ != nullptr;
            const std::uint8_t* const data = data_;
            const std::size_t size = size_;
            lock.unlock();
            std::exception_ptr error;
            if (!failed) {
                try {
                    write_(data, size);
                } catch (...) {
                    error = std::current_exception();
                }
            }
            lock.lock();
            if (error) {
                error_ = error;
            }
            data_ = nullptr;
            idle_.notify_all();
        }
    }

    Write write_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    const std::uint8_t* data_ = nullptr; // the write posted and not yet ended
    std::size_t size_ = 0;
    std::exception_ptr error_;
    bool stop_ = false;
};

// Seals the plaintext of `input` in chunks into `sink`.
void SealPayload(Sealer& sealer, File& input, Sink& sink, StreamProgress* progress)
{
    const std::uint64_t total = input.Size() - std::min(input.Size(), input.Position());
    const std::size_t capacity = ChunksPerBatch * ChunkBytes;
    const std::size_t sealedCapacity = ChunksPerBatch * SealedChunkBytes;
    ChunkBuffer plain(capacity);
    ChunkBuffer sealed(2 * sealedCapacity); // one being written, one being filled
    // A pipe's length is unknown: it may well be long.
    WriteBehind writer([&sink](const std::uint8_t* data, std::size_t n) { sink.Write(data, n); },
                       total > capacity || !input.Seekable());
    std::uint8_t nonce[NonceBytes];
    std::uint64_t counter = 0;
    std::uint64_t done = 0;
    std::size_t have = 0;
    for (int batch = 0;; batch ^= 1) {
        std::uint8_t* const into = sealed.Data() + batch * sealedCapacity;
        const std::size_t got = input.Read(plain.Data() + have, capacity - have);
        const bool end = got < capacity - have;
        have += got;
        // Until the end is seen, the last chunk read may be the file's last:
        // it waits for the next read.
        std::size_t at = 0;
        std::size_t out = 0;
        while (have - at > ChunkBytes || (end && (at < have || counter == 0))) {
            const std::size_t n = std::min(ChunkBytes, have - at);
            const bool last = end && at + n == have;
            ChunkNonce(counter++, last, nonce);
            sealer.Seal(nonce, plain.Data() + at, n, into + out);
            at += n;
            out += n + TagBytes;
            if (last) {
                break;
            }
        }
        writer.Post(into, out);
        done += at;
        Report(progress, done, total);
        if (end) {
            writer.Finish();
            return;
        }
        std::memmove(plain.Data(), plain.Data() + at, have - at);
        have -= at;
    }
}

// Opens the sealed chunks of `in` into `output`; every chunk written was checked.
void OpenPayload(Sealer& sealer, BufferedSource& in, File& output, std::uint64_t total,
                 bool threaded, StreamProgress* progress)
{
    const std::size_t capacity = ChunksPerBatch * SealedChunkBytes;
    const std::size_t plainCapacity = ChunksPerBatch * ChunkBytes;
    ChunkBuffer sealed(capacity);
    ChunkBuffer plain(2 * plainCapacity); // one being written, one being filled
    WriteBehind writer(
        [&output](const std::uint8_t* data, std::size_t n) { output.WriteAll(data, n); },
        threaded || total > capacity);
    std::uint8_t nonce[NonceBytes];
    std::uint64_t counter = 0;
    std::size_t have = 0;
    for (int batch = 0;; batch ^= 1) {
        std::uint8_t* const into = plain.Data() + batch * plainCapacity;
        const std::size_t got = in.Read(sealed.Data() + have, capacity - have);
        const bool end = got < capacity - have;
        have += got;
        std::size_t at = 0;
        std::size_t out = 0;
        const auto fail = [&](Problem problem, const std::string& what) {
            writer.Finish();
            output.WriteAll(into, out); // what was checked before the fault
            throw AgeError(problem, what);
        };
        while (have - at > SealedChunkBytes || (end && at < have) || (end && counter == 0)) {
            const std::size_t n = std::min(SealedChunkBytes, have - at);
            const bool last = end && at + n == have;
            if (n < TagBytes || (last && n == TagBytes && counter != 0)) {
                fail(n < TagBytes ? Problem::Truncated : Problem::PayloadAltered,
                     n < TagBytes ? "it is truncated: its data ends inside a chunk"
                                  : "it is damaged: its last chunk is empty");
            }
            ChunkNonce(counter, last, nonce);
            if (!sealer.Open(nonce, sealed.Data() + at, n, into + out)) {
                // Tell a file cut at a chunk's end, and a last chunk followed
                // by more data, from altered bytes. A full chunk that opens so
                // is genuine and is given out, as far as the data goes right.
                ChunkNonce(counter, !last, nonce);
                if (sealer.Open(nonce, sealed.Data() + at, n, into + out)) {
                    if (n == SealedChunkBytes) {
                        out += n - TagBytes;
                    } else {
                        SecureWipe(into + out, n - TagBytes);
                    }
                    fail(last ? Problem::Truncated : Problem::TrailingData,
                         last ? "it is truncated: its data ends before its last chunk"
                              : "it is damaged: data follows its last chunk");
                }
                fail(Problem::PayloadAltered, "it was altered or damaged: chunk " +
                                                  std::to_string(counter + 1) +
                                                  " of its data fails its check");
            }
            ++counter;
            at += n;
            out += n - TagBytes;
            if (last) {
                break;
            }
        }
        writer.Post(into, out);
        Report(progress, in.Consumed(), total);
        if (end) {
            writer.Finish();
            return;
        }
        std::memmove(sealed.Data(), sealed.Data() + at, have - at);
        have -= at;
    }
}

} // namespace

bool IsAgeFile(File& file)
{
    char start[sizeof "age-encryption.org/"] = {};
    const std::size_t n = file.Peek(start, sizeof start - 1);
    return std::string_view(start, n) == "age-encryption.org/" || IsArmored(file);
}

std::optional<Lock> LockOf(File& file)
{
    try {
        file.Seek(0);
        const std::unique_ptr<Source> source = OpenSource(file);
        BufferedSource in(*source);
        const Header header = ReadHeader(in);
        file.Seek(0);
        return header.Stanzas.front().Args[0] == "scrypt" ? Lock::Password : Lock::Recipients;
    } catch (const AgeError&) {
        file.Seek(0);
        return std::nullopt;
    }
}

void EncryptStream(File& input, File& output, const Keys& keys, StreamProgress* progress)
{
    FileKey fileKey;
    RandomBytes(fileKey.Bytes, FileKeyBytes);
    std::vector<Stanza> stanzas;
    if (keys.Recipients.empty()) {
        if (keys.Password.empty()) {
            throw Exception("the password is empty");
        }
        stanzas.push_back(PasswordStanza(keys.Password, keys.WorkFactor, fileKey));
    }
    for (const Recipient& recipient : keys.Recipients) {
        stanzas.push_back(RecipientStanza(recipient, fileKey));
    }
    std::string header = HeaderText(stanzas);
    std::uint8_t mac[KeyBytes];
    HeaderMac(fileKey, header, mac);
    header += " " + EncodeBase64(mac, KeyBytes, false) + "\n";

    std::uint8_t nonce[PayloadNonceBytes];
    RandomBytes(nonce, PayloadNonceBytes);
    Key payloadKey;
    DerivePayloadKey(fileKey, nonce, payloadKey);
    Sealer sealer(payloadKey.Bytes);

    const std::unique_ptr<Sink> sink = OpenSink(output, keys.Armor);
    sink->Write(reinterpret_cast<const std::uint8_t*>(header.data()), header.size());
    sink->Write(nonce, PayloadNonceBytes);
    SealPayload(sealer, input, *sink, progress);
    sink->End();
}

void DecryptStream(File& input, File& output, const Keys& keys, StreamProgress* progress)
{
    const std::uint64_t total = input.Size();
    const std::unique_ptr<Source> source = OpenSource(input);
    BufferedSource in(*source);
    const Header header = ReadHeader(in);
    FileKey fileKey;
    UnwrapFileKey(header, keys, fileKey);
    std::uint8_t mac[KeyBytes];
    HeaderMac(fileKey, header.Maced, mac);
    if (!SameBytes(mac, header.Mac, KeyBytes)) {
        throw AgeError(Problem::HeaderAltered, "its header was altered (its MAC does not match)");
    }
    std::uint8_t nonce[PayloadNonceBytes];
    if (in.Read(nonce, PayloadNonceBytes) != PayloadNonceBytes) {
        throw AgeError(Problem::Header, "its age header is damaged (the file ends inside it)");
    }
    Key payloadKey;
    DerivePayloadKey(fileKey, nonce, payloadKey);
    Sealer sealer(payloadKey.Bytes);
    OpenPayload(sealer, in, output, total, !input.Seekable(), progress);
}

} // namespace ciphra::age
