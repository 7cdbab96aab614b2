// The age format end to end: ciphra2k-cli and the age tools (Debian's age
// package) read each other's files, binary and armored, with identity files
// and with passwords typed on a terminal; every fault stops the command
// with a message and leaves the folder as it was.

#include <sys/stat.h>

#include "cli/cli_fixture.h"
#include "support/stream_reference.h"

namespace ciphra::test {
namespace {

constexpr std::size_t Chunk = 64 * 1024;
const std::size_t Sizes[] = {0, 1, Chunk - 1, Chunk, Chunk + 1, std::size_t{5} * 1024 * 1024 + 3};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class CliAgeTest : public CliTest {
protected:
    void SetUp() override
    {
        if (::access(CIPHRA_AGE_PATH, X_OK) != 0 || ::access(CIPHRA_AGE_KEYGEN_PATH, X_OK) != 0) {
            GTEST_SKIP() << "the age tools are not installed (scripts/packages.txt has them)";
        }
    }

    ProcessResult Age(std::vector<std::string> args) const
    {
        ProcessRun run;
        run.Program = CIPHRA_AGE_PATH;
        run.Args = std::move(args);
        run.WorkingFolder = folder_.Path().string();
        return CheckedRun(run);
    }

    // An identity file made by age-keygen; returns its public key.
    std::string AgeKeygen(const std::string& name) const
    {
        ProcessRun run;
        run.Program = CIPHRA_AGE_KEYGEN_PATH;
        run.Args = {"-o", name};
        run.WorkingFolder = folder_.Path().string();
        EXPECT_EQ(CheckedRun(run).ExitCode, 0);
        run.Args = {"-y", name};
        std::string key = CheckedRun(run).Out;
        key.erase(key.find_last_not_of('\n') + 1);
        return key;
    }

    // Plain files "s<size>" of every size, by name.
    std::vector<std::string> PlainFiles()
    {
        std::vector<std::string> names;
        for (const std::size_t size : Sizes) {
            names.push_back("s" + std::to_string(size));
            WriteBytes(In(names.back()), PatternBytes(size, static_cast<std::uint32_t>(size)));
        }
        return names;
    }

    std::string Expected(const std::string& name) const
    {
        const std::size_t size = std::stoul(name.substr(1));
        return PatternBytes(size, static_cast<std::uint32_t>(size));
    }
};

TEST_F(CliAgeTest, AgeOpensWhatThisProgramWrites)
{
    const std::string key = AgeKeygen("key.txt");
    for (const bool armor : {false, true}) {
        SCOPED_TRACE(armor ? "armored" : "binary");
        std::vector<std::string> args = {"encrypt", "--format", "age", "--recipient", key};
        if (armor) {
            args.emplace_back("--armor");
        }
        const std::vector<std::string> names = PlainFiles();
        args.insert(args.end(), names.begin(), names.end());
        const ProcessResult encrypted = Run(args);
        ASSERT_EQ(encrypted.ExitCode, 0) << encrypted.Err;
        for (const std::string& name : names) {
            EXPECT_TRUE(Has(encrypted.Out, name + ".age\n"));
            EXPECT_EQ(ReadBytes(In(name + ".age")).starts_with("-----BEGIN AGE ENCRYPTED FILE"),
                      armor);
            const ProcessResult opened =
                Age({"-d", "-i", "key.txt", "-o", name + ".out", name + ".age"});
            ASSERT_EQ(opened.ExitCode, 0) << name << ": " << opened.Err;
            // age makes no output file for an empty payload.
            const std::string out = name == "s0" && !std::filesystem::exists(In(name + ".out"))
                                        ? std::string()
                                        : ReadBytes(In(name + ".out"));
            EXPECT_TRUE(out == Expected(name)) << name;
            std::filesystem::remove(In(name + ".age"));
        }
    }
}

TEST_F(CliAgeTest, ThisProgramOpensWhatAgeWrites)
{
    const std::string key = AgeKeygen("key.txt");
    for (const bool armor : {false, true}) {
        SCOPED_TRACE(armor ? "armored" : "binary");
        std::vector<std::string> args = {"decrypt", "--identity", "key.txt"};
        const std::vector<std::string> names = PlainFiles();
        for (const std::string& name : names) {
            std::vector<std::string> ageArgs = {"-r", key, "-o", name + ".age", name};
            if (armor) {
                ageArgs.insert(ageArgs.begin(), "-a");
            }
            ASSERT_EQ(Age(ageArgs).ExitCode, 0);
            std::filesystem::remove(In(name));
            args.push_back(name + ".age");
        }
        const ProcessResult opened = Run(args);
        ASSERT_EQ(opened.ExitCode, 0) << opened.Err;
        for (const std::string& name : names) {
            EXPECT_TRUE(Has(opened.Out, name + "\n"));
            EXPECT_TRUE(ReadBytes(In(name)) == Expected(name)) << name;
            std::filesystem::remove(In(name + ".age"));
        }
    }
}

TEST_F(CliAgeTest, PasswordFilesCrossBothWays)
{
    const std::string password = "tr0ub4dor & 3";
    const std::string plain = PatternBytes(Chunk + 1000, 7);
    WriteBytes(In("ours"), plain);
    const ProcessResult encrypted = Run(
        {"encrypt", "--format", "age", "--password-file", PasswordFile(password + "\n"), "ours"});
    ASSERT_EQ(encrypted.ExitCode, 0) << encrypted.Err;
    EXPECT_TRUE(Has(ReadBytes(In("ours.age")), "-> scrypt "));
    EXPECT_TRUE(Has(ReadBytes(In("ours.age")), " 18\n")); // age's own work factor

    ProcessRun age;
    age.Program = CIPHRA_AGE_PATH;
    age.WorkingFolder = folder_.Path().string();
    age.Args = {"-d", "-o", "ours.out", "ours.age"};
    const TerminalResult opened = CheckedRun(age, {WaitFor("passphrase"), Type(password + "\r")});
    ASSERT_EQ(opened.ExitCode, 0) << opened.Out;
    EXPECT_TRUE(ReadBytes(In("ours.out")) == plain);

    WriteBytes(In("theirs"), plain);
    age.Args = {"-p", "-o", "theirs.age", "theirs"};
    const TerminalResult sealed = CheckedRun(age, {WaitFor("passphrase"), Type(password + "\r"),
                                                   WaitFor("passphrase"), Type(password + "\r")});
    ASSERT_EQ(sealed.ExitCode, 0) << sealed.Out;
    std::filesystem::remove(In("theirs"));
    const ProcessResult decrypted =
        Run({"decrypt", "--password-file", PasswordFile(password), "theirs.age"});
    ASSERT_EQ(decrypted.ExitCode, 0) << decrypted.Err;
    EXPECT_TRUE(ReadBytes(In("theirs")) == plain);
}

TEST_F(CliAgeTest, KeygenWritesAnIdentityFileForItsOwnerAlone)
{
    const ProcessResult made = Run({"keygen", "-o", "id.txt"});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    struct stat info {};
    ASSERT_EQ(::stat(In("id.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    const std::string text = ReadBytes(In("id.txt"));
    EXPECT_TRUE(text.starts_with("# created: 2")) << text;
    EXPECT_TRUE(Has(text, "# public key: " + made.Out)) << text;
    EXPECT_TRUE(Has(text, "\nAGE-SECRET-KEY-1")) << text;

    ProcessRun keygen;
    keygen.Program = CIPHRA_AGE_KEYGEN_PATH;
    keygen.Args = {"-y", "id.txt"};
    keygen.WorkingFolder = folder_.Path().string();
    EXPECT_EQ(CheckedRun(keygen).Out, made.Out); // age-keygen finds the same public key

    WriteBytes(In("plain"), "for the new key");
    ASSERT_EQ(
        Age({"-r", made.Out.substr(0, made.Out.size() - 1), "-o", "plain.age", "plain"}).ExitCode,
        0);
    std::filesystem::remove(In("plain"));
    ASSERT_EQ(Run({"decrypt", "--identity", "id.txt", "plain.age"}).ExitCode, 0);
    EXPECT_EQ(ReadBytes(In("plain")), "for the new key");

    const auto before = Snapshot(folder_.Path());
    const ProcessResult again = Run({"keygen", "-o", "id.txt"});
    EXPECT_EQ(again.ExitCode, 1);
    EXPECT_TRUE(Has(again.Err, "id.txt: file exists, not replaced")) << again.Err;
    EXPECT_EQ(Snapshot(folder_.Path()), before);

    const ProcessResult printed = Run({"keygen"});
    EXPECT_EQ(printed.ExitCode, 0);
    EXPECT_TRUE(Has(printed.Out, "# public key: age1")) << printed.Out;
    EXPECT_TRUE(Has(printed.Out, "\nAGE-SECRET-KEY-1")) << printed.Out;
    EXPECT_EQ(Snapshot(folder_.Path()), before);
}

TEST_F(CliAgeTest, EveryFaultStopsWithAMessageAndLeavesNothing)
{
    const std::string key = AgeKeygen("key.txt");
    AgeKeygen("other.txt");
    const std::string plain = PatternBytes(3 * Chunk + 5, 3);
    WriteBytes(In("doc"), plain);
    ASSERT_EQ(Age({"-r", key, "-o", "doc.age", "doc"}).ExitCode, 0);
    ASSERT_EQ(Run({"encrypt", "--format", "age", "--armor", "--password-file",
                   PasswordFile("right"), "doc"})
                  .ExitCode,
              1); // doc.age is taken: refused, not replaced
    WriteBytes(In("pw"), plain);
    ASSERT_EQ(Run({"encrypt", "--format", "age", "--armor", "--password-file",
                   PasswordFile("right"), "pw"})
                  .ExitCode,
              0);
    std::filesystem::remove(In("doc"));
    std::filesystem::remove(In("pw"));
    const std::string sealed = ReadBytes(In("doc.age"));
    const std::string armored = ReadBytes(In("pw.age"));
    std::string altered = sealed;
    altered[sealed.size() - 100] ^= 1;
    std::string unknown = sealed;
    unknown.replace(unknown.find("-> X25519 "), 10, "-> piv-p256 ");
    std::string armorBroken = armored;
    armorBroken.insert(armorBroken.find('\n') + 5, " ");

    struct Case {
        const char* What;
        std::string File;
        std::vector<std::string> Args;
        std::string Message;
    };
    const std::string right = PasswordFile("right");
    const Case cases[] = {
        {"wrong password", armored, {"--password-file", PasswordFile("wrong")}, "wrong password"},
        {"other identity", sealed, {"--identity", "other.txt"}, "none of the identities"},
        {"no identity", sealed, {"--password-file", right}, "give the identity file"},
        {"cut", sealed.substr(0, sealed.size() - 5 - 16), {"--identity", "key.txt"}, "truncated"},
        {"cut at a chunk",
         sealed.substr(0, sealed.size() - 5 - 16 - Chunk - 16),
         {"--identity", "key.txt"},
         "truncated"},
        {"altered", altered, {"--identity", "key.txt"}, "chunk 3 of its data fails its check"},
        {"unknown stanza", unknown, {"--identity", "key.txt"}, "(piv-p256)"},
        {"armor", armorBroken, {"--password-file", right}, "ASCII armor is damaged"},
        {"header",
         "age-encryption.org/v1\n-> X25519\n",
         {"--identity", "key.txt"},
         "age header is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        WriteBytes(In("x.txt.age"), c.File);
        const auto before = Snapshot(folder_.Path());
        std::vector<std::string> args = {"decrypt"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        args.emplace_back("x.txt.age");
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.ExitCode, 1);
        EXPECT_TRUE(Has(result.Err, "ciphra2k-cli: x.txt.age: ")) << result.Err;
        EXPECT_TRUE(Has(result.Err, c.Message)) << result.Err;
        EXPECT_EQ(result.Out, "");
        EXPECT_TRUE(Snapshot(folder_.Path()) == before);
    }
}

TEST_F(CliAgeTest, CommandLinesThatCannotBeMet)
{
    WriteBytes(In("doc"), "text");
    struct Case {
        std::vector<std::string> Args;
        int Exit;
        std::string Message;
    };
    const Case cases[] = {
        {{"encrypt", "--armor", "doc"}, 2, "need --format age"},
        {{"encrypt", "--recipient", "age1x", "doc"}, 2, "need --format age"},
        {{"encrypt", "--format", "zip", "doc"}, 2, "unknown format zip (cph or age)"},
        {{"encrypt", "--format", "age", "--raw-key", "doc"}, 2, "the .CPH format only"},
        {{"encrypt", "--format", "age", "--recipient", "age1x", "--password-file", "p", "doc"},
         2,
         "a password and recipients exclude each other"},
        {{"encrypt", "--format", "age", "--recipient", "age1notakey", "doc"},
         1,
         "age1notakey: not an age recipient"},
        {{"encrypt", "--format", "age", "--recipients-file", "missing", "doc"},
         1,
         "missing: File not found"},
        {{"encrypt", "--format"}, 2, "option --format needs a value"},
        {{"decrypt", "--format", "age", "doc"}, 2, "unknown option --format"},
        {{"decrypt", "--identity", "missing", "doc"}, 1, "missing: File not found"},
        {{"keygen", "extra"}, 2, "unexpected argument extra"},
        {{"keygen", "-o"}, 2, "option -o needs a value"},
    };
    const auto before = Snapshot(folder_.Path());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args[0] + " " + c.Args[1]);
        const ProcessResult result = Run(c.Args);
        EXPECT_EQ(result.ExitCode, c.Exit);
        EXPECT_TRUE(Has(result.Err, c.Message)) << result.Err;
        EXPECT_TRUE(Snapshot(folder_.Path()) == before);
    }
}

TEST_F(CliAgeTest, OnePasswordDecryptsBothFormatsInOneCommand)
{
    WriteBytes(In("a"), "the .CPH one");
    WriteBytes(In("b"), "the age one");
    const std::string password = PasswordFile("shared");
    ASSERT_EQ(Run({"encrypt", "--password-file", password, "a"}).ExitCode, 0);
    ASSERT_EQ(Run({"encrypt", "--format", "age", "--password-file", password, "b"}).ExitCode, 0);
    std::filesystem::remove(In("b"));
    const ProcessResult result = Run({"decrypt", "--password-file", password, "a.CPH", "b.age"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_EQ(result.Out, "a.dec\nb\n");
    EXPECT_EQ(ReadBytes(In("a.dec")), "the .CPH one");
    EXPECT_EQ(ReadBytes(In("b")), "the age one");
}

} // namespace
} // namespace ciphra::test
