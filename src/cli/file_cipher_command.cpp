// "encrypt" and "decrypt": the command lines, their help, and which way they run.

#include <algorithm>
#include <ostream>

#include "cli/cipher_request.h"
#include "cli/value_option.h"

namespace ciphra::cli {

namespace {

constexpr const char* EncryptHelp = R"(
Encrypts each FILE with Twofish into FILE.CPH beside it (the full name plus
".CPH"). The encrypted file has exactly the length of FILE. A password typed
on the terminal is asked twice.
)";
constexpr const char* DecryptHelp = R"(
Decrypts each FILE into a file beside it named with FILE's extension replaced
by ".dec" ("a.txt.CPH" gives "a.txt.dec", "noext" gives "noext.dec").
A wrong password is not detected: it gives a file of the right length that
holds other bytes. With -r only the files named *.CPH or *.age (in any case)
below the folders are decrypted: decrypting any other file would give noise.
)";
constexpr const char* CommonHelp = R"(
Options:
  --in-place          replace each FILE by its transformed form instead. The
                      result is written to a new file in FILE's folder,
                      flushed to disk and renamed over FILE only when complete,
                      so FILE is never left half transformed. It keeps FILE's
                      owner, group, permissions and extended attributes. A
                      link is followed: its target is replaced. Other hard
                      links of FILE keep the former contents (a note says so).
  --force             replace an existing output beside FILE (its name is
                      replaced; nothing is written into the old file)
  --raw-key           key with the password's own bytes (1 to 32 bytes) instead
                      of its SHA-1 digest; decrypting needs the same choice
  --password-file F   read the password from F, less one trailing line break
                      (LF or CR LF); without it the password is asked on the
                      terminal
  -o, --output OUT    write the result of the one FILE to OUT instead of
                      beside it ("-o -": to standard output). An existing OUT
                      is replaced only with --force.
  -r, --recursive     FILE may be a folder: every regular file below it is
                      transformed, each beside itself (or in place). Symbolic
                      links are not followed, other file systems are not
                      entered, and FIFOs, devices and sockets are passed by,
                      each with a note. A file that fails is reported and the
                      others go on; a summary on standard error ends the run.
  --help              show this help

The password is asked once for all files. Without --force an output name that
is already taken is never replaced: the command stops with a message instead.
Outputs are written under a temporary name in their folder and appear under
their own name only when complete. All files are checked before the first is
written: only regular files are transformed, a file named twice is
transformed once, and the password file is never one of them. When a later
file fails, the files before it stay done. Each output is printed on
standard output.
)";
constexpr const char* StreamEncryptHelp = R"(
Standard input and output:
  "-" as the only FILE encrypts standard input to standard output (or to OUT
  with -o), in constant memory whatever its length:
      tar c dir | ciphra2k-cli encrypt --password-file pw - > dir.tar.CPH
  The password then comes from --password-file or the terminal itself
  (/dev/tty), never from standard input. Encrypted data is not written to a
  terminal (unless --format age --armor): redirect it or use -o. When the
  reading end of standard output closes before all is written, the command
  fails.
)";
constexpr const char* StreamDecryptHelp = R"(
Standard input and output:
  "-" as the only FILE decrypts standard input to standard output (or to OUT
  with -o, readable by its owner only), in constant memory whatever its
  length:  ciphra2k-cli decrypt --password-file pw - < dir.tar.CPH | tar x
  The password then comes from --password-file or the terminal itself
  (/dev/tty). Which key an age stream needs cannot be known before it is
  read: the password is asked unless --identity is given. Decrypted data is
  never written to a terminal: redirect it or use -o. Data goes out as it is
  decrypted: when an age stream turns out cut or altered part way, or the
  reading end of standard output closes, the command fails (exit 1) and what
  was written stays written (of an age stream, only checked chunks).
)";
constexpr const char* ExitHelp = R"(
Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";
constexpr const char* AgeEncryptHelp = R"(
The age format:
  --format age        write FILE.age in the age format instead: authenticated
                      (a wrong password or any change to the file is found),
                      and readable by the age tools. Without recipients it is
                      encrypted with the password. The default, --format cph,
                      is the .CPH format above.
  --recipient KEY     encrypt to the public key KEY (age1...) instead of a
                      password; may be given many times
  --recipients-file F encrypt to every public key in F, one a line ("#" starts
                      a comment); may be given many times
  --armor             write the age file as ASCII text (PEM armor)
)";
constexpr const char* AgeDecryptHelp = R"(
Age files are recognised by their first bytes, binary or armored, and are
decrypted into FILE less ".age" ("x.txt.age" gives "x.txt"). Every part of
an age file is checked before the output takes its name: a wrong password or
identity, or a file that was cut or altered, stops the command with a message
and leaves nothing behind.
  --identity F        open age files made for recipients with the identities
                      (AGE-SECRET-KEY-1...) in F, as "ciphra2k-cli keygen" and
                      age-keygen write them; may be given many times
)";

