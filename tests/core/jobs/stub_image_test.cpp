#include "core/jobs/stub_image.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>

#include "support/test_files.h"

namespace ciphra {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// Every self-decrypting program carries the whole stub: the stripped stub
// must stay within the size the format was first shipped with.
constexpr std::uint64_t StubSizeLimit = 50688;

std::uint64_t OffsetOf(const std::string& path)
{
    File file = File::Open(path, OpenMode::ReadOnly);
    return SfdPayloadOffset(file);
}

TEST(PayloadOffset, IsTheLengthOfTheBuiltStub)
{
    const std::string stub = ReadBytes(CIPHRA_STUB_FILE);
    EXPECT_EQ(OffsetOf(CIPHRA_STUB_FILE), stub.size());
#if CIPHRA_STUB_SIZE_LIMITED
    EXPECT_LE(stub.size(), StubSizeLimit);
#endif
}

TEST(PayloadOffset, StaysTheStubLengthWhateverFollows)
{
    TempFolder folder;
    const std::string stub = ReadBytes(CIPHRA_STUB_FILE);
    for (std::size_t payload : {0, 1, 4096, 100000}) {
        SCOPED_TRACE(payload);
        WriteBytes(folder / "program", stub + PatternBytes(payload, 7));
        EXPECT_EQ(OffsetOf(folder / "program"), stub.size());
    }
}

TEST(PayloadOffset, RefusesWhatIsNoWholeStub)
{
    const std::string stub = ReadBytes(CIPHRA_STUB_FILE);
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"empty file", ""},
        {"plain text", std::string(200, 'x')},
        {"headers only", stub.substr(0, 64)},
        {"one byte short", stub.substr(0, stub.size() - 1)},
        {"32-bit class",
         [&] {
             std::string other = stub;
             other[4] = 1; // ELFCLASS32
             return other;
         }()},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(folder / "program", c.Bytes);
        EXPECT_THROW(OffsetOf(folder / "program"), Exception);
    }
}

// A small PE32+ program laid out as the linker lays one out: DOS header,
// "PE" headers, two section headers within 512 bytes of headers, then two
// sections' data. Its fields can be changed by offset for each case.
class PeImage {
public:
    static constexpr std::size_t Headers = 64;   // where "PE\0\0" starts
    static constexpr std::size_t Optional = 88;  // the optional header
    static constexpr std::size_t Sections = 328; // the section table
    static constexpr std::size_t Length = 1280;  // 512 of headers, 512 + 256 of data

    PeImage() : bytes_(PatternBytes(Length, 5))
    {
        std::fill(bytes_.begin(), bytes_.begin() + 512, '\0');
        Put16(0, 0x5A4D); // "MZ"
        Put32(0x3C, Headers);
        Put32(Headers, 0x4550); // "PE\0\0"
        Put16(Headers + 4, 0x8664);
        Put16(Headers + 6, 2);     // sections
        Put16(Headers + 20, 240);  // optional header size
        Put16(Optional, 0x20B);    // PE32+
        Put32(Optional + 60, 512); // SizeOfHeaders
        Put32(Optional + 108, 16); // data directories
        PutSection(0, 512, 512);
        PutSection(1, 1024, 256);
    }

