#include "core/jobs/checksum_list.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/io/file_error.h"
#include "core/jobs/file_hash.h"
#include "core/jobs/hash_check.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WriteBytes;

constexpr const char* Sha1Abc = "a9993e364706816aba3e25717850c26c9cd0d89d";
constexpr const char* Sha256Abc =
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* Sha1AbcChar = "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=";
constexpr const char* Sha256AbcChar = "ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIVrQ==";

ExpectedDigest Hex(HashAlgorithm algorithm, const char* digits)
{
    return {algorithm, DigestForm::Hex, digits};
}

ExpectedDigest Char(HashAlgorithm algorithm, const char* text)
{
    return {algorithm, DigestForm::Char, text};
}

Digest DigestOf(HashAlgorithm algorithm, const std::string& bytes)
{
    Hasher hasher(algorithm);
    hasher.Add(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return hasher.Finish();
}

TEST(ParseExpectedDigest, ReadsEitherFormOfEitherAlgorithm)
{
    const std::string upper256 = "0x" + std::string(Sha256Abc);
    const struct {
        std::string Text;
        std::optional<ExpectedDigest> Expected;
    } cases[] = {
        {"0xA9993E364706816ABA3E25717850C26C9CD0D89D", Hex(HashAlgorithm::Sha1, Sha1Abc)},
        {Sha1Abc, Hex(HashAlgorithm::Sha1, Sha1Abc)},
        {"  0XA9993e364706816aba3e25717850c26c9cd0d89d \r\n", Hex(HashAlgorithm::Sha1, Sha1Abc)},
        {upper256, Hex(HashAlgorithm::Sha256, Sha256Abc)},
        {Sha1AbcChar, Char(HashAlgorithm::Sha1, Sha1AbcChar)},
        // 18 bytes left of a SHA-1 digest with two zero bytes: no padding.
        {"hjC+I9JMyszungwDIizz44Ln", Char(HashAlgorithm::Sha1, "hjC+I9JMyszungwDIizz44Ln")},
        {Sha256AbcChar, Char(HashAlgorithm::Sha256, Sha256AbcChar)},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"0xA9993E36", std::nullopt},
        {std::string(Sha1Abc).substr(1), std::nullopt},     // 39 digits
        {std::string(Sha1Abc) + "0", std::nullopt},         // 41 digits
        {"900150983cd24fb0d6963f7d28e17f72", std::nullopt}, // MD5
        {"0x" + std::string(Sha1AbcChar), std::nullopt},    // "0x" and Base64
        {"qZk+NkcGgWq6PiVxeFDCbJzQ2J0", std::nullopt},      // cut short
        {"qZk+NkcG gWq6PiVxeFDCbJzQ2J0=", std::nullopt},    // a blank inside
        {"qZk+NkcGgWq6PiVxeFDCbJzQ2J0=====", std::nullopt}, // too much padding
        {"====", std::nullopt},
        {std::string(48, 'Q'), std::nullopt}, // 36 bytes
        {"sha1:" + std::string(Sha1Abc), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseExpectedDigest(c.Text), c.Expected) << '"' << c.Text << '"';
    }
}

TEST(DigestMatches, ComparesTheValueInItsForm)
{
    const Digest sha1 = DigestOf(HashAlgorithm::Sha1, "abc");
    const Digest sha256 = DigestOf(HashAlgorithm::Sha256, "abc");
    const Digest other = DigestOf(HashAlgorithm::Sha1, "abd");
    std::string lowerCaseChar = Sha1AbcChar;
    lowerCaseChar[0] = 'q' == lowerCaseChar[0] ? 'Q' : 'q';
    const struct {
        const char* Text;
        const Digest& Actual;
        bool Matches;
    } cases[] = {
        {"0xA9993E364706816ABA3E25717850C26C9CD0D89D", sha1, true},
        {Sha1Abc, other, false},
        {Sha1Abc, sha256, false}, // another algorithm's digest
        {Sha256Abc, sha256, true},
        {Sha1AbcChar, sha1, true},
        {lowerCaseChar.c_str(), sha1, false}, // Base64 letters differ by case
        {Sha256AbcChar, sha256, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DigestMatches(*ParseExpectedDigest(c.Text), c.Actual), c.Matches) << c.Text;
    }
}

