#include "core/jobs/sfx_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/crypto/twofish.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

// The cipher stream's encryption of `plain` keyed with the password's bytes.
std::string RawKeyEncryption(const TempFolder& folder, const std::string& plain,
                             const std::string& password)
{
    const std::string path = folder / "expected.tmp";
    WriteBytes(path, plain);
    TwofishContext ctx;
    PrepareCipherRun(ctx, password.data(), static_cast<std::int32_t>(password.size()));
    {
        File file = File::Open(path, OpenMode::ReadWrite);
        EncryptStream(ctx, file, file);
    }
    TwofishWipe(ctx);
    std::string bytes = ReadBytes(path);
    std::remove(path.c_str());
    return bytes;
}

TEST(SfxWriter, ProgramIsTheStubFollowedByTheRawKeyPayload)
{
    const std::string stub = ReadBytes(CIPHRA_STUB_FILE);
    for (std::size_t length : {0, 1, 5, 16, 8193, 70000}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const std::string plain = PatternBytes(length, 3);
        WriteBytes(folder / "report.doc", plain);
        const std::string password = std::string(length % 32 + 1, 'k');
        const std::string program =
            WriteSelfDecryptingProgram(folder / "report.doc", password, CIPHRA_STUB_FILE);
        EXPECT_EQ(program, folder / "report.exe");
        const std::string bytes = ReadBytes(program);
        ASSERT_EQ(bytes.size(), stub.size() + length);
        EXPECT_TRUE(bytes.compare(0, stub.size(), stub) == 0);
        EXPECT_EQ(bytes.substr(stub.size()), RawKeyEncryption(folder, plain, password));
        EXPECT_EQ(ReadBytes(folder / "report.doc"), plain);
        struct stat info {};
        ASSERT_EQ(stat(program.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, MaskedPermissions(0777));
        EXPECT_NE(info.st_mode & S_IXUSR, 0U);
        EXPECT_EQ(Snapshot(folder.Path()).size(), 2U); // no working file left
    }
}

// Working files carry the program's name: near the 255-byte limit it is cut,
// at a character boundary, and the program still appears.
TEST(SfxWriter, NamesNearTheLengthLimit)
{
    std::string accents;
    for (int i = 0; i < 120; ++i)
        accents += "\xC3\xA9"; // U+00E9, two bytes
    for (const std::string& stem : {std::string(250, 'a'), accents}) {
        TempFolder folder;
        WriteBytes(folder / (stem + ".doc"), "payload");
        EXPECT_EQ(WriteSelfDecryptingProgram(folder / (stem + ".doc"), "pw", CIPHRA_STUB_FILE),
                  folder / (stem + ".exe"));
        EXPECT_EQ(Snapshot(folder.Path()).size(), 2U);
    }
}

TEST(SfxWriter, ProgramNames)
{
    EXPECT_EQ(SelfDecryptingProgramPath("/d/report.doc"), "/d/report.exe");
    EXPECT_EQ(SelfDecryptingProgramPath("/d/notes"), "/d/notes.exe");
    EXPECT_EQ(SelfDecryptingProgramPath("/d.x/a.tar.gz"), "/d.x/a.tar.exe");
}

// Each refusal leaves the folder exactly as it was: no program, no working
// file, the user's files untouched.
TEST(SfxWriter, RefusalsWriteNothing)
{
    const struct {
        const char* Name;
        std::string Password;
        bool ProgramExists;
        const char* Stub;
        const char* Plain;
        std::string Message; // the start of the exception's text
    } cases[] = {
        {"empty password", "", false, CIPHRA_STUB_FILE, "report.doc", "Key (password) has to be"},
        {"33-byte password", std::string(33, 'p'), false, CIPHRA_STUB_FILE, "report.doc",
         "Key (password) has to be"},
        {"program name taken", "pw", true, CIPHRA_STUB_FILE, "report.doc",
         "/report.exe: file exists"},
        {"missing stub", "pw", false, "/nonexistent/sfdstub.dtt", "report.doc",
         "/nonexistent/sfdstub.dtt: File not found"},
        {"missing plain file", "pw", false, CIPHRA_STUB_FILE, "absent.doc",
         "/absent.doc: File not found"},
        {"plain file is a folder", "pw", false, CIPHRA_STUB_FILE, "sub.dir",
         "/sub.dir: is a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        WriteBytes(folder / "report.doc", PatternBytes(5000));
        std::filesystem::create_directory(folder.Path() / "sub.dir");
        if (c.ProgramExists)
            WriteBytes(folder / "report.exe", "the user's own program");
        const auto before = Snapshot(folder.Path());
        try {
            WriteSelfDecryptingProgram(folder / c.Plain, c.Password, c.Stub);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& error) {
            const std::string text = error.what();
            EXPECT_NE(text.find(c.Message), std::string::npos) << text;
        }
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

// The program's name may be taken between the check and the final rename:
// the rename never replaces, and the working file goes.
class TakeNameWhileWriting final : public StreamProgress {
public:
    explicit TakeNameWhileWriting(std::string program) : program_(std::move(program)) {}
    void BytesDone(std::uint64_t, std::uint64_t) override
    {
        if (!std::filesystem::exists(program_))
            WriteBytes(program_, "arrived meanwhile");
    }

private:
    std::string program_;
};

TEST(SfxWriter, ANameTakenMeanwhileIsNotReplaced)
{
    TempFolder folder;
    WriteBytes(folder / "report.doc", PatternBytes(20000));
    TakeNameWhileWriting race(folder / "report.exe");
    EXPECT_THROW(WriteSelfDecryptingProgram(folder / "report.doc", "pw", CIPHRA_STUB_FILE, &race),
                 Exception);
    EXPECT_EQ(ReadBytes(folder / "report.exe"), "arrived meanwhile");
    EXPECT_EQ(Snapshot(folder.Path()).size(), 2U); // report.doc and the user's report.exe
}

TEST(SfxWriter, AFolderWithoutWriteAccessIsReported)
{
    TempFolder folder;
    WriteBytes(folder / "report.doc", PatternBytes(10));
    chmod(folder.Path().c_str(), 0555);
    {
        test::AsFolderOwner owner(folder.Path()); // root may write in any folder
        EXPECT_THROW(WriteSelfDecryptingProgram(folder / "report.doc", "pw", CIPHRA_STUB_FILE),
                     Exception);
    }
    chmod(folder.Path().c_str(), 0755);
    EXPECT_EQ(Snapshot(folder.Path()).size(), 1U);
}

} // namespace
} // namespace ciphra
