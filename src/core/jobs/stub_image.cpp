#include "core/jobs/stub_image.h"

#include <algorithm>
#include <cstring>
#include <elf.h>

namespace ciphra {
namespace {

constexpr const char* NotAProgram = "The program file is not a valid stub";

// Grows the image end to cover [offset, offset + length) of a file of
// `fileSize` bytes; anything reaching past the file is not a stub of ours.
class ImageExtent {
public:
    explicit ImageExtent(std::uint64_t fileSize) : fileSize_(fileSize) {}

    void Cover(std::uint64_t offset, std::uint64_t length)
    {
        if (offset > fileSize_ || length > fileSize_ - offset) {
            throw Exception(NotAProgram);
        }
        if (offset + length > end_) {
            end_ = offset + length;
        }
    }
    std::uint64_t End() const { return end_; }

private:
    std::uint64_t fileSize_;
    std::uint64_t end_ = 0;
};

template <typename T> T ReadRecord(File& file, std::uint64_t offset)
{
    T record;
    if (file.ReadAt(&record, sizeof record, offset) != sizeof record) {
        throw Exception(NotAProgram);
    }
    return record;
}

} // namespace

std::uint64_t ElfImageLength(File& file)
{
    const auto header = ReadRecord<Elf64_Ehdr>(file, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 ||
        (header.e_phnum > 0 && header.e_phentsize < sizeof(Elf64_Phdr)) ||
        (header.e_shnum > 0 && header.e_shentsize < sizeof(Elf64_Shdr))) {
        throw Exception(NotAProgram);
    }

    ImageExtent extent(file.Size());
    extent.Cover(0, sizeof header);
    extent.Cover(header.e_phoff, std::uint64_t{header.e_phnum} * header.e_phentsize);
    extent.Cover(header.e_shoff, std::uint64_t{header.e_shnum} * header.e_shentsize);
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        const auto segment =
            ReadRecord<Elf64_Phdr>(file, header.e_phoff + std::uint64_t{i} * header.e_phentsize);
        extent.Cover(segment.p_offset, segment.p_filesz);
    }
    for (unsigned i = 0; i < header.e_shnum; ++i) {
        const auto section =
            ReadRecord<Elf64_Shdr>(file, header.e_shoff + std::uint64_t{i} * header.e_shentsize);
        if (section.sh_type != SHT_NOBITS) {
            extent.Cover(section.sh_offset, section.sh_size);
        }
    }
    return extent.End();
}

bool IsStubImage(File& file)
{
    // A stub is a few tens of KiB; anything far larger is not one.
    constexpr std::uint64_t LargestStub = std::uint64_t{1} << 22;
    const std::uint64_t size = file.Size();
    try {
        if (size > LargestStub || ElfImageLength(file) != size) {
            return false;
        }
    } catch (const Exception&) {
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (file.ReadAt(bytes.data(), bytes.size(), 0) != bytes.size()) {
        return false;
    }
    const std::string marker(std::rbegin(StubMarkerReversed) + 1, std::rend(StubMarkerReversed));
    return bytes.find(marker) != std::string::npos;
}

} // namespace ciphra