// The lines of sha1sum and sha256sum lists, one of each kind and the ways
// they go wrong.
TEST(ParseChecksumText, ReadsTheListLines)
{
    const std::string sha1 = Sha1Abc;
    const std::string sha256 = Sha256Abc;
    const std::string upper = "A9993E364706816ABA3E25717850C26C9CD0D89D";
    const std::string text = sha1 + "  plain.txt\n" +                       // 1
                             upper + " *binary name.dat\r\n" +              // 2
                             "\\" + sha1 + "  back\\\\slash\\nline\n" +     // 3
                             "\n" +                                         // 4 blank
                             "# a comment\n" +                              // 5 bad
                             "SHA256 (tagged (1).iso) = " + sha256 + "\n" + // 6
                             sha256 + "  ./dir/trailing blank \n" +         // 7
                             sha1 + " one blank\n" +                        // 8
                             sha1 + "   leading blank\n" +                  // 9
                             "\\" + sha1 + "  bad\\escape\n" +              // 10 bad
                             "SHA1 (x) = " + sha256 + "\n" +                // 11 bad
                             sha1.substr(2) + "  short\n" +                 // 12 bad
                             sha1 + "  \n" +                                // 13 bad
                             "  " + sha1 + "\tafter tab\n" +                // 14
                             "0x" + upper + "  listed by -r\n" +            // 15
                             "\\0X" + sha256 + "  back\\\\slash\n" +        // 16
                             "0x  no digits\n" +                            // 17 bad
                             sha1 + "  no line end";                        // 18
    const ChecksumList list = ParseChecksumText(text);
    EXPECT_FALSE(list.IsReport);
    EXPECT_EQ(list.BadLines, 6U);
    const struct {
        std::size_t Line;
        const char* Name;
        HashAlgorithm Algorithm;
    } expected[] = {
        {1, "plain.txt", HashAlgorithm::Sha1},
        {2, "binary name.dat", HashAlgorithm::Sha1},
        {3, "back\\slash\nline", HashAlgorithm::Sha1},
        {6, "tagged (1).iso", HashAlgorithm::Sha256},
        {7, "./dir/trailing blank ", HashAlgorithm::Sha256},
        {8, "one blank", HashAlgorithm::Sha1},
        {9, " leading blank", HashAlgorithm::Sha1},
        {14, "after tab", HashAlgorithm::Sha1},
        {15, "listed by -r", HashAlgorithm::Sha1},
        {16, "back\\slash", HashAlgorithm::Sha256},
        {18, "no line end", HashAlgorithm::Sha1},
    };
    ASSERT_EQ(list.Entries.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(expected[i].Line);
        EXPECT_EQ(list.Entries[i].Line, expected[i].Line);
        EXPECT_EQ(list.Entries[i].Name, expected[i].Name);
        EXPECT_EQ(list.Entries[i].Expected.Algorithm, expected[i].Algorithm);
        EXPECT_EQ(list.Entries[i].Expected.Form, DigestForm::Hex);
    }
    EXPECT_EQ(list.Entries[1].Expected.Text, sha1); // upper case read as lower
    EXPECT_EQ(ParseChecksumText("\xEF\xBB\xBF" + sha1 + "  bom\r\n").Entries.at(0).Name, "bom");
}

// A hash report is known by its first line, which gives the algorithm; its
// one entry is line 8, for the name on line 3, in either form.
TEST(ParseChecksumText, ReadsHashReports)
{
    const struct {
        HashAlgorithm Algorithm;
        const char* Shown;
        DigestForm Form;
    } cases[] = {
        {HashAlgorithm::Sha1, "0xA9993E364706816ABA3E25717850C26C9CD0D89D", DigestForm::Hex},
        {HashAlgorithm::Sha1, Sha1AbcChar, DigestForm::Char},
        {HashAlgorithm::Sha256, Sha256AbcChar, DigestForm::Char},
    };
    const Digest abc256 = DigestOf(HashAlgorithm::Sha256, "abc");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Shown);
        std::string report = HashReport(c.Algorithm, "/home/u/a b.txt", "now", c.Shown);
        for (const bool lineFeedsOnly : {false, true}) {
            if (lineFeedsOnly) {
                std::erase(report, '\r');
            }
            const ChecksumList list = ParseChecksumText(report);
            EXPECT_TRUE(list.IsReport);
            EXPECT_EQ(list.BadLines, 0U);
            ASSERT_EQ(list.Entries.size(), 1U);
            EXPECT_EQ(list.Entries[0].Line, 8U);
            EXPECT_EQ(list.Entries[0].Name, "/home/u/a b.txt");
            EXPECT_EQ(list.Entries[0].Expected.Algorithm, c.Algorithm);
            EXPECT_EQ(list.Entries[0].Expected.Form, c.Form);
        }
    }
    EXPECT_TRUE(
        DigestMatches(ParseChecksumText(HashReport(HashAlgorithm::Sha256, "n", "d", Sha256AbcChar))
                          .Entries.at(0)
                          .Expected,
                      abc256));
    // A SHA-1 value under a SHA-256 heading, and a report cut short.
    const std::string wrong = HashReport(HashAlgorithm::Sha256, "n", "d", Sha1Abc);
    const std::string cut = HashReport(HashAlgorithm::Sha1, "n", "d", Sha1Abc).substr(0, 60);
    for (const std::string& text : {wrong, cut}) {
        const ChecksumList list = ParseChecksumText(text);
        EXPECT_TRUE(list.IsReport);
        EXPECT_TRUE(list.Entries.empty());
        EXPECT_EQ(list.BadLines, 1U);
    }
}

