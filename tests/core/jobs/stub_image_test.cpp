#include "core/jobs/stub_image.h"

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

} // namespace
} // namespace ciphra
