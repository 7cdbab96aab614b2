#include "core/jobs/sfx_writer.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <variant>

#include "core/crypto/twofish.h"
#include "core/jobs/output_names.h"
#include "support/stream_reference.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

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
            WriteSelfDecryptingProgram(folder / "report.doc", password, CIPHRA_STUB_FILE).Program;
        EXPECT_EQ(program, folder / "report.exe");
        const std::string bytes = ReadBytes(program);
        ASSERT_EQ(bytes.size(), stub.size() + length);
        EXPECT_TRUE(bytes.compare(0, stub.size(), stub) == 0);
        EXPECT_EQ(bytes.substr(stub.size()), test::Encrypted(plain, password, false));
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
        EXPECT_EQ(
            WriteSelfDecryptingProgram(folder / (stem + ".doc"), "pw", CIPHRA_STUB_FILE).Program,
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
// file, the user's files untouched. Some are outcomes, some messages.
TEST(SfxWriter, RefusalsWriteNothing)
{
    using Expected = std::variant<SfxStatus, std::string>; // a status, or the message's start
    const std::string folderStub = "FOLDER/stub";
    const struct {
        const char* Name;
        std::string Password;
        const char* Plain;
        std::string Stub;
        Expected Result;
        int Error = 0;
    } cases[] = {
        {"empty password", "", "report.doc", CIPHRA_STUB_FILE,
         std::string("Key (password) has to be")},
        {"33-byte password", std::string(33, 'p'), "report.doc", CIPHRA_STUB_FILE,
         std::string("Key (password) has to be")},
        {"program name taken", "pw", "taken.doc", CIPHRA_STUB_FILE, SfxStatus::ProgramNameTaken},
        {"missing stub", "pw", "report.doc", "/nonexistent/sfdstub.dtt",
         std::string("/nonexistent/sfdstub.dtt: File not found")},
        {"a text file as stub", "pw", "report.doc", folderStub,
         std::string("stub: not a stub of self-decrypting programs")},
        {"another program as stub", "pw", "report.doc", "/bin/true",
         std::string("/bin/true: not a stub of self-decrypting programs")},
        {"missing plain file", "pw", "absent.doc", CIPHRA_STUB_FILE, SfxStatus::SourceUnusable,
         ENOENT},
        {"plain file is a folder", "pw", "sub.dir", CIPHRA_STUB_FILE, SfxStatus::SourceUnusable,
         EISDIR},
        {"plain file is a FIFO", "pw", "fifo.doc", CIPHRA_STUB_FILE, SfxStatus::SourceUnusable,
         NotRegularFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TempFolder folder;
        WriteBytes(folder / "report.doc", PatternBytes(5000));
        WriteBytes(folder / "taken.doc", PatternBytes(50));
        WriteBytes(folder / "taken.exe", "the user's own program");
        WriteBytes(folder / "stub", "not a program");
        std::filesystem::create_directory(folder.Path() / "sub.dir");
        ASSERT_EQ(mkfifo((folder / "fifo.doc").c_str(), 0600), 0);
        const std::string stub = c.Stub == folderStub ? folder / "stub" : c.Stub;
        const auto before = Snapshot(folder.Path());
        try {
            const SfxOutcome outcome =
                WriteSelfDecryptingProgram(folder / c.Plain, c.Password, stub);
            ASSERT_TRUE(std::holds_alternative<SfxStatus>(c.Result)) << "no exception";
            EXPECT_EQ(outcome.Status, std::get<SfxStatus>(c.Result));
            EXPECT_EQ(outcome.Error, c.Error);
        } catch (const Exception& error) {
            ASSERT_TRUE(std::holds_alternative<std::string>(c.Result)) << error.what();
            EXPECT_NE(std::string(error.what()).find(std::get<std::string>(c.Result)),
                      std::string::npos)
                << error.what();
        }
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

// The plain bytes are encrypted on their way into the program: at no moment
// does any file in the folder other than the plain file itself hold them, so
// no plain copy is left by a crash or on storage that keeps old blocks.
class LookForPlainBytes final : public StreamProgress {
public:
    LookForPlainBytes(const TempFolder& folder, std::string plain)
        : folder_(folder), plain_(std::move(plain))
    {
    }
    void BytesDone(std::uint64_t, std::uint64_t) override
    {
        ++calls;
        for (const auto& [name, bytes] : Snapshot(folder_.Path())) {
            if (name != "report.doc" && bytes.find(plain_.substr(0, 4096)) != std::string::npos)
                ADD_FAILURE() << name << " holds plain bytes";
        }
    }
    int calls = 0;

private:
    const TempFolder& folder_;
    std::string plain_;
};

TEST(SfxWriter, PlainBytesAreNeverWrittenOut)
{
    TempFolder folder;
    const std::string plain = PatternBytes(3 * StreamChunkSize + 100, 9);
    WriteBytes(folder / "report.doc", plain);
    LookForPlainBytes look(folder, plain);
    WriteSelfDecryptingProgram(folder / "report.doc", "pw", CIPHRA_STUB_FILE, &look);
    EXPECT_GE(look.calls, 3);
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
    EXPECT_EQ(
        WriteSelfDecryptingProgram(folder / "report.doc", "pw", CIPHRA_STUB_FILE, &race).Status,
        SfxStatus::ProgramNameTaken);
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
