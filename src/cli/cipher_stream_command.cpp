// encrypt and decrypt on streams: "-" reads standard input, "-o -" writes
// standard output; the data streams through in constant memory.

#include <cerrno>
#include <ostream>

#include "cli/cipher_request.h"
#include "core/io/path_names.h"
#include "core/io/terminal.h"
#include "core/jobs/stream_job.h"

namespace ciphra::cli {

namespace {

constexpr const char* StandardInput = "standard input";

bool FromStandardInput(const CipherRequest& request)
{
    return request.Line.Operands.front() == "-";
}

bool ToStandardOutput(const CipherRequest& request)
{
    return !request.Output || *request.Output == "-";
}

// Bytes that are not text would garble a terminal (and may act on it).
std::optional<std::string> TerminalProblem(const CipherRequest& request, const CliIo& io)
{
    if (!ToStandardOutput(request) || !IsTerminal(io.DataOut)) {
        return std::nullopt;
    }
    if (!request.Encrypt()) {
        return "decrypted data is not written to a terminal; redirect standard output or "
               "use -o FILE";
    }
    if (request.Age() && request.Line.Has("--armor")) {
        return std::nullopt;
    }
    return "encrypted data is not written to a terminal; redirect standard output, use -o "
           "FILE, or --format age --armor for text";
}

// The checks made before any data is read or a password asked.
std::optional<std::string> StreamProblem(const CipherRequest& request, const CliIo& io)
{
    if (auto problem = TerminalProblem(request, io)) {
        return problem;
    }
    if (ToStandardOutput(request)) {
        return std::nullopt;
    }
    const std::string folder = FolderOf(*request.Output);
    if (!IsDirectory(folder)) {
        return "cannot write in " + folder + ": " +
               (PathExists(folder) ? "not a folder" : IoErrorText(ENOENT));
    }
    const EntryKind output = KindOfEntry(*request.Output);
    if (output == EntryKind::Folder) {
        return *request.Output + ": is a folder, not replaced";
    }
    if (output != EntryKind::Missing && !request.Line.Has("--force")) {
        return *request.Output + ": file exists, not replaced";
    }
    return std::nullopt;
}

File OpenInput(const CipherRequest& request, const CliIo& io)
{
    if (FromStandardInput(request)) {
        return File::Duplicate(io.DataIn);
    }
    return File::OpenRegular(request.Line.Operands.front(), OpenMode::ReadOnly);
}

// Which keys the stream needs. An age stream from a pipe cannot be looked at
// ahead: the password is asked unless identities are given for it.
bool NeedsPassword(const CipherRequest& request, const StreamJob& job, File& input)
{
    if (request.Encrypt()) {
        return request.Recipients.empty() && request.RecipientsFiles.empty();
    }
    if (job.Format == CipherFormat::Cph) {
        return true;
    }
    const std::optional<age::Lock> lock = LockOfStream(input);
    if (lock) {
        return lock == age::Lock::Password;
    }
    return request.IdentityFiles.empty() || request.Line.PasswordFile.has_value();
}

int Transform(const CipherRequest& request, File& input, CliIo& io)
{
    const std::optional<std::string>& passwordFile = request.Line.PasswordFile;
    if (passwordFile && IdentityOf(*passwordFile) == input.Status().Identity) {
        return ReportFailure(io, "the password file is what carries the data; it cannot be both");
    }
    StreamJob job;
    job.Direction = request.Direction;
    job.Format = request.Encrypt() ? request.FormatWritten() : FormatOfStream(input);
    CipherKeys keys;
    ObtainCipherKeys(request, NeedsPassword(request, job, input), io, keys);
    if (ToStandardOutput(request)) {
        File output = File::Duplicate(io.DataOut);
        TransformStream(job, input, output, keys.Key, keys.Age);
        return ExitOk;
    }
    const ExistingOutput existing =
        request.Line.Has("--force") ? ExistingOutput::Replace : ExistingOutput::Refuse;
    // Decrypted, it is a secret with no file to take permissions from.
    const mode_t permissions = request.Encrypt() ? MaskedPermissions(0666) : 0600;
    if (!TransformStreamInto(job, input, *request.Output, existing, permissions, keys.Key,
                             keys.Age)) {
        return ReportFailure(io, *request.Output + ": file exists, not replaced");
    }
    io.Out << *request.Output << '\n';
    return ExitOk;
}

} // namespace

int RunCipherStream(const CipherRequest& request, CliIo& io)
{
    if (auto problem = StreamProblem(request, io)) {
        return ReportFailure(io, *problem);
    }
    const std::string source =
        FromStandardInput(request) ? StandardInput : request.Line.Operands.front();
    try {
        File input = OpenInput(request, io);
        return Transform(request, input, io);
    } catch (const FileError& error) {
        if (error.ErrorNumber() == EPIPE) {
            return ReportFailure(io, "standard output was closed before all of the data was "
                                     "written");
        }
        if (error.ErrorNumber() == EISDIR) {
            return ReportFailure(io, source + ": is a folder, not a file");
        }
        return ReportFailure(io, source + ": " + error.what());
    } catch (const age::AgeError& error) {
        return ReportFailure(io, source + ": " + error.what());
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
}

} // namespace ciphra::cli
