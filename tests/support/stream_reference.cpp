#include "support/stream_reference.h"

#include "core/jobs/cipher_stream.h"
#include "core/jobs/key_material.h"
#include "support/test_files.h"

namespace ciphra::test {
namespace {

std::string Transformed(const std::string& bytes, std::string_view password, bool useDigest,
                        bool encrypt)
{
    TempFolder scratch;
    WriteBytes(scratch / "data", bytes);
    KeyMaterial key;
    MakeKeyMaterial(password, useDigest, key);
    CipherRun run(key.Bytes, key.Length);
    File file = File::Open(scratch / "data", OpenMode::ReadWrite);
    if (encrypt)
        EncryptStream(run.Context(), file, file);
    else
        DecryptStream(run.Context(), file, file);
    file.Close();
    return ReadBytes(scratch / "data");
}

} // namespace

std::string Encrypted(const std::string& bytes, std::string_view password, bool useDigest)
{
    return Transformed(bytes, password, useDigest, true);
}

std::string Decrypted(const std::string& bytes, std::string_view password, bool useDigest)
{
    return Transformed(bytes, password, useDigest, false);
}

} // namespace ciphra::test
