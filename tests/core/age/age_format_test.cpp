// The age format's parts: its encodings, keys and key files, the stream in
// both directions at the sizes where chunks begin and end, and the faults
// decrypting must tell apart. Files made by other tools are the vectors'
// and the command-line tests' business.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/io/posix_file.h"
#include "core/jobs/age_file.h"
#include "core/jobs/age_text.h"
#include "core/jobs/file_cipher.h"
#include "support/test_files.h"

namespace ciphra::test {
namespace {

using age::Problem;

constexpr std::size_t Chunk = age::ChunkBytes;
constexpr int QuickWorkFactor = 10; // the format's own test files use it too

// The age format's own example key pair.
constexpr const char* ExampleIdentity =
    "AGE-SECRET-KEY-1GFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPYYSJZGFPQ4EGAEX";
constexpr const char* ExampleRecipient =
    "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73equnujwj";

age::Identity NewIdentity()
{
    age::Identity identity;
    age::GenerateIdentity(identity);
    return identity;
}

age::Keys PasswordKeys(std::string_view password)
{
    age::Keys keys;
    keys.Password = password;
    keys.WorkFactor = QuickWorkFactor;
    return keys;
}

class AgeStream : public ::testing::Test {
protected:
    TempFolder folder_;

    std::string Encrypt(const std::string& plain, const age::Keys& keys)
    {
        WriteBytes(folder_ / "plain", plain);
        WriteBytes(folder_ / "sealed", "");
        File input = File::Open(folder_ / "plain", OpenMode::ReadOnly);
        File output = File::Open(folder_ / "sealed", OpenMode::ReadWrite);
        age::EncryptStream(input, output, keys, nullptr);
        return ReadBytes(folder_ / "sealed");
    }

    // The plaintext, or the problem decrypting met.
    std::string Decrypt(const std::string& sealed, const age::Keys& keys,
                        std::optional<Problem>* problem = nullptr)
    {
        WriteBytes(folder_ / "sealed", sealed);
        WriteBytes(folder_ / "opened", "");
        File input = File::Open(folder_ / "sealed", OpenMode::ReadOnly);
        File output = File::Open(folder_ / "opened", OpenMode::ReadWrite);
        try {
            age::DecryptStream(input, output, keys, nullptr);
        } catch (const age::AgeError& error) {
            if (problem == nullptr) {
                throw;
            }
            *problem = error.What();
        }
        return ReadBytes(folder_ / "opened");
    }

