#pragma once
// Where the PE image at the front of a 64-bit Windows program ends: the end
// of the furthest of its headers, its sections' data, its symbol table and
// its certificate table. For the stripped Windows stub as built that is
// exactly the length of sfdstub-win.dtt, as ElfImageLength (stub_image.h) is
// for the Linux stub. Standard C++ without exceptions or allocation, so that
// the Windows stub measures its own file with the code that the program
// writer checks it with.

#include <cstddef>
#include <cstdint>

namespace ciphra {

// The file being measured.
class ImageBytes {
public:
    // Reads exactly n bytes at `offset`; false when they are not all there.
    virtual bool ReadAt(void* bytes, std::size_t n, std::uint64_t offset) = 0;

protected:
    ~ImageBytes() = default;
};

// The length of the PE32+ image at the start of a file of `fileSize` bytes,
// or 0 when the file does not start with a well-formed one that fits in it.
std::uint64_t PeImageLength(ImageBytes& file, std::uint64_t fileSize) noexcept;

} // namespace ciphra
