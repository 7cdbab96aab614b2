#pragma once
// The Windows stub's system (stub_system.h) on Win32 files: the program's
// own file is the module the process runs, its payload starts where its PE
// image ends (pe_image.h), and the restored file is written as one working
// file beside it that only its owner may open until it takes its name.

#include <string_view>

#include "stub/decrypt_routine.h"

namespace ciphra::stub {

// The routine (decrypt_routine.h) for the running program's own file.
bool DecryptOwnPayload(std::string_view password, MessageSink& messages);

} // namespace ciphra::stub