    std::optional<Problem> ProblemOf(const std::string& sealed, const age::Keys& keys)
    {
        std::optional<Problem> problem;
        Decrypt(sealed, keys, &problem);
        return problem;
    }
};

TEST(AgeText, Base64IsCanonicalOnly)
{
    struct Case {
        const char* Text;
        bool Padded;
        const char* Bytes; // nullptr: refused
    };
    const Case cases[] = {
        {"", false, ""},           {"Zg", false, "f"},         {"Zm8", false, "fo"},
        {"Zm9v", false, "foo"},    {"Zg==", true, "f"},        {"Zm8=", true, "fo"},
        {"Zg==", false, nullptr},  {"Zh", false, nullptr},     {"Zm9", false, nullptr},
        {"Z", false, nullptr},     {"Zg", true, nullptr},      {"Zg=a", true, nullptr},
        {"Zm 9v", false, nullptr}, {"Zm\r9v", false, nullptr}, {"Zm9v-_", false, nullptr},
        {"=Zm9", true, nullptr},
    };
    for (const Case& c : cases) {
        const auto decoded = age::DecodeBase64(c.Text, c.Padded);
        if (c.Bytes == nullptr) {
            EXPECT_FALSE(decoded) << c.Text;
            continue;
        }
        ASSERT_TRUE(decoded) << c.Text;
        EXPECT_EQ(std::string(decoded->begin(), decoded->end()), c.Bytes) << c.Text;
        EXPECT_EQ(age::EncodeBase64(decoded->data(), decoded->size(), c.Padded), c.Text);
    }
}

TEST(AgeKeys, TheFormatsExamplePairAndBrokenKeys)
{
    age::Identity identity;
    ASSERT_TRUE(age::ParseIdentity(ExampleIdentity, identity));
    EXPECT_EQ(age::RecipientText(age::RecipientOf(identity)), ExampleRecipient);
    SecretText text;
    age::IdentityText(identity, text);
    EXPECT_EQ(text.View(), ExampleIdentity);
    ASSERT_TRUE(age::ParseRecipient(ExampleRecipient));
    EXPECT_EQ(age::RecipientText(*age::ParseRecipient(ExampleRecipient)), ExampleRecipient);

    std::string mixedCase = ExampleRecipient;
    mixedCase[5] = static_cast<char>(mixedCase[5] - 32);
    std::string wrongCheck = ExampleRecipient;
    wrongCheck.back() = wrongCheck.back() == 'q' ? 'p' : 'q';
    const std::string recipients[] = {
        mixedCase,
        wrongCheck,
        "AGE1ZVKYG2LQZRAA2LNJVQEJ32NKUU0UES2S82HZRYE869XEEXVN73EQUNUJWJ",
        ExampleIdentity,
        "age1",
        "",
        "age1zvkyg2lqzraa2lnjvqej32nkuu0ues2s82hzrye869xeexvn73e"};
    for (const std::string& text : recipients) {
        EXPECT_FALSE(age::ParseRecipient(text)) << text;
    }
    age::Identity ignored;
    EXPECT_FALSE(age::ParseIdentity(ExampleRecipient, ignored));
    EXPECT_FALSE(age::ParseIdentity(std::string(ExampleIdentity) + "Q", ignored));
}

TEST(AgeKeys, KeyFilesSkipCommentsAndNameTheBadLine)
{
    TempFolder folder;
    const age::Identity identity = NewIdentity();
    SecretText written;
    age::IdentityFileText(identity, age::CreatedTimeText(), written);
    WriteBytes(folder / "key.txt", std::string(written.View()));
    const std::vector<age::Identity> read = age::ReadIdentityFile(folder / "key.txt");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(std::string(read[0].Secret, read[0].Secret + age::KeyBytes),
              std::string(identity.Secret, identity.Secret + age::KeyBytes));
    const std::string publicKey = age::RecipientText(age::RecipientOf(identity));
    EXPECT_NE(std::string(written.View()).find("# public key: " + publicKey + "\n"),
              std::string::npos);

    WriteBytes(folder / "recipients",
               "# team\r\n\r\n" + publicKey + "\r\n" + std::string(ExampleRecipient) + "\n");
    EXPECT_EQ(age::ReadRecipientsFile(folder / "recipients").size(), 2u);

    struct Case {
        std::string Content;
        bool Identities;
        std::string Message;
    };
    const std::string secret = std::string(ExampleIdentity);
    const Case bad[] = {
        {"# only a comment\n", false, "recipients: no recipient in the file"},
        {publicKey + "\n" + publicKey + "x\n", false, "recipients:2: not an age recipient"},
        {"\n" + secret.substr(0, 40) + "\n", true, "recipients:2: not an identity"},
        {"", true, "recipients: no identity in the file"},
    };
    for (const Case& c : bad) {
        WriteBytes(folder / "recipients", c.Content);
        try {
            if (c.Identities) {
                age::ReadIdentityFile(folder / "recipients");
            } else {
                age::ReadRecipientsFile(folder / "recipients");
            }
            ADD_FAILURE() << c.Content;
        } catch (const Exception& error) {
            const std::string message = error.what();
            EXPECT_NE(message.find(c.Message), std::string::npos) << message;
            // A damaged identity is a secret all the same: never repeated.
            EXPECT_EQ(message.find(secret.substr(20, 12)), std::string::npos) << message;
        }
    }
}

TEST_F(AgeStream, EverySizeRoundTripsBinaryAndArmored)
{
    const age::Identity identity = NewIdentity();
    const std::size_t sizes[] = {
        0,         1,          Chunk - 1,      Chunk,          Chunk + 1,
        2 * Chunk, 16 * Chunk, 16 * Chunk + 1, 17 * Chunk - 1, 40 * Chunk + 7};
    for (const bool armor : {false, true}) {
        for (const std::size_t size : sizes) {
            SCOPED_TRACE(std::to_string(size) + (armor ? " armored" : ""));
            const std::string plain = PatternBytes(size, static_cast<std::uint32_t>(size));
            age::Keys keys;
            keys.Armor = armor;
            keys.Recipients = {age::RecipientOf(identity)};
            const std::string sealed = Encrypt(plain, keys);
            const std::size_t chunks = size == 0 ? 1 : (size + Chunk - 1) / Chunk;
            if (!armor) {
                // The header, the nonce, then each chunk and its tag.
                const std::size_t header = sealed.find("\n---") + 4 + 44 + 1;
                EXPECT_EQ(sealed.size(), header + 16 + size + 16 * chunks);
            } else {
                EXPECT_TRUE(sealed.starts_with("-----BEGIN AGE ENCRYPTED FILE-----\n"));
                EXPECT_TRUE(sealed.ends_with("\n-----END AGE ENCRYPTED FILE-----\n"));
            }
            age::Keys opening;
            opening.Identities = {identity};
            EXPECT_EQ(Decrypt(sealed, opening), plain);
        }
    }
}

TEST_F(AgeStream, PasswordsAndRecipientsOpenOnlyWithTheirKeys)
{
    const std::string plain = PatternBytes(1000);
    const age::Identity first = NewIdentity();
    const age::Identity second = NewIdentity();
    age::Keys toBoth;
    toBoth.Recipients = {age::RecipientOf(first), age::RecipientOf(second)};
    const std::string forRecipients = Encrypt(plain, toBoth);
    const std::string forPassword = Encrypt(plain, PasswordKeys("right"));
    EXPECT_NE(forPassword.find("-> scrypt "), std::string::npos);
    EXPECT_NE(forPassword.find(" 10\n"), std::string::npos);

    age::Keys secondOnly;
    secondOnly.Identities = {NewIdentity(), second};
    EXPECT_EQ(Decrypt(forRecipients, secondOnly), plain);
    EXPECT_EQ(Decrypt(forPassword, PasswordKeys("right")), plain);

    age::Keys stranger;
    stranger.Identities = {NewIdentity()};
    struct Case {
        const std::string* Sealed;
        age::Keys Keys;
        Problem Expected;
    };
    const Case cases[] = {
        {&forPassword, PasswordKeys("wrong"), Problem::WrongPassword},
        {&forPassword, PasswordKeys("righ"), Problem::WrongPassword},
        {&forPassword, secondOnly, Problem::NeedsPassword},
        {&forRecipients, stranger, Problem::NoIdentityMatched},
        {&forRecipients, PasswordKeys("right"), Problem::NeedsIdentity},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProblemOf(*c.Sealed, c.Keys), c.Expected);
    }
}

TEST_F(AgeStream, EveryDamageIsFoundAndNamed)
{
    const age::Identity identity = NewIdentity();
    age::Keys keys;
    keys.Recipients = {age::RecipientOf(identity)};
    const std::string plain = PatternBytes(2 * Chunk + 100);
    const std::string sealed = Encrypt(plain, keys);
    age::Keys opening;
    opening.Identities = {identity};
    const std::size_t header = sealed.find("\n---") + 4 + 44 + 1;
    const std::size_t payload = header + 16;
    const std::size_t sealedChunk = Chunk + 16;
    const auto flipped = [&](std::size_t at) {
        std::string copy = sealed;
        copy[at] = static_cast<char>(copy[at] ^ 0x20);
        return copy;
    };
    // Another letter of the Base64 alphabet, so that the text stays well formed.
    const auto relettered = [&](std::size_t at) {
        std::string copy = sealed;
        copy[at] = copy[at] == 'A' ? 'B' : 'A';
        return copy;
    };
    struct Case {
        const char* What;
        std::string Sealed;
        Problem Expected;
    };
    const Case cases[] = {
        {"version", flipped(0), Problem::Header},
        {"share", relettered(sealed.find("X25519 ") + 9), Problem::NoIdentityMatched},
        {"type", flipped(sealed.find("X25519")), Problem::NoIdentityMatched},
        {"mac", relettered(header - 10), Problem::HeaderAltered},
        {"nonce", flipped(header + 3), Problem::PayloadAltered},
        {"first chunk", flipped(payload + 5), Problem::PayloadAltered},
        {"first tag", flipped(payload + sealedChunk - 1), Problem::PayloadAltered},
        {"last chunk", flipped(sealed.size() - 30), Problem::PayloadAltered},
        {"cut in the header", sealed.substr(0, header - 10), Problem::Header},
        {"cut in the nonce", sealed.substr(0, header + 8), Problem::Header},
        {"cut after the nonce", sealed.substr(0, payload), Problem::Truncated},
        {"cut in a chunk", sealed.substr(0, payload + 100), Problem::PayloadAltered},
        {"cut in the last chunk", sealed.substr(0, payload + 2 * sealedChunk + 50),
         Problem::PayloadAltered},
        {"cut in a tag", sealed.substr(0, payload + sealedChunk - 5), Problem::PayloadAltered},
        {"cut after a chunk", sealed.substr(0, payload + 2 * sealedChunk), Problem::Truncated},
        {"cut last byte", sealed.substr(0, sealed.size() - 1), Problem::PayloadAltered},
        {"data after", sealed + "x", Problem::PayloadAltered},
        {"last chunk moved up",
         sealed.substr(0, payload + sealedChunk) + sealed.substr(payload + 2 * sealedChunk),
         Problem::PayloadAltered},
        {"empty", "", Problem::Header},
        {"CPH-looking", PatternBytes(500), Problem::Header},
    };
    for (const Case& c : cases) {
        std::optional<Problem> problem;
        const std::string opened = Decrypt(c.Sealed, opening, &problem);
        EXPECT_EQ(problem, c.Expected) << c.What;
        // What was given out before the fault is the start of the plaintext.
        EXPECT_EQ(opened, plain.substr(0, opened.size())) << c.What;
    }
}

TEST_F(AgeStream, AFullLastChunkFollowedByDataIsTrailingData)
{
    const age::Identity identity = NewIdentity();
    age::Keys keys;
    keys.Recipients = {age::RecipientOf(identity)};
    const std::string plain = PatternBytes(Chunk);
    age::Keys opening;
    opening.Identities = {identity};
    std::optional<Problem> problem;
    const std::string opened = Decrypt(Encrypt(plain, keys) + "more", opening, &problem);
    EXPECT_EQ(problem, Problem::TrailingData);
    EXPECT_EQ(opened, plain);
}

TEST_F(AgeStream, ArmorIsReadStrictly)
{
    age::Keys keys = PasswordKeys("pw");
    keys.Armor = true;
    const std::string plain = PatternBytes(100);
    const std::string armored = Encrypt(plain, keys);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < armored.size();) {
        const std::size_t end = armored.find('\n', at);
        lines.push_back(armored.substr(at, end - at));
        at = end + 1;
    }
    ASSERT_GE(lines.size(), 5u);
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        EXPECT_EQ(lines[i].size(), 64u) << i;
    }
    EXPECT_LT(lines[lines.size() - 2].size(), 64u);
    const auto joined = [](const std::vector<std::string>& parts, const char* end) {
        std::string out;
        for (const std::string& part : parts) {
            out += part + end;
        }
        return out;
    };
    std::vector<std::string> shortMiddle = lines;
    shortMiddle[1].resize(60);
    std::vector<std::string> spaced = lines;
    spaced[2] = " " + spaced[2];
    struct Case {
        const char* What;
        std::string Text;
        std::optional<Problem> Expected;
    };
    const Case cases[] = {
        {"as written", armored, std::nullopt},
        {"CR LF", joined(lines, "\r\n"), std::nullopt},
        {"whitespace around", " \t\r\n\n" + armored + "\n \r\n", std::nullopt},
        {"no line break at the end", armored.substr(0, armored.size() - 1), std::nullopt},
        {"lower case", "-----BEGIN age" + armored.substr(14), Problem::Armor},
        {"short line in the middle", joined(shortMiddle, "\n"), Problem::Armor},
        {"space at a line's start", joined(spaced, "\n"), Problem::Armor},
        {"text after", armored + "x\n", Problem::Armor},
        // Not even taken for an armor.
        {"much whitespace before", std::string(1100, '\n') + armored, Problem::Header},
        {"much whitespace after", armored + std::string(1100, ' '), Problem::Armor},
        {"no end", armored.substr(0, armored.find("-----END")), Problem::Armor},
    };
    for (const Case& c : cases) {
        std::optional<Problem> problem;
        const std::string opened = Decrypt(c.Text, PasswordKeys("pw"), &problem);
        EXPECT_EQ(problem, c.Expected) << c.What;
        if (!c.Expected) {
            EXPECT_EQ(opened, plain) << c.What;
        }
    }
}

