#pragma once
// Searching the memory a piece of code leaves behind for secrets: the stack
// below the caller (zeroed before the code runs) and every heap block freed
// while it runs. Linking memory_search.cpp replaces the program's operator
// new and delete, so that freed blocks are searched before they go back.

#include <cstddef>
#include <functional>
#include <string>

namespace ciphra::test {

// A byte string that must not be found (up to 20 bytes are compared).
void AddSecretMarker(const char* name, const void* bytes, std::size_t size);
bool HaveSecretMarkers();

// Runs `code` and returns what it left: "" when nothing, else which marker
// and where ("on the stack, N bytes down: ..." or "in a freed block: ...").
// `code` must run on the calling thread.
std::string SecretsLeftBehind(const std::function<void()>& code);

} // namespace ciphra::test
