#include "reliability/commands.h"
#include "core/io/path_names.h"

#include "core/io/posix_file.h"
#include "support/stream_reference.h"
#include "support/test_files.h"

namespace ciphra::test {

namespace {

// The stream with the key the CLI derives.
std::string Transform(bool encrypt, bool digest, const std::string& bytes)
{
    return encrypt ? Encrypted(bytes, TestPassword, digest)
                   : Decrypted(bytes, TestPassword, digest);
}

} // namespace

const char* NameOf(Command command)
{
    switch (command) {
    case Command::EncryptBeside:
        return "EncryptBeside";
    case Command::EncryptInPlace:
        return "EncryptInPlace";
    case Command::DecryptBeside:
        return "DecryptBeside";
    case Command::DecryptInPlace:
        return "DecryptInPlace";
    case Command::Sfx:
        return "Sfx";
    case Command::Hash:
        return "Hash";
    }
    return "?";
}

std::vector<std::string> ArgumentsFor(Command command, const std::string& passwordFile,
                                      const std::string& file)
{
    switch (command) {
    case Command::EncryptBeside:
        return {"encrypt", "--password-file", passwordFile, "--", file};
    case Command::EncryptInPlace:
        return {"encrypt", "--in-place", "--password-file", passwordFile, "--", file};
    case Command::DecryptBeside:
        return {"decrypt", "--password-file", passwordFile, "--", file};
    case Command::DecryptInPlace:
        return {"decrypt", "--in-place", "--password-file", passwordFile, "--", file};
    case Command::Sfx:
        return {"sfx", "--password-file", passwordFile, "--stub", CIPHRA_STUB_FILE, "--", file};
    case Command::Hash:
        return {"hash", "--", file};
    }
    return {};
}

std::string OutputFor(Command command, const std::string& file)
{
    switch (command) {
    case Command::EncryptBeside:
        return file + ".CPH";
    case Command::DecryptBeside:
        return ReplaceExtension(file, ".dec");
    case Command::Sfx:
        return ReplaceExtension(file, ".exe");
    default:
        return "";
    }
}

std::string ExpectedOutput(Command command, const std::string& plain)
{
    switch (command) {
    case Command::EncryptBeside:
    case Command::EncryptInPlace:
        return Transform(true, true, plain);
    case Command::DecryptBeside:
    case Command::DecryptInPlace:
        return Transform(false, true, plain);
    case Command::Sfx:
        return ReadBytes(CIPHRA_STUB_FILE) + Transform(true, false, plain);
    case Command::Hash:
        return "";
    }
    return "";
}

} // namespace ciphra::test
