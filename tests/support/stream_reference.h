#pragma once
// What the cipher stream makes of some bytes with a password's key (its SHA-1
// digest, or the password's own bytes): the reference that every writer's
// output is compared with.

#include <string>
#include <string_view>

namespace ciphra::test {

std::string Encrypted(const std::string& bytes, std::string_view password, bool useDigest = true);
std::string Decrypted(const std::string& bytes, std::string_view password, bool useDigest = true);

} // namespace ciphra::test
