// Decrypts every vector file of the age format and checks the outcome and the
// payload each one names. The files are in the form of the age project's
// test kit: "key: value" lines (expect, payload, identity, passphrase,
// armored, comment, file key), an empty line, then the age file. Vectors for
// recipient types this program does not know (their identities do not
// parse) are skipped and counted.
//
// The folder read is tests/core/age/vectors; CIPHRA_AGE_VECTORS names
// another (the age project's own test kit, say) to run instead.

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/io/posix_file.h"
#include "core/jobs/age_file.h"
#include "support/test_files.h"

namespace ciphra::test {
namespace {

struct Vector {
    std::string Name;
    std::multimap<std::string, std::string> Fields;
    std::string File;

    std::string Field(const std::string& key) const
    {
        const auto it = Fields.find(key);
        return it == Fields.end() ? std::string() : it->second;
    }
};

Vector ReadVector(const std::filesystem::path& path)
{
    Vector vector;
    vector.Name = path.filename().string();
    const std::string bytes = ReadBytes(path.string());
    const std::size_t split = bytes.find("\n\n");
    std::string_view head(bytes.data(), split == std::string::npos ? 0 : split);
    while (!head.empty()) {
        const std::size_t end = head.find('\n');
        const std::string_view line = head.substr(0, end);
        const std::size_t colon = line.find(": ");
        if (colon != std::string_view::npos) {
            vector.Fields.emplace(std::string(line.substr(0, colon)),
                                  std::string(line.substr(colon + 2)));
        }
        head.remove_prefix(end == std::string_view::npos ? head.size() : end + 1);
    }
    vector.File = split == std::string::npos ? std::string() : bytes.substr(split + 2);
    return vector;
}

std::string Sha256Hex(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

// The test kit's names for the ways decrypting fails.
std::string Outcome(age::Problem problem)
{
    switch (problem) {
    case age::Problem::Armor:
        return "armor failure";
    case age::Problem::Header:
    case age::Problem::UnsupportedVersion:
    case age::Problem::WorkFactor:
        return "header failure";
    case age::Problem::NeedsPassword:
    case age::Problem::NeedsIdentity:
    case age::Problem::WrongPassword:
    case age::Problem::NoIdentityMatched:
        return "no match";
    case age::Problem::HeaderAltered:
        return "HMAC failure";
    case age::Problem::PayloadAltered:
    case age::Problem::Truncated:
    case age::Problem::TrailingData:
        return "payload failure";
    }
    return "?";
}

std::filesystem::path VectorFolder()
{
    const char* chosen = std::getenv("CIPHRA_AGE_VECTORS");
    return chosen != nullptr && *chosen != '\0' ? std::filesystem::path(chosen)
                                                : std::filesystem::path(CIPHRA_AGE_VECTOR_DIR);
}

TEST(AgeVectors, EachDecryptsAsItSays)
{
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(VectorFolder())) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") {
            paths.push_back(entry.path());
        }
    }
    ASSERT_FALSE(paths.empty()) << VectorFolder();
    std::sort(paths.begin(), paths.end());
    TempFolder folder;
    int checked = 0;
    int skipped = 0;
    for (const auto& path : paths) {
        const Vector vector = ReadVector(path);
        SCOPED_TRACE(vector.Name + ": " + vector.Field("comment"));
        age::Keys keys;
        bool known = true;
        for (auto [it, end] = vector.Fields.equal_range("identity"); it != end; ++it) {
            age::Identity identity;
            known = known && age::ParseIdentity(it->second, identity);
            keys.Identities.push_back(identity);
        }
        if (!known || vector.Fields.count("compressed") > 0) {
            ++skipped;
            continue;
        }
        const std::string passphrase = vector.Field("passphrase");
        keys.Password = passphrase;
        WriteBytes(folder / "in", vector.File);
        WriteBytes(folder / "out", "");
        File input = File::Open(folder / "in", OpenMode::ReadOnly);
        File output = File::Open(folder / "out", OpenMode::ReadWrite);
        std::string outcome = "success";
        try {
            // An armored file whose armor is not recognised is never read.
            if (vector.Field("armored") == "yes" && !age::IsAgeFile(input)) {
                throw age::AgeError(age::Problem::Armor, "not recognised");
            }
            age::DecryptStream(input, output, keys, nullptr);
        } catch (const age::AgeError& error) {
            outcome = Outcome(error.What());
        }
        output.Close();
        EXPECT_EQ(outcome, vector.Field("expect"));
        if (outcome == "success" || outcome == "payload failure") {
            // What was given out before a fault must be exactly what was
            // encrypted up to there.
            EXPECT_EQ(Sha256Hex(ReadBytes(folder / "out")), vector.Field("payload"));
        }
        ++checked;
    }
    std::printf("age vectors: %d checked, %d skipped (unknown recipient types)\n", checked,
                skipped);
}

} // namespace
} // namespace ciphra::test
