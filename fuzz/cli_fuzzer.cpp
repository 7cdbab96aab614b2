// The command-line tool in process, with fuzzed arguments, password file and
// standard input. The input is split at NUL bytes: the password file's
// content, the standard input, then the arguments. Every "/" in an argument
// becomes "_", so that the tool only ever sees names inside its own scratch
// folder, which holds a few files and a folder the seeds name.
//
// Whatever the arguments: the exit status is 0, 1 or 2; a failure always says
// why on standard error and success says nothing there (besides the shredder's
// confirmation question, which goes there too, the shredder's warnings of
// what overwriting cannot reach on the disk it runs on, the notes and summary
// of a run with -r, and the warning of "hash --check" about lines that are no
// checksum lines); no working or temporary file is ever left behind. "-" reads
// the standard input from a file and writes to /dev/null. The password file
// gives exactly its content less one trailing LF or CR LF, and an empty or
// overlong password is refused.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "cli/cli.h"
#include "cli/password.h"
#include "core/error.h"
#include "core/jobs/passwords.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t MostArguments = 12;
const std::vector<std::string> FixedFiles = {"a.txt", "b.CPH", "empty", "pw"};

// The line of the failed check goes to standard error, since the abort's stack
// trace shows the fuzz target only.
void Check(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "cli_fuzzer.cpp:%d: check failed\n", line);
        std::abort();
    }
}

class FixedPrompt final : public ciphra::cli::PasswordPrompt {
public:
    void Ask(const char*, ciphra::cli::SecretText& password) override
    {
        password.Append("prompted", 8);
    }
};

void Write(const std::string& name, std::string_view bytes)
{
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A scratch folder of its own as the current folder, for the whole run.
struct ScratchFolder {
    std::string Path;
    ScratchFolder()
    {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        Path = std::string(base) + "/ciphra-cli-fuzz-XXXXXX";
        Check(::mkdtemp(Path.data()) != nullptr);
        Check(::chdir(Path.c_str()) == 0);
    }
    ~ScratchFolder() { std::system(("rm -rf '" + Path + "'").c_str()); }
};

void EnterScratchFolder()
{
    static const ScratchFolder folder;
}

// Puts the folder back to the fixed files (the password file with `password`).
void ResetFolder(std::string_view password)
{
    for (const auto& entry : fs::directory_iterator(".")) {
        fs::remove_all(entry.path());
    }
    Write("a.txt", "plain text of a\n");
    Write("b.CPH", std::string(40, '\x5a'));
    Write("empty", "");
    Write("pw", password);
    fs::create_directory("folder");
}

bool LeftWorkingFiles()
{
    for (const auto& entry : fs::directory_iterator(".")) {
        if (entry.path().filename().string().starts_with(".")) {
            return true;
        }
    }
    return false;
}

void CheckPasswordFile(std::string_view content)
{
    FixedPrompt prompt;
    ciphra::cli::SecretText password;
    bool refused = false;
    try {
        ciphra::cli::ObtainPassword(std::string("pw"), prompt, password);
    } catch (const ciphra::Exception&) {
        refused = true;
    }
    // One trailing LF or CR LF is not part of the password.
    std::string_view expected = content;
    if (expected.ends_with('\n')) {
        expected.remove_suffix(expected.ends_with("\r\n") ? 2 : 1);
    }
    Check(refused == (expected.empty() || expected.size() > ciphra::LongestPassword));
    Check(refused || password.View() == expected);
}

// The summary a run with -r ends with, in its exact shape: an unknown command
// or a name echoed in a message may hold " failed, " and " skipped" too.
bool IsRunSummary(std::string_view line)
{
    static const std::regex summary(
        "ciphra2k-cli: [0-9]+ files? (encrypted|decrypted|hashed|shredded), "
        "([0-9]+ removed but not all gone, )?[0-9]+ failed, [0-9]+ skipped\n");
    return std::regex_match(line.begin(), line.end(), summary);
}

// Standard error less the shredder's confirmation (the count of files and the
// question), asked before anything is done, and less the notes and the
// summary of a run with -r. Only shred asks; any command may echo a name
// that holds words of the question.
std::string WithoutConfirmation(std::string_view said, bool shredding)
{
    constexpr std::string_view question = "Are you sure you want to wipe this file?\n"
                                          "Note: Once the file is deleted there is no\n"
                                          "way to recover it.\n"
                                          "Shred? [y/N] ";
    const std::size_t asked = shredding ? said.find(question) : std::string_view::npos;
    if (asked != std::string_view::npos) {
        said.remove_prefix(asked + question.size());
    }
    std::string rest;
    while (!said.empty()) {
        const std::size_t end = said.find('\n');
        const std::string_view line = said.substr(0, end == std::string_view::npos ? end : end + 1);
        said.remove_prefix(line.size());
        if (!line.starts_with("ciphra2k-cli: note: ") &&
            !line.starts_with("ciphra2k-cli: warning: ") && !IsRunSummary(line)) {
            rest += line;
        }
    }
    return rest;
}

// A file in memory holding what "-" reads, and /dev/null for what it writes.
struct DataFiles {
    int In = -1;
    int Out = -1;
    explicit DataFiles(const std::string& bytes)
    {
        In = ::memfd_create("stdin", MFD_CLOEXEC);
        Out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        Check(In >= 0 && Out >= 0);
        Check(::write(In, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
        Check(::lseek(In, 0, SEEK_SET) == 0);
    }
    ~DataFiles()
    {
        ::close(In);
        ::close(Out);
    }
};

// Standard error less the warning about lines that are no checksum lines,
// which a successful check gives.
std::string_view WithoutLineWarning(std::string_view said)
{
    constexpr std::string_view start = "ciphra2k-cli: WARNING: ";
    constexpr std::string_view end = " improperly formatted\n";
    if (said.starts_with(start) && said.ends_with(end) && said.find('\n') == said.size() - 1) {
        return {};
    }
    return said;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            parts.emplace_back();
        } else {
            parts.back() += data[i] == '/' ? '_' : static_cast<char>(data[i]);
        }
    }
    if (parts.size() < 2 || parts.size() > 2 + MostArguments) {
        return 0; // too few or too many parts to be a command line
    }
    // Every name stays inside the scratch folder ('/' became '_' above):
    // ".." would let a run encrypt or shred the files around it.
    if (std::any_of(parts.begin() + 2, parts.end(), [](const std::string& part) {
            return part == ".." || part.ends_with("=..");
        })) {
        return 0;
    }
    EnterScratchFolder();
    ResetFolder(parts[0]);
    CheckPasswordFile(parts[0]);

    std::istringstream in(parts[1]);
    std::ostringstream out;
    std::ostringstream err;
    FixedPrompt prompt;
    const DataFiles streams(parts[1]);
    ciphra::cli::CliIo io{in, out, err, prompt, streams.In, streams.Out};
    const int code =
        ciphra::cli::RunCli(ciphra::cli::Arguments(parts.begin() + 2, parts.end()), io);

    Check(code == ciphra::cli::ExitOk || code == ciphra::cli::ExitFailed ||
          code == ciphra::cli::ExitUsage);
    const std::string said =
        WithoutConfirmation(err.str(), parts.size() > 2 && parts[2] == "shred");
    Check((code == ciphra::cli::ExitOk) == WithoutLineWarning(said).empty());
    Check(code == ciphra::cli::ExitOk || said.starts_with("ciphra2k-cli: "));
    Check(!LeftWorkingFiles());
    return 0;
}
