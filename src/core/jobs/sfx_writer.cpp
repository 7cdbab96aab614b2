#include "core/jobs/sfx_writer.h"

#include <cstdint>
#include <optional>

#include "core/io/output_file.h"
#include "core/jobs/output_names.h"
#include "core/jobs/stub_image.h"

namespace ciphra {
namespace {

constexpr std::size_t CopyChunk = std::size_t{64} * 1024;

Exception Described(const std::string& path, const FileError& error)
{
    return Exception(path + ": " + error.what());
}

File OpenStub(const std::string& path)
{
    std::optional<File> stub;
    try {
        stub.emplace(File::OpenRegular(path, OpenMode::ReadOnly));
        if (IsStubImage(*stub)) {
            return std::move(*stub);
        }
    } catch (const FileError& error) {
        throw Described(path, error);
    }
    throw Exception(path + ": not a stub of self-decrypting programs");
}

void CopyAll(File& from, const std::string& fromPath, File& to)
{
    std::string buffer(CopyChunk, '\0');
    for (;;) {
        std::size_t n = 0;
        try {
            n = from.Read(buffer.data(), buffer.size());
        } catch (const FileError& error) {
            throw Described(fromPath, error);
        }
        if (n == 0) {
            return;
        }
        to.WriteAll(buffer.data(), n);
    }
}

} // namespace

SfxOutcome CheckSelfDecryptingProgram(const std::string& plainPath)
{
    SfxOutcome outcome;
    outcome.Program = SelfDecryptingProgramPath(plainPath);
    if (!File::TryOpenRegular(plainPath, OpenMode::ReadOnly, &outcome.Error)) {
        outcome.Status = SfxStatus::SourceUnusable;
    } else if (PathExists(outcome.Program)) {
        outcome.Status = SfxStatus::ProgramNameTaken;
    }
    return outcome;
}

SfxOutcome WriteSelfDecryptingProgram(const std::string& plainPath, std::string_view password,
                                      const std::string& stubPath, StreamProgress* progress)
{
    // Anything over 32 bytes is refused alike; 33 stands for them all.
    const auto keyLength = static_cast<std::int32_t>(password.size() > 32 ? 33 : password.size());
    CipherRun run(password.data(), keyLength);

    SfxOutcome outcome = CheckSelfDecryptingProgram(plainPath);
    if (outcome.Status != SfxStatus::Done) {
        return outcome;
    }
    File stub = OpenStub(stubPath);
    std::optional<File> plain = File::TryOpenRegular(plainPath, OpenMode::ReadOnly, &outcome.Error);
    if (!plain) {
        outcome.Status = SfxStatus::SourceUnusable;
        return outcome;
    }
    try {
        OutputFile program(outcome.Program);
        CopyAll(stub, stubPath, program.Handle());
        EncryptStream(run.Context(), *plain, program.Handle(), progress,
                      program.Handle().Position());
        run.Wipe();
        program.Finish(MaskedPermissions(0777));
        if (!program.PublishNew()) {
            outcome.Status = SfxStatus::ProgramNameTaken;
        }
    } catch (const FileError& error) {
        throw Described(outcome.Program, error);
    }
    return outcome;
}

} // namespace ciphra