TEST(ChecksumNames, LastComponentAndEscapes)
{
    EXPECT_EQ(ListedFileName("dir/sub/x.iso"), "x.iso");
    EXPECT_EQ(ListedFileName("./x.iso"), "x.iso");
    EXPECT_EQ(ListedFileName("x.iso"), "x.iso");
    const struct {
        const char* Name;
        const char* Shown;
        bool Escaped;
    } cases[] = {{"plain name", "plain name", false},
                 {"a\\b\r", "a\\b\r", false}, // only a line break calls for escapes
                 {"two\nlines\r", "two\\nlines\\r", true},
                 {"a\\b\nc", "a\\\\b\\nc", true}};
    for (const auto& c : cases) {
        bool escaped = !c.Escaped;
        EXPECT_EQ(EscapedName(c.Name, &escaped), c.Shown);
        EXPECT_EQ(escaped, c.Escaped);
    }
}

TEST(ReadChecksumFile, ReadsOnlyRegularFiles)
{
    TempFolder folder;
    WriteBytes(folder / "SUMS", std::string(Sha1Abc) + "  abc\n");
    EXPECT_EQ(ReadChecksumFile(folder / "SUMS").Entries.size(), 1U);
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    fs::create_directory(folder / "folder");
    for (const char* name : {"missing", "fifo"}) {
        EXPECT_THROW(ReadChecksumFile(folder / name), FileError) << name; // a FIFO never blocks
    }
    EXPECT_THROW(ReadChecksumFile(folder / "folder"), Exception);
}

// Files against values and against lists: the line that names the file is
// found by its last name component, and the matching one is reported.
TEST(CheckFile, OutcomesForEveryKindOfEntry)
{
    TempFolder folder;
    WriteBytes(folder / "abc", "abc");
    WriteBytes(folder / "abcd", "abcd");
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    fs::create_directory(folder / "folder");
    const ExpectedDigest abc = *ParseExpectedDigest(Sha256Abc);
    EXPECT_EQ(CheckFile(folder / "abc", abc), CheckOutcome::Ok);
    EXPECT_EQ(CheckFile(folder / "abc", *ParseExpectedDigest(Sha1AbcChar)), CheckOutcome::Ok);
    EXPECT_EQ(CheckFile(folder / "abc", *ParseExpectedDigest(std::string(64, '0'))),
              CheckOutcome::Failed);
    for (const char* name : {"missing", "fifo", "folder"}) {
        EXPECT_EQ(CheckFile(folder / name, abc), CheckOutcome::Unreadable) << name;
    }

    const std::string zeros(40, '0');
    const ChecksumList list = ParseChecksumText(zeros + "  other/abc\n" +            // 1
                                                std::string(Sha1Abc) + "  ./abc\n" + // 2
                                                zeros + "  abcd\n" +                 // 3
                                                zeros + "  fifo\n");                 // 4
    const struct {
        const char* File;
        std::optional<CheckOutcome> Outcome;
        std::size_t Line;
    } cases[] = {
        {"abc", CheckOutcome::Ok, 2},
        {"abcd", CheckOutcome::Failed, 3},
        {"fifo", CheckOutcome::Unreadable, 4},
        {"unlisted", std::nullopt, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const std::optional<ListVerdict> verdict = CheckAgainstList(folder / c.File, list);
        ASSERT_EQ(verdict.has_value(), c.Outcome.has_value());
        if (verdict) {
            EXPECT_EQ(verdict->Outcome, *c.Outcome);
            EXPECT_EQ(verdict->Entry->Line, c.Line);
        }
    }
    const ChecksumList failing = ParseChecksumText(zeros + "  a/abc\n" + zeros + "  b/abc\n");
    EXPECT_EQ(CheckAgainstList(folder / "abc", failing)->Entry->Line, 1U);
    // A report's one line is taken whatever name it holds.
    const ChecksumList report =
        ParseChecksumText(HashReport(HashAlgorithm::Sha1, "/elsewhere/renamed", "d", Sha1AbcChar));
    EXPECT_EQ(CheckAgainstList(folder / "abc", report)->Outcome, CheckOutcome::Ok);
}

} // namespace
} // namespace ciphra
