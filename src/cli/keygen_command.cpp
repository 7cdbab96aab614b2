// "keygen": a new identity for the age format, in an identity file as
// age-keygen writes it, and its public key.

#include <ostream>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/value_option.h"
#include "core/io/output_file.h"
#include "core/jobs/age_keys.h"

namespace ciphra::cli {

namespace {

constexpr const char* KeygenHelp = R"(
Makes a new identity (an X25519 key pair) for the age format. With -o the
identity file is written to FILE, readable by its owner only, and the public
key (age1...) is printed; without it the identity file is printed. An
existing FILE is never replaced.

Files encrypted to the public key ("encrypt --format age --recipient KEY")
are opened with the identity file ("decrypt --identity FILE"), by this
program and by the age tools alike. Whoever holds the identity file can read
them: keep it safe.

Options:
  -o, --output FILE
            write the identity file to FILE
  --help    show this help

Exit status: 0 done, 1 failed (message on standard error), 2 usage error.
)";

} // namespace

int RunKeygenCommand(const Arguments& args, CliIo& io)
{
    const std::string usage = UsageOf("keygen");
    Arguments rest = args;
    std::optional<std::string> outputPath;
    for (const char* name : {"--output", "-o"}) {
        if (auto problem = TakeValueOption(rest, name, outputPath)) {
            return ReportUsage(io, *problem, usage);
        }
    }
    CommandLine line;
    if (auto problem = ParseCommandLine(rest, {}, false, line)) {
        return ReportUsage(io, *problem, usage);
    }
    if (line.Help) {
        io.Out << usage << '\n' << KeygenHelp;
        return ExitOk;
    }
    if (!line.Operands.empty()) {
        return ReportUsage(io, "unexpected argument " + line.Operands.front(), usage);
    }
    age::Identity identity;
    SecretText text;
    try {
        age::GenerateIdentity(identity);
        age::IdentityFileText(identity, age::CreatedTimeText(), text);
        if (!outputPath) {
            io.Out << text.View();
            return ExitOk;
        }
        OutputFile output(*outputPath);
        output.Handle().WriteAll(text.View().data(), text.Size());
        output.Finish(0600);
        if (!output.PublishNew()) {
            return ReportFailure(io, *outputPath + ": file exists, not replaced");
        }
    } catch (const FileError& error) {
        return ReportFailure(io, *outputPath + ": " + error.what());
    } catch (const Exception& error) {
        return ReportFailure(io, error.what());
    }
    io.Out << age::RecipientText(age::RecipientOf(identity)) << '\n';
    return ExitOk;
}

} // namespace ciphra::cli
