#include "core/jobs/age_armor.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "core/jobs/age_file.h"
#include "core/jobs/age_text.h"

namespace ciphra::age {
namespace {

constexpr std::size_t ArmorColumns = 64;
constexpr std::size_t BytesPerLine = ArmorColumns / 4 * 3;
constexpr std::size_t MostWhitespace = 1024;
constexpr std::size_t ReadBlock = std::size_t{64} * 1024;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool AllSpace(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), IsSpace);
}

[[noreturn]] void ArmorFault(const std::string& what)
{
    throw AgeError(Problem::Armor, "its ASCII armor is damaged (" + what + ")");
}

class FileSource final : public Source {
public:
    explicit FileSource(File& file) : file_(file) {}
    std::size_t Read(std::uint8_t* out, std::size_t n) override
    {
        const std::size_t got = file_.Read(out, n);
        consumed_ += got;
        return got;
    }
    std::uint64_t Consumed() const override { return consumed_; }

private:
    File& file_;
    std::uint64_t consumed_ = 0;
};

class ArmorSource final : public Source {
public:
    explicit ArmorSource(File& file) : file_(file), raw_(ReadBlock) {}

    std::size_t Read(std::uint8_t* out, std::size_t n) override
    {
        std::size_t done = 0;
        while (done < n) {
            if (next_ == have_) {
                if (!DecodeLine()) {
                    break;
                }
                continue;
            }
            const std::size_t take = std::min(n - done, have_ - next_);
            std::memcpy(out + done, decoded_ + next_, take);
            next_ += take;
            done += take;
        }
        return done;
    }
    std::uint64_t Consumed() const override { return consumed_; }

private:
    // The next raw line without its LF (or CR LF); false at the end of the
    // file with nothing read. More than `limit` bytes is a fault.
    bool RawLine(std::string& line, std::size_t limit)
    {
        line.clear();
        bool any = false;
        while (true) {
            if (start_ == end_) {
                end_ = file_.Read(raw_.data(), raw_.size());
                start_ = 0;
                consumed_ += end_;
                if (end_ == 0) {
                    return any;
                }
            }
            any = true;
            const auto* begin = raw_.data() + start_;
            const auto* stop = raw_.data() + end_;
            const auto* lf = std::find(begin, stop, std::uint8_t{'\n'});
            line.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(lf - begin));
            start_ = static_cast<std::size_t>(lf - raw_.data());
            if (line.size() > limit + 1) {
                ArmorFault("a line is too long");
            }
            if (lf != stop) {
                ++start_;
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                return true;
            }
        }
    }

    void Begin()
    {
        std::string line;
        std::size_t skipped = 0;
        while (true) {
            if (!RawLine(line, MostWhitespace)) {
                ArmorFault("no armor line");
            }
            if (!AllSpace(line)) {
                break;
            }
            skipped += line.size() + 1;
            if (skipped > MostWhitespace) {
                ArmorFault("too much whitespace before it");
            }
        }
        if (line != ArmorBegin) {
            ArmorFault("the first line is not " + std::string(ArmorBegin));
        }
        started_ = true;
    }

    // Only whitespace may follow the last line, and not much of it.
    void Trailing()
    {
        std::size_t seen = 0;
        while (true) {
            if (start_ == end_) {
                end_ = file_.Read(raw_.data(), raw_.size());
                start_ = 0;
                consumed_ += end_;
                if (end_ == 0) {
                    return;
                }
            }
            const std::size_t count = end_ - start_;
            const std::string_view rest(reinterpret_cast<const char*>(raw_.data() + start_), count);
            if (!AllSpace(rest)) {
                ArmorFault("data after its last line");
            }
            seen += count;
            start_ = end_;
            if (seen >= MostWhitespace) {
                ArmorFault("too much whitespace after it");
            }
        }
    }

    void ExpectEnd()
    {
        std::string line;
        if (!RawLine(line, ArmorColumns) || line != ArmorEnd) {
            ArmorFault("a short line is not followed by the last line");
        }
        Trailing();
        ended_ = true;
    }

    // Decodes the next line into decoded_; false at the armor's end.
    bool DecodeLine()
    {
        if (ended_) {
            return false;
        }
        if (!started_) {
            Begin();
        }
        std::string line;
        if (!RawLine(line, ArmorColumns)) {
            ArmorFault("no last line");
        }
        if (line == ArmorEnd) {
            Trailing();
            ended_ = true;
            return false;
        }
        if (line.empty() || line.size() > ArmorColumns) {
            ArmorFault(line.empty() ? "an empty line" : "a line longer than 64 columns");
        }
        const std::optional<std::size_t> n = DecodeBase64Into(line, true, decoded_);
        if (!n) {
            ArmorFault("a line is not canonical Base64");
        }
        next_ = 0;
        have_ = *n;
        if (*n < BytesPerLine) {
            ExpectEnd();
        }
        return true;
    }

    File& file_;
    std::vector<std::uint8_t> raw_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint8_t decoded_[BytesPerLine] = {};
    std::size_t next_ = 0;
    std::size_t have_ = 0;
    bool started_ = false;
    bool ended_ = false;
};

