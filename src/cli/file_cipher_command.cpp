// "encrypt" and "decrypt": the cipher stream over whole files, beside or in place.

#include <cerrno>
#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "core/crypto/twofish.h"
#include "core/io/temporary_output.h"
#include "core/jobs/cipher_stream.h"
#include "core/jobs/key_material.h"

namespace ciphra::cli {

namespace {

enum class Direction { Encrypt, Decrypt };

constexpr const char* EncryptUsage =
    "Usage: ciphra2k-cli encrypt [--in-place] [--raw-key] [--password-file F] FILE...";
constexpr const char* DecryptUsage =
    "Usage: ciphra2k-cli decrypt [--in-place] [--raw-key] [--password-file F] FILE...";

constexpr const char* EncryptHelp = R"(
Encrypts each FILE with Twofish into FILE.CPH beside it (the full name plus
".CPH"). The encrypted file has exactly the length of FILE.
)";
constexpr const char* DecryptHelp = R"(
Decrypts each FILE into a file beside it named with FILE's extension replaced
by ".dec" ("a.txt.CPH" gives "a.txt.dec", "noext" gives "noext.dec").
A wrong password is not detected: it gives a file of the right length that
holds other bytes.
)";
constexpr const char* CommonHelp = R"(
Options:
  --in-place          replace each FILE by its transformed form instead. The
                      result is written to a temporary file in FILE's folder,
                      flushed to disk and renamed over FILE only when complete,
                      so FILE is never left half transformed; it keeps its
                      permissions. A link is followed: its target is replaced.
  --raw-key           key with the password's own bytes (1 to 32 bytes) instead
                      of its SHA-1 digest; decrypting needs the same choice
  --password-file F   read the password from F, less one trailing newline;
                      without it the password is asked on the terminal
  --help              show this help

The password is asked once for all files. An output name that is already taken
is never replaced: the command stops with a message instead. Outputs are
written under a temporary name in their folder and appear under their own name
only when complete. All files are checked before the first is written; when a
later file fails, the files before it stay done.

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

struct Job {
    std::string Given;  // the name on the command line
    std::string Input;  // as given, or resolved to the link target in place
    std::string Output; // the beside output; Input itself in place
};

std::string OutputName(Direction direction, const std::string& input)
{
    return direction == Direction::Encrypt ? input + ".CPH" : ReplaceExtension(input, ".dec");
}

std::string DescribeFileError(const std::string& path, const FileError& error)
{
    return path + ": " + error.what();
}

// Every file is checked before anything is written, so that a bad name
// anywhere in the list leaves every file as it was.
Job CheckFile(Direction direction, bool inPlace, const std::string& path)
{
    if (IsDirectory(path)) {
        throw Exception(path + ": is a folder, not a file");
    }
    Job job;
    job.Given = path;
    try {
        File::Open(path, inPlace ? OpenMode::ReadWrite : OpenMode::ReadOnly).Close();
        job.Input = inPlace ? ResolvePath(path) : path;
    } catch (const FileError& error) {
        throw Exception(DescribeFileError(path, error));
    }
    job.Output = inPlace ? job.Input : OutputName(direction, path);
    if (!inPlace && PathExists(job.Output)) {
        throw Exception(job.Output + ": file exists, not replaced");
    }
    return job;
}

TemporaryOutput CreateOutput(const std::string& path)
{
    try {
        return TemporaryOutput(path);
    } catch (const FileError& error) {
        throw Exception("cannot write in " + FolderOf(path) + ": " + error.what());
    }
}

// One file: a fresh context keyed from the key material, wiped at the end.
void TransformFile(Direction direction, bool inPlace, const KeyMaterial& key, const Job& job)
{
    struct Context {
        TwofishContext Twofish;
        ~Context() { TwofishWipe(Twofish); }
    } run;
    PrepareCipherRun(run.Twofish, key.Bytes, key.Length);
    try {
        File input = File::Open(job.Input, OpenMode::ReadOnly);
        TemporaryOutput output = CreateOutput(job.Output);
        if (direction == Direction::Encrypt) {
            EncryptStream(run.Twofish, input, output.Output());
        } else {
            DecryptStream(run.Twofish, input, output.Output());
        }
        if (inPlace) {
            output.CommitReplacing(input.Permissions());
        } else {
            output.CommitNew(MaskedPermissions(input.Permissions() & 0777));
        }
    } catch (const FileError& error) {
        if (error.ErrorNumber() == EEXIST) {
            throw; // already names the file
        }
        throw Exception(DescribeFileError(job.Given, error));
    }
}

int RunFileCipher(Direction direction, const Arguments& args, CliIo& io)
{
    const bool encrypt = direction == Direction::Encrypt;
    const char* usage = encrypt ? EncryptUsage : DecryptUsage;
    CommandLine line;
    if (auto problem = ParseCommandLine(args, {"--in-place", "--raw-key"}, true, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << (encrypt ? EncryptHelp : DecryptHelp) << CommonHelp;
        return ExitOk;
    }
    if (line.Operands.empty()) {
        return ReportUsage(io, "no FILE given", usage);
    }
    const bool inPlace = line.Has("--in-place");
    try {
        std::vector<Job> jobs;
        for (const std::string& path : line.Operands) {
            jobs.push_back(CheckFile(direction, inPlace, path));
        }
        KeyMaterial key;
        {
            SecretText password;
            ObtainPassword(line.PasswordFile, io.Prompt, password);
            MakeKeyMaterial(password.View(), !line.Has("--raw-key"), key);
        }
        for (const Job& job : jobs) {
            TransformFile(direction, inPlace, key, job);
            io.Out << (inPlace ? job.Given : job.Output) << '\n';
        }
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    return ExitOk;
}

} // namespace

int RunEncryptCommand(const Arguments& args, CliIo& io)
{
    return RunFileCipher(Direction::Encrypt, args, io);
}

int RunDecryptCommand(const Arguments& args, CliIo& io)
{
    return RunFileCipher(Direction::Decrypt, args, io);
}

} // namespace ciphra::cli
