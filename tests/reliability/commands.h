#pragma once
// The file commands of ciphra2k-cli as the reliability tests run them, and
// what each should leave behind, computed with the core in process.

#include <string>
#include <vector>

namespace ciphra::test {

enum class Command { EncryptBeside, EncryptInPlace, DecryptBeside, DecryptInPlace, Sfx, Hash };

inline constexpr const char* TestPassword = "correct horse battery";

const char* NameOf(Command command);
// The arguments that run `command` on `file` with the password file.
std::vector<std::string> ArgumentsFor(Command command, const std::string& passwordFile,
                                      const std::string& file);
// The new file a command writes beside `file` ("" in place and for hash).
std::string OutputFor(Command command, const std::string& file);
// What the output (or the file itself, in place) must hold when `plain` was
// the file's content.
std::string ExpectedOutput(Command command, const std::string& plain);

} // namespace ciphra::test
