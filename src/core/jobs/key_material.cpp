#include "core/jobs/key_material.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/crypto/sha1.h"
#include "core/crypto/wipe.h"

namespace ciphra {

KeyMaterial::~KeyMaterial()
{
    SecureWipeObject(*this);
}

void MakeKeyMaterial(std::string_view password, bool useDigest, KeyMaterial& out)
{
    SecureWipeObject(out);
    if (useDigest) {
        Sha1OfText(password, out.Bytes);
        out.Length = static_cast<std::int32_t>(Sha1DigestSize);
        return;
    }
    const std::size_t kept = std::min(password.size(), sizeof out.Bytes);
    std::memcpy(out.Bytes, password.data(), kept);
    constexpr std::size_t longest = std::numeric_limits<std::int32_t>::max();
    out.Length = static_cast<std::int32_t>(std::min(password.size(), longest));
}

} // namespace ciphra
