#include "core/jobs/pe_image.h"

namespace ciphra {
namespace {

// Offsets and sizes of the PE/COFF format.
constexpr std::size_t DosHeaderSize = 64;
constexpr std::size_t NewHeaderOffsetAt = 0x3C; // e_lfanew
constexpr std::size_t SignatureSize = 4;        // "PE\0\0"
constexpr std::size_t FileHeaderSize = 20;
constexpr std::size_t SectionHeaderSize = 40;
constexpr std::size_t SymbolSize = 18;
constexpr std::uint16_t Pe32PlusMagic = 0x20B;
constexpr std::size_t SizeOfHeadersAt = 60;   // in the optional header
constexpr std::size_t DirectoryCountAt = 108; // NumberOfRvaAndSizes
constexpr std::size_t DirectoriesAt = 112;
constexpr std::uint32_t CertificateDirectory = 4; // its address is a file offset

std::uint32_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0] | p[1] << 8);
}

std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Grows the image end to cover [offset, offset + length); anything reaching
// past the file spoils the image.
class Extent {
public:
    explicit Extent(std::uint64_t fileSize) : fileSize_(fileSize) {}

    void Cover(std::uint64_t offset, std::uint64_t length)
    {
        if (offset > fileSize_ || length > fileSize_ - offset) {
            whole_ = false;
        } else if (offset + length > end_) {
            end_ = offset + length;
        }
    }
    std::uint64_t End() const { return whole_ ? end_ : 0; }

private:
    std::uint64_t fileSize_;
    std::uint64_t end_ = 0;
    bool whole_ = true;
};

} // namespace

std::uint64_t PeImageLength(ImageBytes& file, std::uint64_t fileSize) noexcept
{
    std::uint8_t dos[DosHeaderSize];
    if (!file.ReadAt(dos, sizeof dos, 0) || dos[0] != 'M' || dos[1] != 'Z') {
        return 0;
    }
    const std::uint64_t at = Le32(dos + NewHeaderOffsetAt);
    std::uint8_t head[SignatureSize + FileHeaderSize + DirectoriesAt];
    if (!file.ReadAt(head, sizeof head, at) || head[0] != 'P' || head[1] != 'E' || head[2] != 0 ||
        head[3] != 0) {
        return 0;
    }
    const std::uint8_t* coff = head + SignatureSize;
    const std::uint32_t sections = Le16(coff + 2);
    const std::uint32_t symbolTable = Le32(coff + 8);
    const std::uint32_t symbols = Le32(coff + 12);
    const std::uint32_t optionalSize = Le16(coff + 16);
    const std::uint8_t* optional = coff + FileHeaderSize;
    if (optionalSize < DirectoriesAt || Le16(optional) != Pe32PlusMagic) {
        return 0;
    }

    Extent extent(fileSize);
    extent.Cover(0, DosHeaderSize);
    const std::uint64_t sectionTable = at + SignatureSize + FileHeaderSize + optionalSize;
    extent.Cover(at, sectionTable - at);
    extent.Cover(sectionTable, std::uint64_t{sections} * SectionHeaderSize);
    extent.Cover(0, Le32(optional + SizeOfHeadersAt));
    for (std::uint32_t i = 0; i < sections; ++i) {
        std::uint8_t section[SectionHeaderSize];
        if (!file.ReadAt(section, sizeof section, sectionTable + i * SectionHeaderSize)) {
            return 0;
        }
        // Uninitialised data has no bytes in the file, whatever its pointer says.
        const std::uint32_t rawSize = Le32(section + 16);
        if (rawSize != 0) {
            extent.Cover(Le32(section + 20), rawSize);
        }
    }
    if (symbolTable != 0) {
        // The string table follows the symbols and starts with its own length.
        const std::uint64_t strings = symbolTable + std::uint64_t{symbols} * SymbolSize;
        std::uint8_t length[4];
        if (!file.ReadAt(length, sizeof length, strings)) {
            return 0;
        }
        extent.Cover(symbolTable, strings - symbolTable + Le32(length));
    }
    const std::uint32_t directories = Le32(optional + DirectoryCountAt);
    const std::uint64_t certificateAt = DirectoriesAt + std::size_t{8} * CertificateDirectory;
    if (directories > CertificateDirectory && optionalSize >= certificateAt + 8) {
        std::uint8_t certificate[8];
        if (!file.ReadAt(certificate, sizeof certificate,
                         at + SignatureSize + FileHeaderSize + certificateAt)) {
            return 0;
        }
        extent.Cover(Le32(certificate), Le32(certificate + 4));
    }
    return extent.End();
}

} // namespace ciphra
