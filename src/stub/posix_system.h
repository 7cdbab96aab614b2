#pragma once
// The Linux stub's system (stub_system.h) on the core's file layer: the
// working file is an OutputFile (output_file.h) and the payload starts at
// the end of the program's ELF image (stub_image.h).

#include <string>
#include <string_view>

#include "stub/decrypt_routine.h"

namespace ciphra::stub {

// The routine (decrypt_routine.h) for the program at `ownPath`.
bool DecryptPayload(const std::string& ownPath, std::string_view password, MessageSink& messages);

} // namespace ciphra::stub
