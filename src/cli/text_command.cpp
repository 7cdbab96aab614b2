// "text encrypt|decrypt": the text window's operations on standard input.

#include <istream>
#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/password.h"
#include "core/crypto/base64.h"
#include "core/error.h"
#include "core/jobs/text_cipher.h"

namespace ciphra::cli {

namespace {

constexpr const char* TextHelp = R"(
encrypt: reads standard input as bytes and prints the encrypted text, one line
         of Base64 followed by a newline.
decrypt: reads such a line from standard input (trailing CR and LF ignored)
         and writes the decrypted bytes to standard output.
The key is always the SHA-1 digest of the password; Twofish runs in 8-bit
cipher feedback, so the ciphertext has as many bytes as the text. A wrong
password is not detected: it gives other bytes.

At most 32 MiB are read from standard input; encrypt larger data as a file.

Options:
  --password-file F   read the password from F, less one trailing line break
                      (LF or CR LF); without it the password is asked on the
                      terminal
  --help              show this help

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

// Reads all of `in`, refusing more than LongestTextInput bytes so that an
// endless input ends with a message instead of filling the memory.
void ReadAllInput(std::istream& in, std::string& text)
{
    char piece[64 * 1024];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        text.append(piece, static_cast<std::size_t>(in.gcount()));
        if (text.size() > LongestTextInput) {
            throw Exception("standard input holds more than 32 MiB of text; encrypt it as a "
                            "file instead");
        }
    }
}

} // namespace

int RunTextCommand(const Arguments& args, CliIo& io)
{
    const std::string usage = UsageOf("text");
    CommandLine line;
    if (auto problem = ParseCommandLine(args, {}, true, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << TextHelp;
        return ExitOk;
    }
    if (line.Operands.size() != 1 ||
        (line.Operands[0] != "encrypt" && line.Operands[0] != "decrypt")) {
        return ReportUsage(io, "say encrypt or decrypt", usage);
    }
    const bool encrypt = line.Operands[0] == "encrypt";
    std::string text;
    try {
        ReadAllInput(io.In, text);
        if (!encrypt) {
            const std::size_t end = text.find_last_not_of("\r\n");
            text.resize(end == std::string::npos ? 0 : end + 1);
            text = Base64DecodeText(text);
        }
        SecretText password;
        ObtainPassword(line.PasswordFile, io.Prompt, password);
        if (encrypt) {
            EncryptTextWithPassword(password.View(), text);
            io.Out << Base64EncodeText(text) << '\n';
        } else {
            DecryptTextWithPassword(password.View(), text);
            io.Out.write(text.data(), static_cast<std::streamsize>(text.size()));
        }
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    if (!io.Out.flush()) {
        return ReportFailure(io, "cannot write to standard output");
    }
    return ExitOk;
}

} // namespace ciphra::cli
