#include "core/jobs/age_header.h"

#include <algorithm>
#include <string_view>

#include "core/jobs/age_file.h"

namespace ciphra::age {
namespace {

constexpr std::size_t BodyColumns = 64;
constexpr std::size_t MacColumns = 43; // 32 bytes in unpadded Base64
// No header of a real file comes near this; a longer one is refused rather
// than read into memory.
constexpr std::size_t LongestHeader = std::size_t{1} << 20;

[[noreturn]] void HeaderFault(const std::string& what)
{
    throw AgeError(Problem::Header, "its age header is damaged (" + what + ")");
}

class HeaderReader {
public:
    explicit HeaderReader(BufferedSource& in) : in_(in) {}

    std::string Line()
    {
        std::string line;
        if (!in_.ReadLine(line, LongestHeader - read_)) {
            HeaderFault(read_ + line.size() >= LongestHeader ? "it is too long"
                                                             : "the file ends inside it");
        }
        read_ += line.size() + 1;
        return line;
    }

private:
    BufferedSource& in_;
    std::size_t read_ = 0;
};

std::vector<std::string> SplitArguments(std::string_view text)
{
    std::vector<std::string> args;
    while (true) {
        const std::size_t space = text.find(' ');
        const std::string_view arg = text.substr(0, space);
        const bool visible =
            std::all_of(arg.begin(), arg.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
        if (arg.empty() || !visible) {
            HeaderFault("a stanza has an empty or invalid argument");
        }
        args.emplace_back(arg);
        if (space == std::string_view::npos) {
            return args;
        }
        text.remove_prefix(space + 1);
    }
}

} // namespace

Header ReadHeader(BufferedSource& in)
{
    HeaderReader reader(in);
    Header header;
    const std::string version = reader.Line();
    if (version != VersionLine) {
        if (version.starts_with("age-encryption.org/")) {
            throw AgeError(Problem::UnsupportedVersion,
                           "it is of an age format version this program does not know (" +
                               version.substr(0, 40) + ")");
        }
        HeaderFault("no age version line");
    }
    header.Maced = version + "\n";
    while (true) {
        const std::string line = reader.Line();
        if (line.starts_with("---")) {
            if (header.Stanzas.empty()) {
                HeaderFault("no recipient stanza");
            }
            const std::optional<Bytes> mac =
                line.size() == 4 + MacColumns && line[3] == ' '
                    ? DecodeBase64(std::string_view(line).substr(4), false)
                    : std::nullopt;
            if (!mac || mac->size() != KeyBytes) {
                HeaderFault("the MAC line is malformed");
            }
            std::copy(mac->begin(), mac->end(), header.Mac);
            header.Maced += "---";
            return header;
        }
        if (!line.starts_with("-> ")) {
            HeaderFault("a line is neither a stanza nor the MAC");
        }
        Stanza stanza;
        stanza.Args = SplitArguments(std::string_view(line).substr(3));
        header.Maced += line + "\n";
        std::string body;
        while (true) {
            const std::string bodyLine = reader.Line();
            header.Maced += bodyLine + "\n";
            if (bodyLine.size() > BodyColumns) {
                HeaderFault("a stanza body line is longer than 64 columns");
            }
            body += bodyLine;
            if (bodyLine.size() < BodyColumns) {
                break;
            }
        }
        std::optional<Bytes> decoded = DecodeBase64(body, false);
        if (!decoded) {
            HeaderFault("a stanza body is not canonical Base64");
        }
        stanza.Body = std::move(*decoded);
        header.Stanzas.push_back(std::move(stanza));
    }
}

std::string HeaderText(const std::vector<Stanza>& stanzas)
{
    std::string text = std::string(VersionLine) + "\n";
    for (const Stanza& stanza : stanzas) {
        text += "->";
        for (const std::string& arg : stanza.Args) {
            text += " " + arg;
        }
        text += "\n";
        const std::string body = EncodeBase64(stanza.Body.data(), stanza.Body.size(), false);
        // Full lines of 64 columns, then a shorter one, empty when the body
        // fills its last line.
        std::size_t at = 0;
        for (; body.size() - at >= BodyColumns; at += BodyColumns) {
            text += body.substr(at, BodyColumns) + "\n";
        }
        text += body.substr(at) + "\n";
    }
    return text + "---";
}

} // namespace ciphra::age
