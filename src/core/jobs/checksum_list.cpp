#include "core/jobs/checksum_list.h"

#include <algorithm>
#include <cctype>

#include "core/error.h"
#include "core/io/posix_file.h"
#include "core/jobs/file_hash.h"

namespace ciphra {

namespace {

constexpr std::size_t MostZeroBytesLeftOut = 4;

bool IsHexDigit(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool IsBase64Letter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '/';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

// 40 or 64 hexadecimal digits and nothing else.
std::optional<ExpectedDigest> HexDigest(std::string_view digits)
{
    const std::optional<HashAlgorithm> algorithm = AlgorithmOfSize(digits.size() / 2);
    if (!algorithm || digits.size() % 2 != 0 ||
        !std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
        return std::nullopt;
    }
    return ExpectedDigest{*algorithm, DigestForm::Hex, LowerCase(digits)};
}

// Base64 with its "=" padding of a digest that lost at most four zero
// bytes: 16 to 20 bytes for SHA-1, 28 to 32 for SHA-256. Five or more zero
// bytes do not happen in practice, and shorter Base64-like texts (a path
// such as "/tmp/x/SHA256SUMS") are something else.
std::optional<ExpectedDigest> CharDigest(std::string_view text)
{
    if (text.empty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    const std::size_t padding = text.size() - (text.find_last_not_of('=') + 1);
    const std::string_view letters = text.substr(0, text.size() - padding);
    if (padding > 2 || !std::all_of(letters.begin(), letters.end(), IsBase64Letter)) {
        return std::nullopt;
    }
    const std::size_t bytes = text.size() / 4 * 3 - padding;
    for (const HashAlgorithm algorithm : {HashAlgorithm::Sha1, HashAlgorithm::Sha256}) {
        if (bytes <= DigestSize(algorithm) &&
            bytes + MostZeroBytesLeftOut >= DigestSize(algorithm)) {
            return ExpectedDigest{algorithm, DigestForm::Char, std::string(text)};
        }
    }
    return std::nullopt;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

// Undoes sha1sum's escapes: "\\" "\n" "\r". Nothing for any other escape.
std::optional<std::string> Unescaped(std::string_view name)
{
    std::string plain;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '\\') {
            plain += name[i];
            continue;
        }
        if (++i == name.size()) {
            return std::nullopt;
        }
        switch (name[i]) {
        case '\\':
            plain += '\\';
            break;
        case 'n':
            plain += '\n';
            break;
        case 'r':
            plain += '\r';
            break;
        default:
            return std::nullopt;
        }
    }
    return plain;
}

struct ListedDigest {
    std::string_view Name;
    std::optional<ExpectedDigest> Expected;
};

// "SHA1 (NAME) = HEX" or "SHA256 (NAME) = HEX"; the name runs to the last ") = ".
std::optional<ListedDigest> TaggedLine(std::string_view line)
{
    for (const HashAlgorithm algorithm : {HashAlgorithm::Sha1, HashAlgorithm::Sha256}) {
        const std::string tag = algorithm == HashAlgorithm::Sha1 ? "SHA1 (" : "SHA256 (";
        const std::size_t close = line.rfind(") = ");
        if (!line.starts_with(tag) || close == std::string_view::npos || close < tag.size()) {
            continue;
        }
        ListedDigest listed{line.substr(tag.size(), close - tag.size()),
                            HexDigest(line.substr(close + 4))};
        if (listed.Expected && listed.Expected->Algorithm != algorithm) {
            listed.Expected.reset();
        }
        return listed;
    }
    return std::nullopt;
}

// "HEX  NAME", "HEX *NAME", or "HEX NAME" (one blank, as some tools write);
// HEX may start with "0x", as the lines of "ciphra2k-cli hash -r" do.
std::optional<ListedDigest> PlainLine(std::string_view line)
{
    const std::size_t start = line.starts_with("0x") || line.starts_with("0X") ? 2 : 0;
    const auto end =
        std::find_if_not(line.begin() + static_cast<std::ptrdiff_t>(start), line.end(), IsHexDigit);
    const auto digits = static_cast<std::size_t>(end - line.begin());
    if (digits >= line.size() || !IsBlank(line[digits])) {
        return std::nullopt;
    }
    std::string_view name = line.substr(digits + 1);
    if (!name.empty() && (name.front() == ' ' || name.front() == '*')) {
        name.remove_prefix(1);
    }
    return ListedDigest{name, HexDigest(line.substr(start, digits - start))};
}

std::optional<ChecksumEntry> ListLine(std::string_view line, std::size_t number)
{
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
    const bool escaped = line.starts_with('\\');
    if (escaped) {
        line.remove_prefix(1);
    }
    std::optional<ListedDigest> listed = TaggedLine(line);
    if (!listed) {
        listed = PlainLine(line);
    }
    if (!listed || !listed->Expected || listed->Name.empty()) {
        return std::nullopt;
    }
    std::optional<std::string> name = escaped ? Unescaped(listed->Name) : std::string(listed->Name);
    if (!name) {
        return std::nullopt;
    }
    return ChecksumEntry{number, std::move(*name), std::move(*listed->Expected)};
}

// The ten lines of a hash report: the name on line 3, the digest on line 8,
// in the algorithm that line 1 names.
ChecksumList ReportEntries(const std::vector<std::string_view>& lines, HashAlgorithm algorithm)
{
    ChecksumList list;
    list.IsReport = true;
    std::optional<ExpectedDigest> expected =
        lines.size() >= 8 ? ParseExpectedDigest(lines[7]) : std::nullopt;
    // A Char form is as long for either algorithm when zero bytes are left
    // out: the heading decides; a Hex form must have the heading's length.
    if (expected && expected->Form == DigestForm::Char) {
        expected->Algorithm = algorithm;
    }
    if (lines.size() < 8 || lines[1] != "--- HASH of file%" || !expected ||
        expected->Algorithm != algorithm || lines[2].empty()) {
        list.BadLines = 1;
        return list;
    }
    list.Entries.push_back({8, std::string(lines[2]), std::move(*expected)});
    return list;
}

} // namespace

std::optional<ExpectedDigest> ParseExpectedDigest(std::string_view text)
{
    text = Trimmed(text);
    if (text.starts_with("0x") || text.starts_with("0X")) {
        return HexDigest(text.substr(2));
    }
    // Hexadecimal digits alone are never taken for the Char form: a digest
    // of another length (MD5's 32, SHA-512's 128) is no value of ours.
    if (std::all_of(text.begin(), text.end(), IsHexDigit)) {
        return HexDigest(text);
    }
    return CharDigest(text);
}

bool DigestMatches(const ExpectedDigest& expected, const Digest& digest)
{
    if (digest.size() != DigestSize(expected.Algorithm)) {
        return false;
    }
    if (expected.Form == DigestForm::Char) {
        return CharForm(digest) == expected.Text;
    }
    return LowerCase(HexForm(digest).substr(2)) == expected.Text;
}

ChecksumList ParseChecksumText(std::string_view text)
{
    if (text.starts_with("\xEF\xBB\xBF")) { // a byte order mark, as some editors write
        text.remove_prefix(3);
    }
    const std::vector<std::string_view> lines = SplitLines(text);
    for (const HashAlgorithm algorithm : {HashAlgorithm::Sha1, HashAlgorithm::Sha256}) {
        if (!lines.empty() && lines.front() == ReportHeading(algorithm)) {
            return ReportEntries(lines, algorithm);
        }
    }
    ChecksumList list;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Trimmed(lines[i]).empty()) {
            continue;
        }
        if (std::optional<ChecksumEntry> entry = ListLine(lines[i], i + 1)) {
            list.Entries.push_back(std::move(*entry));
        } else {
            ++list.BadLines;
        }
    }
    return list;
}

ChecksumList ReadChecksumFile(const std::string& path)
{
    if (IsDirectory(path)) {
        throw Exception("is a folder, not a file");
    }
    File file = File::OpenRegular(path, OpenMode::ReadOnly);
    if (file.Size() > MostChecksumFileBytes) {
        throw Exception("too large for a checksum file");
    }
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    text.resize(file.Read(text.data(), text.size()));
    return ParseChecksumText(text);
}

std::string_view ListedFileName(std::string_view name)
{
    const std::size_t slash = name.find_last_of('/');
    return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string EscapedName(std::string_view name, bool* escaped)
{
    const bool escapes = name.find('\n') != std::string_view::npos;
    if (escaped != nullptr) {
        *escaped = escapes;
    }
    if (!escapes) {
        return std::string(name);
    }
    std::string text;
    for (const char c : name) {
        const char* escape = c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        text += escape != nullptr ? std::string(escape) : std::string(1, c);
    }
    return text;
}

} // namespace ciphra
