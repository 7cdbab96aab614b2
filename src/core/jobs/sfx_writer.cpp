#include "core/jobs/sfx_writer.h"

#include <cstdint>
#include <optional>

#include "core/crypto/twofish.h"

namespace ciphra {
namespace {

constexpr std::size_t CopyChunk = 64 * 1024;

struct CipherRun {
    TwofishContext Context;
    CipherRun() = default;
    CipherRun(const CipherRun&) = delete;
    CipherRun& operator=(const CipherRun&) = delete;
    ~CipherRun() { TwofishWipe(Context); }
};

Exception Described(const std::string& path, const FileError& error)
{
    return Exception(path + ": " + error.what());
}

Exception NameTaken(const std::string& program)
{
    return Exception(program + ": file exists, not replaced");
}

File OpenSource(const std::string& path)
{
    if (IsDirectory(path))
        throw Exception(path + ": is a folder, not a file");
    try {
        return File::Open(path, OpenMode::ReadOnly);
    } catch (const FileError& error) {
        throw Described(path, error);
    }
}

// Appends all of `from` (named `fromPath` in errors) to `to`.
void Append(File& from, const std::string& fromPath, File& to, const std::string& toPath)
{
    std::string buffer(CopyChunk, '\0');
    for (;;) {
        std::size_t n = 0;
        try {
            n = from.Read(buffer.data(), buffer.size());
        } catch (const FileError& error) {
            throw Described(fromPath, error);
        }
        if (n == 0)
            return;
        try {
            to.WriteAll(buffer.data(), n);
        } catch (const FileError& error) {
            throw Described(toPath, error);
        }
    }
}

} // namespace

std::string SelfDecryptingProgramPath(const std::string& plainPath)
{
    return ReplaceExtension(plainPath, ".exe");
}

std::string WriteSelfDecryptingProgram(const std::string& plainPath, std::string_view password,
                                       const std::string& stubPath, StreamProgress* progress,
                                       WorkingFileWatch* watch)
{
    CipherRun run;
    // Anything over 32 bytes is refused alike; 33 stands for them all.
    const auto keyLength = static_cast<std::int32_t>(password.size() > 32 ? 33 : password.size());
    PrepareCipherRun(run.Context, password.data(), keyLength);

    const std::string program = SelfDecryptingProgramPath(plainPath);
    if (PathExists(program))
        throw NameTaken(program);
    File stub = OpenSource(stubPath);
    File plain = OpenSource(plainPath);

    const std::string folder = FolderOf(program);
    std::optional<WorkingFile> work;
    try {
        work.emplace(folder, NameOf(program), watch);
    } catch (const FileError& error) {
        throw Exception("cannot write in " + folder + ": " + error.what());
    }
    File& out = work->Handle();
    Append(stub, stubPath, out, program);
    try {
        // The plain bytes are encrypted in place behind the stub's copy; the
        // working file is owner-only and sits beside the plain file anyway.
        const std::uint64_t payloadStart = out.Position();
        Append(plain, plainPath, out, program);
        out.Seek(payloadStart);
        EncryptStream(run.Context, out, out, progress);
        out.Sync();
        out.SetPermissions(MaskedPermissions(0777));
        if (!work->MoveTo(program))
            throw NameTaken(program);
    } catch (const FileError& error) {
        throw Described(program, error);
    }
    return program;
}

} // namespace ciphra
