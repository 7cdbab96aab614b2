#include "stub/posix_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "core/crypto/twofish.h"
#include "core/jobs/cipher_stream.h"
#include "support/test_files.h"

namespace ciphra::stub {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

using Message = std::pair<std::string, std::string>;

class Recorder final : public MessageSink {
public:
    void ShowMessage(const char* title, const char* text) override
    {
        Shown.emplace_back(title, text);
    }
    std::vector<Message> Shown;
};

// The built stub followed by `plain` encrypted with the password's bytes.
std::string MakeProgram(const TempFolder& folder, const std::string& plain,
                        const std::string& password)
{
    const std::string payloadPath = folder / "payload.tmp";
    WriteBytes(payloadPath, plain);
    TwofishContext ctx;
    PrepareCipherRun(ctx, password.data(), static_cast<std::int32_t>(password.size()));
    {
        File payload = File::Open(payloadPath, OpenMode::ReadWrite);
        EncryptStream(ctx, payload, payload);
    }
    TwofishWipe(ctx);
    const std::string program = folder / "report.exe";
    WriteBytes(program, ReadBytes(CIPHRA_STUB_FILE) + ReadBytes(payloadPath));
    std::remove(payloadPath.c_str());
    return program;
}

struct RunResult {
    bool Restored;
    std::vector<Message> Shown;
};

RunResult Decrypt(const std::string& program, const std::string& password)
{
    Recorder recorder;
    const bool restored = DecryptPayload(program, password, recorder);
    return {restored, recorder.Shown};
}

TEST(DecryptRoutine, RestoresTheFileBesideTheProgram)
{
    for (std::size_t length : {0, 1, 5, 16, 8192, 8193}) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const std::string plain = PatternBytes(length, static_cast<std::uint32_t>(length));
        const std::string program = MakeProgram(folder, plain, "open sesame");
        const RunResult run = Decrypt(program, "open sesame");
        EXPECT_TRUE(run.Restored);
        EXPECT_EQ(run.Shown, (std::vector<Message>{{"Ciphra SFD", "File decrypted!"}}));
        EXPECT_EQ(ReadBytes(folder / "report.dec"), plain);
        // Only the program and its restored file: no working file is left.
        EXPECT_EQ(Snapshot(folder.Path()).size(), 2U);
        struct stat info {};
        ASSERT_EQ(stat((folder / "report.dec").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, MaskedPermissions(0666));
    }
}

TEST(DecryptRoutine, AWrongPasswordGivesOtherBytesOfTheRightLength)
{
    TempFolder folder;
    const std::string plain = PatternBytes(1000);
    const RunResult run = Decrypt(MakeProgram(folder, plain, "right"), "wrong");
    EXPECT_EQ(run.Shown, (std::vector<Message>{{"Ciphra SFD", "File decrypted!"}}));
    const std::string restored = ReadBytes(folder / "report.dec");
    EXPECT_EQ(restored.size(), plain.size());
    EXPECT_NE(restored, plain);
}

// Refused passwords end the routine with their message before any file is
// touched.
TEST(DecryptRoutine, RefusedPasswordsWriteNothing)
{
    const struct {
        std::string Password;
        Message Expected;
    } cases[] = {
        {"", {"Password check", "Password is required."}},
        {std::string(33, 'p'), {"Ciphra SFD", "Key length must be between 1 and 32 bytes"}},
        {std::string(5000, 'p'), {"Ciphra SFD", "Key length must be between 1 and 32 bytes"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Password.size());
        TempFolder folder;
        const std::string program = MakeProgram(folder, PatternBytes(100), "pw");
        const auto before = Snapshot(folder.Path());
        const RunResult run = Decrypt(program, c.Password);
        EXPECT_FALSE(run.Restored);
        EXPECT_EQ(run.Shown, std::vector<Message>{c.Expected});
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

// A file of the output name is the user's: it stays as it is, and the message
// says where the restored data went instead of claiming success.
TEST(DecryptRoutine, ATakenOutputNameIsKeptAndReported)
{
    const struct {
        std::vector<std::string> Taken;
        std::string Holder;
    } cases[] = {
        {{"report.dec"}, "report (2).dec"},
        {{"report.dec", "report (2).dec"}, "report (3).dec"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Holder);
        TempFolder folder;
        const std::string plain = PatternBytes(3000);
        const std::string program = MakeProgram(folder, plain, "pw");
        for (const std::string& name : c.Taken)
            WriteBytes(folder / name, "user's own " + name);
        const RunResult run = Decrypt(program, "pw");
        EXPECT_FALSE(run.Restored);
        EXPECT_EQ(run.Shown, (std::vector<Message>{
                                 {"Ciphra SFD", "The file name report.dec is already taken.\r"
                                                "The decrypted file was saved as " +
                                                    c.Holder + "."}}));
        for (const std::string& name : c.Taken)
            EXPECT_EQ(ReadBytes(folder / name), "user's own " + name);
        EXPECT_EQ(ReadBytes(folder / c.Holder), plain);
        EXPECT_EQ(Snapshot(folder.Path()).size(), c.Taken.size() + 2);
    }
}

TEST(DecryptRoutine, AProgramWithoutAWholeStubCannotBeDecrypted)
{
    const std::string stub = ReadBytes(CIPHRA_STUB_FILE);
    for (const std::string& content :
         {std::string("#!/bin/sh\necho not a stub\n"), stub.substr(0, stub.size() / 2)}) {
        TempFolder folder;
        WriteBytes(folder / "report.exe", content);
        const RunResult run = Decrypt(folder / "report.exe", "pw");
        EXPECT_FALSE(run.Restored);
        EXPECT_EQ(run.Shown,
                  (std::vector<Message>{
                      {"CRC check", "Unable to decrypt file.\rFile might be corrupt."}}));
        EXPECT_EQ(Snapshot(folder.Path()).size(), 1U);
    }
}

// A folder where no file can be created (here one that is not a folder at
// all, which holds for every user, root included) is reported, not fatal.
TEST(DecryptRoutine, AnUnwritableFolderIsReported)
{
    TempFolder folder;
    WriteBytes(folder / "plainfile", "x");
    const std::string inside = folder / "plainfile";
    const RunResult run = Decrypt(inside + "/report.exe", "pw");
    EXPECT_FALSE(run.Restored);
    ASSERT_EQ(run.Shown.size(), 1U);
    EXPECT_EQ(run.Shown[0].second.rfind("Cannot write in the folder " + inside + ".\r", 0), 0U)
        << run.Shown[0].second;
}

TEST(DecryptRoutine, UnwritableFolderForAnOrdinaryUser)
{
    TempFolder folder;
    const std::string program = MakeProgram(folder, PatternBytes(10), "pw");
    chmod(folder.Path().c_str(), 0555);
    RunResult run;
    {
        test::AsFolderOwner owner(folder.Path()); // root may write in any folder
        run = Decrypt(program, "pw");
    }
    chmod(folder.Path().c_str(), 0755);
    EXPECT_FALSE(run.Restored);
    ASSERT_EQ(run.Shown.size(), 1U);
    EXPECT_EQ(run.Shown[0].second,
              "Cannot write in the folder " + folder.Path().string() + ".\rFile access denied");
}

} // namespace
} // namespace ciphra::stub
