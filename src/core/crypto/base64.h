#pragma once
// Base64 with the standard alphabet and "=" padding, one unbroken line.
// The decoder is strict about length only: any length that is not a multiple
// of 4 throws ciphra::Exception("Base64: Incorrect string format"); every
// character outside "A-Za-z0-9+" decodes as 63, and the "=" position in the
// last group decides how many bytes it gives.

#include <string>
#include <string_view>

namespace ciphra {

inline constexpr const char* Base64FormatMessage = "Base64: Incorrect string format";

std::string Base64EncodeText(std::string_view bytes);
std::string Base64DecodeText(std::string_view text);

} // namespace ciphra