TEST(AgeJob, NamesAndNothingLeftWhenItFails)
{
    struct Name {
        CipherDirection Direction;
        const char* Path;
        const char* Output;
    };
    const Name names[] = {
        {CipherDirection::Encrypt, "d/x.txt", "d/x.txt.age"},
        {CipherDirection::Decrypt, "d/x.txt.age", "d/x.txt"},
        {CipherDirection::Decrypt, "d/x.age", "d/x"},
        {CipherDirection::Decrypt, "d/.age", "d/.dec"},
        {CipherDirection::Decrypt, "d/x.bin", "d/x.dec"},
        {CipherDirection::Decrypt, "d.age/x", "d.age/x.dec"},
    };
    for (const Name& name : names) {
        EXPECT_EQ(OutputPathBeside(name.Direction, name.Path, CipherFormat::Age), name.Output);
    }

    TempFolder folder;
    WriteBytes(folder / "x.txt", PatternBytes(3 * Chunk));
    CipherJob job;
    job.Source = folder / "x.txt";
    job.Format = CipherFormat::Age;
    CipherPlan plan = RunAgeJob(PlanCipherJob(job), PasswordKeys("pw"), nullptr);
    ASSERT_EQ(plan.Status, CipherStatus::Done);
    EXPECT_EQ(plan.Output, folder / "x.txt.age");
    std::filesystem::remove(folder / "x.txt");

    job.Direction = CipherDirection::Decrypt;
    job.Source = folder / "x.txt.age";
    job.Format = CipherFormat::Cph; // decrypting, the file tells
    plan = PlanCipherJob(job);
    EXPECT_EQ(plan.Format, CipherFormat::Age);
    EXPECT_EQ(plan.Lock, age::Lock::Password);
    EXPECT_EQ(plan.Output, folder / "x.txt");
    // Neither an output nor a working file is left.
    const auto before = Snapshot(folder.Path());
    EXPECT_THROW(RunAgeJob(plan, PasswordKeys("wrong"), nullptr), age::AgeError);
    EXPECT_TRUE(Snapshot(folder.Path()) == before);
    std::string damaged = ReadBytes(folder / "x.txt.age");
    damaged[damaged.size() - 2] ^= 1;
    WriteBytes(folder / "x.txt.age", damaged);
    const auto damagedBefore = Snapshot(folder.Path());
    EXPECT_THROW(RunAgeJob(plan, PasswordKeys("pw"), nullptr), age::AgeError);
    EXPECT_TRUE(Snapshot(folder.Path()) == damagedBefore);
}

// A write that fails part way (a full disk) ends the job with the error and
// removes what was written, whichever thread wrote it.
TEST(AgeJob, AFailingWriteLeavesNothing)
{
    TempFolder folder;
    WriteBytes(folder / "big", PatternBytes(40 * Chunk));
    age::Keys keys;
    keys.Recipients = {age::RecipientOf(NewIdentity())};
    for (const bool armor : {false, true}) {
        keys.Armor = armor;
        CipherJob job;
        job.Source = folder / "big";
        job.Format = CipherFormat::Age;
        const auto before = Snapshot(folder.Path());
        {
            const FileSizeLimit limit(20 * Chunk);
            EXPECT_THROW(RunAgeJob(PlanCipherJob(job), keys, nullptr), FileError);
        }
        EXPECT_TRUE(Snapshot(folder.Path()) == before);
    }
}

} // namespace
} // namespace ciphra::test
