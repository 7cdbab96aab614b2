#pragma once
// The text every stub carries, so that a writer can tell a stub from any
// other program (stub_image.h). Only the stubs hold it as it reads: the
// writer spells it backwards (StubMarkerReversed) and turns it round when it
// looks. Standard C++ alone, for the Windows stub too.

#define CIPHRA_STUB_MARKER "ciphra2k sfdstub: the payload follows this image"

namespace ciphra {

inline constexpr char StubMarkerReversed[] = "egami siht swollof daolyap eht :butsdfs k2arhpic";

} // namespace ciphra