    void Put16(std::size_t at, std::uint32_t value)
    {
        bytes_[at] = static_cast<char>(value);
        bytes_[at + 1] = static_cast<char>(value >> 8);
    }
    void Put32(std::size_t at, std::uint32_t value)
    {
        Put16(at, value & 0xFFFF);
        Put16(at + 2, value >> 16);
    }
    void PutSection(std::size_t index, std::uint32_t offset, std::uint32_t size)
    {
        Put32(Sections + 40 * index + 16, size);
        Put32(Sections + 40 * index + 20, offset);
    }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

std::uint64_t ImageLengthOf(const std::string& path)
{
    File file = File::Open(path, OpenMode::ReadOnly);
    return ProgramImageLength(file);
}

TEST(ProgramImage, PeImageEndsAtItsFurthestPart)
{
    const struct {
        const char* Name;
        std::function<void(PeImage&)> Change;
        std::uint64_t Length; // 0: refused
    } cases[] = {
        {"as laid out", [](PeImage&) {}, PeImage::Length},
        {"followed by a payload", [](PeImage& pe) { pe.Bytes() += PatternBytes(5000); },
         PeImage::Length},
        {"sections out of order",
         [](PeImage& pe) {
             pe.PutSection(0, 1024, 256);
             pe.PutSection(1, 512, 512);
         },
         PeImage::Length},
        {"an empty last section", [](PeImage& pe) { pe.PutSection(1, 4096, 0); }, 1024},
        {"a certificate table after the sections",
         [](PeImage& pe) {
             pe.Put32(PeImage::Optional + 112 + 32, 1280);
             pe.Put32(PeImage::Optional + 112 + 36, 64);
             pe.Bytes() += std::string(100, 'c');
         },
         1344},
        {"a symbol table and its strings",
         [](PeImage& pe) {
             pe.Put32(PeImage::Headers + 12, 1280); // PointerToSymbolTable
             pe.Put32(PeImage::Headers + 16, 2);    // 36 bytes of symbols
             pe.Bytes() += std::string(36, 's') + std::string("\x0a\0\0\0strin", 10) + "tail";
         },
         1326},
        {"one byte short", [](PeImage& pe) { pe.Bytes().pop_back(); }, 0},
        {"a section past the end", [](PeImage& pe) { pe.PutSection(1, 1024, 300); }, 0},
        {"headers past the end", [](PeImage& pe) { pe.Put32(PeImage::Optional + 60, 4096); }, 0},
        {"32-bit image", [](PeImage& pe) { pe.Put16(PeImage::Optional, 0x10B); }, 0},
        {"no PE signature", [](PeImage& pe) { pe.Put16(PeImage::Headers, 0x454E); }, 0},
        {"new header past the end", [](PeImage& pe) { pe.Put32(0x3C, 5000); }, 0},
        {"optional header too short", [](PeImage& pe) { pe.Put16(PeImage::Headers + 20, 96); }, 0},
        {"DOS header only", [](PeImage& pe) { pe.Bytes().resize(64); }, 0},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        PeImage pe;
        c.Change(pe);
        WriteBytes(folder / "program", pe.Bytes());
        if (c.Length == 0) {
            EXPECT_THROW(ImageLengthOf(folder / "program"), Exception);
        } else {
            EXPECT_EQ(ImageLengthOf(folder / "program"), c.Length);
        }
    }
}

// The writer takes a file for a stub when it carries the marker and its
// image, ELF or PE, ends exactly at its end.
TEST(StubImage, MarkerAndAnImageEndingAtTheEnd)
{
    const std::string marker = CIPHRA_STUB_MARKER;
    const std::string linuxStub = ReadBytes(CIPHRA_STUB_FILE);
    const auto withMarker = [&](std::string bytes) {
        bytes.replace(600, marker.size(), marker); // inside the first section
        return bytes;
    };
    PeImage pe;
    const struct {
        const char* Name;
        std::string Bytes;
        bool Stub;
    } cases[] = {
        {"the Linux stub", linuxStub, true},
        {"the Linux stub with a payload", linuxStub + "payload", false},
        {"a PE stub", withMarker(pe.Bytes()), true},
        {"a PE stub with a payload", withMarker(pe.Bytes()) + "payload", false},
        {"a PE program without the marker", pe.Bytes(), false},
        {"the marker alone", marker, false},
    };
    TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteBytes(folder / "stub", c.Bytes);
        File file = File::Open(folder / "stub", OpenMode::ReadOnly);
        EXPECT_EQ(IsStubImage(file), c.Stub);
    }
}

#ifdef CIPHRA_WINDOWS_STUB_FILE
TEST(StubImage, TheBuiltWindowsStub)
{
    const std::string stub = ReadBytes(CIPHRA_WINDOWS_STUB_FILE);
    EXPECT_EQ(ImageLengthOf(CIPHRA_WINDOWS_STUB_FILE), stub.size());
    EXPECT_LE(stub.size(), StubSizeLimit);
    File file = File::Open(CIPHRA_WINDOWS_STUB_FILE, OpenMode::ReadOnly);
    EXPECT_TRUE(IsStubImage(file));
}
#endif

} // namespace
} // namespace ciphra