// Reads the options that carry values.
std::optional<std::string> TakeValues(Arguments& args, CipherRequest& out)
{
    for (const char* name : {"--output", "-o"}) {
        if (auto problem = TakeValueOption(args, name, out.Output)) {
            return problem;
        }
    }
    if (!out.Encrypt()) {
        return TakeValueOptions(args, "--identity", out.IdentityFiles);
    }
    if (auto problem = TakeValueOption(args, "--format", out.Format)) {
        return problem;
    }
    if (auto problem = TakeValueOptions(args, "--recipient", out.Recipients)) {
        return problem;
    }
    return TakeValueOptions(args, "--recipients-file", out.RecipientsFiles);
}

// The problem with an encrypt command line's choice of format, if any.
std::optional<std::string> FormatProblem(const CipherRequest& request)
{
    const CommandLine& line = request.Line;
    if (request.Format && *request.Format != "age" && *request.Format != "cph") {
        return "unknown format " + *request.Format + " (cph or age)";
    }
    const bool toRecipients = !request.Recipients.empty() || !request.RecipientsFiles.empty();
    if (!request.Age() && (toRecipients || line.Has("--armor"))) {
        return "--recipient, --recipients-file and --armor need --format age";
    }
    if (request.Age() && line.Has("--raw-key")) {
        return "--raw-key applies to the .CPH format only";
    }
    if (toRecipients && line.PasswordFile) {
        return "a password and recipients exclude each other";
    }
    return std::nullopt;
}

// The problem with where the command line reads and writes, if any.
std::optional<std::string> PlacesProblem(const CipherRequest& request)
{
    const std::vector<std::string>& files = request.Line.Operands;
    const bool inPlace = request.Line.Has("--in-place");
    if (files.empty()) {
        return "no FILE given";
    }
    if (std::find(files.begin(), files.end(), "-") != files.end() &&
        (files.size() > 1 || inPlace || request.Recursive())) {
        return "\"-\" (standard input) must be the only FILE, without --in-place or -r";
    }
    if (request.Output && (files.size() > 1 || request.Recursive())) {
        return "-o names the output of one FILE: not with several FILEs or -r";
    }
    if (request.Output && inPlace) {
        return "-o and --in-place exclude each other";
    }
    return std::nullopt;
}

int RunFileCipher(CipherDirection direction, const Arguments& args, CliIo& io)
{
    CipherRequest request;
    request.Direction = direction;
    const bool encrypt = request.Encrypt();
    const std::string usage = UsageOf(encrypt ? "encrypt" : "decrypt");
    Arguments rest = args;
    if (auto problem = TakeValues(rest, request)) {
        return ReportUsage(io, *problem, usage);
    }
    std::vector<std::string_view> flags = {"--in-place", "--raw-key", "--force", "-r",
                                           "--recursive"};
    if (encrypt) {
        flags.emplace_back("--armor");
    }
    if (auto problem = ParseCommandLine(rest, flags, true, request.Line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (request.Line.Help) {
        io.Out << usage << '\n'
               << (encrypt ? EncryptHelp : DecryptHelp) << CommonHelp
               << (encrypt ? StreamEncryptHelp : StreamDecryptHelp)
               << (encrypt ? AgeEncryptHelp : AgeDecryptHelp) << ExitHelp;
        return ExitOk;
    }
    if (auto problem = PlacesProblem(request)) {
        return ReportUsage(io, *problem, usage);
    }
    if (auto problem = encrypt ? FormatProblem(request) : std::nullopt) {
        return ReportUsage(io, *problem, usage);
    }
    if (request.Line.Operands.front() == "-" || request.Output == "-") {
        return RunCipherStream(request, io);
    }
    return RunCipherFiles(request, io);
}

} // namespace

int RunEncryptCommand(const Arguments& args, CliIo& io)
{
    return RunFileCipher(CipherDirection::Encrypt, args, io);
}

int RunDecryptCommand(const Arguments& args, CliIo& io)
{
    return RunFileCipher(CipherDirection::Decrypt, args, io);
}

} // namespace ciphra::cli
