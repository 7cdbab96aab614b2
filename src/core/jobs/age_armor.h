#pragma once
// Where the age format's bytes come from and go to: the file itself, or the
// ASCII armor around them (strict PEM, label "AGE ENCRYPTED FILE": lines of
// 64 columns of padded Base64, the last one shorter or full). The armor is
// read as strictly as it is written: only whitespace lines before it and
// whitespace after it (at most 1024 bytes each), LF or CR LF line ends, and
// the canonical Base64 of every line.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/io/posix_file.h"

namespace ciphra::age {

inline constexpr const char* ArmorBegin = "-----BEGIN AGE ENCRYPTED FILE-----";
inline constexpr const char* ArmorEnd = "-----END AGE ENCRYPTED FILE-----";

class Source {
public:
    virtual ~Source() = default;
    // Reads up to n bytes; fewer only at the end. A damaged armor throws
    // AgeError (Problem::Armor).
    virtual std::size_t Read(std::uint8_t* out, std::size_t n) = 0;
    // How many bytes of the file were read so far.
    virtual std::uint64_t Consumed() const = 0;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual void Write(const std::uint8_t* data, std::size_t n) = 0;
    virtual void End() = 0; // after the last Write
};

// True when what `file` reads next starts, after whitespace, with the armor's
// first line. Nothing is taken (File::Peek), so a pipe can be told too.
bool IsArmored(File& file);

// Reads `file` from its current position: through the armor when it is armored.
std::unique_ptr<Source> OpenSource(File& file);
std::unique_ptr<Sink> OpenSink(File& file, bool armor);

// A source read by lines as well as by blocks (the header is lines, the
// payload blocks after it).
class BufferedSource {
public:
    explicit BufferedSource(Source& inner);

    // Reads up to and including "\n" into `line` (without it). False when the
    // source ends before a line break, `line` then holding what was left.
    // A line longer than `limit` stops there and gives false too.
    bool ReadLine(std::string& line, std::size_t limit);
    std::size_t Read(std::uint8_t* out, std::size_t n);
    std::uint64_t Consumed() const { return inner_.Consumed(); }

private:
    Source& inner_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
    std::size_t end_ = 0;
};

} // namespace ciphra::age
