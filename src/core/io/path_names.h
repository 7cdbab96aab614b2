#pragma once
// The parts of a path, as text: no file is looked at.

#include <cstddef>
#include <string>

namespace ciphra {

// The longest name one folder entry may have on Linux, in bytes.
inline constexpr std::size_t LongestName = 255;

// The folder part of a path (up to, not including, the last "/"; "." for a
// bare name, "/" for a name directly under the root) and the name part.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// Replaces the extension of the last path component ("a.txt.CPH" -> "a.txt.dec",
// "noext" -> "noext.dec"); `extension` includes its dot.
std::string ReplaceExtension(const std::string& path, const std::string& extension);
// The first bytes of `name`, at most `limit` of them, cut where a UTF-8
// character begins so that no character is split.
std::string NamePrefix(const std::string& name, std::size_t limit);

} // namespace ciphra
