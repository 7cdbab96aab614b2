#include "core/jobs/age_keys.h"

#include <algorithm>
#include <ctime>
#include <string>

#include "core/crypto/wipe.h"
#include "core/error.h"
#include "core/io/posix_file.h"
#include "core/jobs/age_text.h"

namespace ciphra::age {
namespace {

constexpr std::string_view RecipientPrefix = "age";
constexpr std::string_view IdentityPrefix = "age-secret-key-";
// No key file is this large; a longer one is not read into memory.
constexpr std::size_t LongestKeyFile = std::size_t{1} << 20;

// The whole file into wiped memory.
void ReadKeyFile(const std::string& path, SecretText& text)
{
    char buffer[4096];
    try {
        File file = File::OpenRegular(path, OpenMode::ReadOnly);
        std::size_t n = 0;
        while ((n = file.Read(buffer, sizeof buffer)) > 0) {
            text.Append(buffer, n);
            if (text.Size() > LongestKeyFile) {
                SecureWipe(buffer, sizeof buffer);
                throw Exception(path + ": too large for a key file");
            }
        }
    } catch (const FileError& error) {
        SecureWipe(buffer, sizeof buffer);
        throw FileError(error.ErrorNumber(), path + ": " + error.what());
    }
    SecureWipe(buffer, sizeof buffer);
}

// Calls `each(line, number)` for every line that is not empty or a comment,
// without its line break.
template <typename Each> void ForEachKeyLine(std::string_view text, Each each)
{
    int number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.front() != '#') {
            each(line, number);
        }
    }
}

std::string LineProblem(const std::string& path, int number, const std::string& what)
{
    return path + ":" + std::to_string(number) + ": " + what;
}

} // namespace

Identity::Identity(const Identity& other)
{
    std::copy(std::begin(other.Secret), std::end(other.Secret), Secret);
}

Identity& Identity::operator=(const Identity& other)
{
    if (this != &other) {
        std::copy(std::begin(other.Secret), std::end(other.Secret), Secret);
    }
    return *this;
}

Identity::~Identity()
{
    SecureWipeObject(Secret);
}

std::optional<Recipient> ParseRecipient(std::string_view text)
{
    const std::optional<Bech32Text> decoded = DecodeBech32(text);
    // Recipients are written in lower case only.
    if (!decoded || decoded->Hrp != RecipientPrefix || decoded->Data.size() != KeyBytes ||
        text.front() != 'a') {
        return std::nullopt;
    }
    Recipient out;
    std::copy(decoded->Data.begin(), decoded->Data.end(), out.Public);
    return out;
}

bool ParseIdentity(std::string_view text, Identity& out)
{
    std::optional<Bech32Text> decoded = DecodeBech32(text);
    const bool ok = decoded && decoded->Hrp == IdentityPrefix && decoded->Data.size() == KeyBytes;
    if (ok) {
        std::copy(decoded->Data.begin(), decoded->Data.end(), out.Secret);
    }
    if (decoded) {
        SecureWipe(decoded->Data.data(), decoded->Data.size());
    }
    return ok;
}

std::string RecipientText(const Recipient& recipient)
{
    return EncodeBech32(RecipientPrefix, recipient.Public, KeyBytes, false);
}

void IdentityText(const Identity& identity, SecretText& out)
{
    std::string text = EncodeBech32(IdentityPrefix, identity.Secret, KeyBytes, true);
    out.Append(text.data(), text.size());
    SecureWipe(text.data(), text.size());
}

Recipient RecipientOf(const Identity& identity)
{
    Recipient out;
    X25519Public(identity.Secret, out.Public);
    return out;
}

void GenerateIdentity(Identity& out)
{
    RandomBytes(out.Secret, KeyBytes);
}

std::vector<Recipient> ReadRecipientsFile(const std::string& path)
{
    SecretText text;
    ReadKeyFile(path, text);
    std::vector<Recipient> out;
    ForEachKeyLine(text.View(), [&](std::string_view line, int number) {
        const std::optional<Recipient> recipient = ParseRecipient(line);
        if (!recipient) {
            throw Exception(LineProblem(path, number, "not an age recipient (age1...)"));
        }
        out.push_back(*recipient);
    });
    if (out.empty()) {
        throw Exception(path + ": no recipient in the file");
    }
    return out;
}

std::vector<Identity> ReadIdentityFile(const std::string& path)
{
    SecretText text;
    ReadKeyFile(path, text);
    std::vector<Identity> out;
    ForEachKeyLine(text.View(), [&](std::string_view line, int number) {
        Identity identity;
        if (!ParseIdentity(line, identity)) {
            // The line is a secret: it is not repeated in the message.
            throw Exception(
                LineProblem(path, number,
                            "not an identity of a kind this program knows (AGE-SECRET-KEY-1...)"));
        }
        out.push_back(identity);
    });
    if (out.empty()) {
        throw Exception(path + ": no identity in the file");
    }
    return out;
}

void IdentityFileText(const Identity& identity, std::string_view created, SecretText& out)
{
    const std::string head = "# created: " + std::string(created) +
                             "\n# public key: " + RecipientText(RecipientOf(identity)) + "\n";
    out.Append(head.data(), head.size());
    IdentityText(identity, out);
    out.Append("\n", 1);
}

std::string CreatedTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[40] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string out = text;
    // strftime writes the offset as "+0200"; RFC 3339 wants "+02:00", or "Z" for UTC.
    if (out.ends_with("+0000")) {
        out.replace(out.size() - 5, 5, "Z");
    } else if (out.size() >= 5) {
        out.insert(out.size() - 2, ":");
    }
    return out;
}

} // namespace ciphra::age