class FileSink final : public Sink {
public:
    explicit FileSink(File& file) : file_(file) {}
    void Write(const std::uint8_t* data, std::size_t n) override { file_.WriteAll(data, n); }
    void End() override {}

private:
    File& file_;
};

class ArmorSink final : public Sink {
public:
    explicit ArmorSink(File& file) : file_(file) { text_.append(ArmorBegin).push_back('\n'); }

    void Write(const std::uint8_t* data, std::size_t n) override
    {
        while (n > 0) {
            const std::size_t take = std::min(n, BytesPerLine - pending_);
            std::memcpy(line_ + pending_, data, take);
            pending_ += take;
            data += take;
            n -= take;
            if (pending_ == BytesPerLine) {
                Line();
            }
        }
    }

    void End() override
    {
        if (pending_ > 0) {
            Line();
        }
        text_.append(ArmorEnd).push_back('\n');
        Flush();
    }

private:
    void Line()
    {
        text_.append(EncodeBase64(line_, pending_, true)).push_back('\n');
        pending_ = 0;
        if (text_.size() >= ReadBlock) {
            Flush();
        }
    }

    void Flush()
    {
        file_.WriteAll(text_.data(), text_.size());
        text_.clear();
    }

    File& file_;
    std::string text_;
    std::uint8_t line_[BytesPerLine] = {};
    std::size_t pending_ = 0;
};

} // namespace

bool IsArmored(File& file)
{
    // Any case, so that an armor of the wrong case is reported as such.
    constexpr std::string_view Start = "-----BEGIN AGE";
    char start[MostWhitespace + 64] = {};
    const std::size_t n = file.Peek(start, sizeof start);
    std::string_view text(start, n);
    const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string_view::npos || text.size() - first < Start.size()) {
        return false;
    }
    text = text.substr(first, Start.size());
    return std::equal(text.begin(), text.end(), Start.begin(), [](char a, char b) {
        return a == b || (a >= 'a' && a <= 'z' && a - 32 == b);
    });
}

std::unique_ptr<Source> OpenSource(File& file)
{
    if (IsArmored(file)) {
        return std::make_unique<ArmorSource>(file);
    }
    return std::make_unique<FileSource>(file);
}

std::unique_ptr<Sink> OpenSink(File& file, bool armor)
{
    if (armor) {
        return std::make_unique<ArmorSink>(file);
    }
    return std::make_unique<FileSink>(file);
}

BufferedSource::BufferedSource(Source& inner) : inner_(inner), buffer_(ReadBlock) {}

bool BufferedSource::ReadLine(std::string& line, std::size_t limit)
{
    line.clear();
    while (true) {
        if (start_ == end_) {
            start_ = 0;
            end_ = inner_.Read(buffer_.data(), buffer_.size());
            if (end_ == 0) {
                return false;
            }
        }
        const auto* begin = buffer_.data() + start_;
        const auto* stop = buffer_.data() + end_;
        const auto* lf = std::find(begin, stop, std::uint8_t{'\n'});
        line.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(lf - begin));
        start_ = static_cast<std::size_t>(lf - buffer_.data());
        if (line.size() > limit) {
            return false;
        }
        if (lf != stop) {
            ++start_;
            return true;
        }
    }
}

std::size_t BufferedSource::Read(std::uint8_t* out, std::size_t n)
{
    const std::size_t buffered = std::min(n, end_ - start_);
    std::memcpy(out, buffer_.data() + start_, buffered);
    start_ += buffered;
    if (buffered == n) {
        return n;
    }
    return buffered + inner_.Read(out + buffered, n - buffered);
}

} // namespace ciphra::age
