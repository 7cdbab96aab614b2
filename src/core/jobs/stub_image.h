#pragma once
// Where the payload of a self-decrypting program begins.
//
// A self-decrypting program is the stub file's bytes followed by the payload.
// Rather than carry its own length as a constant that a rebuild could make
// stale, the stub measures the ELF image at the front of its own file: the
// end of the furthest of its headers, segments and sections. For the stripped
// stub as built that is exactly the length of sfdstub.dtt, so the payload
// offset always matches the build.

#include <cstdint>
#include <string>

#include "core/io/posix_file.h"
#include "core/jobs/stub_marker.h"

namespace ciphra {

// The length of the ELF image at the start of `file` (read with positioned
// reads; the file position is left alone). Throws ciphra::Exception when the
// file does not start with a well-formed 64-bit ELF image that fits in it.
std::uint64_t ElfImageLength(File& file);

// The length of the program image at the start of `file`: a 64-bit ELF
// image (the Linux stub) or a PE32+ image (the Windows stub, pe_image.h).
// Throws ciphra::Exception when the file starts with neither, well-formed.
std::uint64_t ProgramImageLength(File& file);

// SfdPayloadOffset of the program stored in `file`: the length of its stub.
inline std::uint64_t SfdPayloadOffset(File& file)
{
    return ElfImageLength(file);
}

// True when `file` is a stub as this project builds them, for Linux or for
// Windows: it carries the stub's marker, and its program image ends exactly
// at its end (so that the program written from it finds its payload). The
// file position is left alone.
bool IsStubImage(File& file);

} // namespace ciphra
