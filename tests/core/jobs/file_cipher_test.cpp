#include "core/jobs/file_cipher.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "support/stream_reference.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

namespace fs = std::filesystem;
using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

constexpr std::string_view Password = "file cipher test";

// The stream's own transformation of `bytes`, as a reference.
std::string Transformed(const std::string& bytes, CipherDirection direction)
{
    return direction == CipherDirection::Encrypt ? test::Encrypted(bytes, Password)
                                                 : test::Decrypted(bytes, Password);
}

CipherJob Job(CipherDirection direction, Placement where, ExistingOutput existing,
              const std::string& source)
{
    CipherJob job;
    job.Direction = direction;
    job.Where = where;
    job.Existing = existing;
    job.Source = source;
    return job;
}

CipherPlan RunJob(const CipherJob& job, StreamProgress* progress = nullptr)
{
    KeyMaterial key;
    MakeKeyMaterial(Password, true, key);
    CipherPlan plan = PlanCipherJob(job);
    if (plan.Status != CipherStatus::Ready)
        return plan;
    return RunCipherJob(plan, key, progress);
}

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(FileCipher, BesideAndInPlaceGiveTheStreamsBytes)
{
    for (const std::size_t length : {std::size_t{0}, std::size_t{15}, std::size_t{70000}}) {
        for (const CipherDirection direction :
             {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
            SCOPED_TRACE(length);
            TempFolder folder;
            const std::string plain = PatternBytes(length, 4);
            WriteBytes(folder / "a.txt", plain);
            const CipherPlan beside =
                RunJob(Job(direction, Placement::Beside, ExistingOutput::Refuse, folder / "a.txt"));
            ASSERT_EQ(beside.Status, CipherStatus::Done);
            EXPECT_EQ(beside.Output, OutputPathBeside(direction, folder / "a.txt"));
            EXPECT_EQ(ReadBytes(beside.Output), Transformed(plain, direction));
            EXPECT_EQ(ReadBytes(folder / "a.txt"), plain);
            const CipherPlan inPlace = RunJob(
                Job(direction, Placement::InPlace, ExistingOutput::Refuse, folder / "a.txt"));
            ASSERT_EQ(inPlace.Status, CipherStatus::Done);
            EXPECT_EQ(ReadBytes(folder / "a.txt"), Transformed(plain, direction));
            EXPECT_EQ(Snapshot(folder.Path()).size(), 2U) << "no working file is left";
        }
    }
}

// Only regular files are transformed; anything else is refused at once,
// without being opened for data (a FIFO would block, a device never end).
TEST(FileCipher, OnlyRegularFilesAreTransformed)
{
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    fs::create_directory(folder.Path() / "sub");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = folder / "socket";
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const struct {
        std::string Source;
        int Error;
    } cases[] = {
        {folder / "fifo", NotRegularFile}, {"/dev/zero", NotRegularFile},
        {"/dev/null", NotRegularFile},     {socketPath, NotRegularFile},
        {folder / "sub", EISDIR},          {folder / "missing", ENOENT},
    };
    const auto before = Snapshot(folder.Path());
    for (const auto& c : cases) {
        for (const Placement where : {Placement::Beside, Placement::InPlace}) {
            for (const CipherDirection direction :
                 {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
                SCOPED_TRACE(c.Source);
                const CipherPlan plan =
                    RunJob(Job(direction, where, ExistingOutput::Replace, c.Source));
                EXPECT_EQ(plan.Status, CipherStatus::SourceUnusable);
                EXPECT_EQ(plan.Error, c.Error);
            }
        }
    }
    ::close(sock);
    EXPECT_EQ(Snapshot(folder.Path()), before);
}

// Replacing an existing output replaces its name: nothing is ever written
// through a link there, into another name of the source, or into a file of
// someone else's. Refusing leaves it alone.
TEST(FileCipher, AnExistingOutputNameIsReplacedNeverWrittenThrough)
{
    enum class There { File, LinkToVictim, HardLinkToSource, DanglingLink, Folder };
    const struct {
        const char* Name;
        There What;
        ExistingOutput Existing;
        CipherStatus Status;
    } cases[] = {
        {"file, replace", There::File, ExistingOutput::Replace, CipherStatus::Done},
        {"link, replace", There::LinkToVictim, ExistingOutput::Replace, CipherStatus::Done},
        {"hard link to the source, replace", There::HardLinkToSource, ExistingOutput::Replace,
         CipherStatus::Done},
        {"dangling link, replace", There::DanglingLink, ExistingOutput::Replace,
         CipherStatus::Done},
        {"folder, replace", There::Folder, ExistingOutput::Replace, CipherStatus::OutputUnusable},
        {"file, refuse", There::File, ExistingOutput::Refuse, CipherStatus::OutputTaken},
        {"link, refuse", There::LinkToVictim, ExistingOutput::Refuse, CipherStatus::OutputTaken},
        {"folder, refuse", There::Folder, ExistingOutput::Refuse, CipherStatus::OutputTaken},
    };
    for (const auto& c : cases) {
        for (const CipherDirection direction :
             {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
            SCOPED_TRACE(c.Name);
            TempFolder folder;
            const std::string source = folder / "data.txt";
            const std::string output = OutputPathBeside(direction, source);
            const std::string plain = PatternBytes(5000, 2);
            WriteBytes(source, plain);
            WriteBytes(folder / "victim", "victim");
            switch (c.What) {
            case There::File:
                WriteBytes(output, "old output");
                break;
            case There::LinkToVictim:
                fs::create_symlink(folder / "victim", output);
                break;
            case There::HardLinkToSource:
                fs::create_hard_link(source, output);
                break;
            case There::DanglingLink:
                fs::create_symlink(folder / "nowhere", output);
                break;
            case There::Folder:
                fs::create_directory(output);
                break;
            }
            const auto before = Snapshot(folder.Path());
            const CipherPlan plan = RunJob(Job(direction, Placement::Beside, c.Existing, source));
            EXPECT_EQ(plan.Status, c.Status);
            EXPECT_EQ(ReadBytes(source), plain);
            EXPECT_EQ(ReadBytes(folder / "victim"), "victim");
            EXPECT_FALSE(fs::exists(folder / "nowhere"));
            if (c.Status == CipherStatus::Done) {
                EXPECT_FALSE(fs::is_symlink(output));
                EXPECT_EQ(ReadBytes(output), Transformed(plain, direction));
            } else {
                EXPECT_EQ(Snapshot(folder.Path()), before);
            }
        }
    }
}

// A file another user put under the output's name in a shared folder never
// receives the data: the name is replaced, or the replacing is refused.
TEST(FileCipher, AnotherUsersFileUnderTheOutputNameReceivesNothing)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "needs a second user";
    TempFolder folder;
    ASSERT_EQ(::chmod(folder.Path().c_str(), 01777), 0); // shared, like /tmp
    WriteBytes(folder / "secret.CPH", Transformed("plain secret", CipherDirection::Encrypt));
    ASSERT_EQ(::chown((folder / "secret.CPH").c_str(), 65534, 65534), 0);
    WriteBytes(folder / "secret.dec", "planted"); // root's, writable by all
    ASSERT_EQ(::chmod((folder / "secret.dec").c_str(), 0666), 0);
    fs::create_hard_link(folder / "secret.dec", folder / "planted-copy");
    int refused = 0;
    ASSERT_EQ(::setegid(65534), 0);
    ASSERT_EQ(::seteuid(65534), 0);
    try {
        RunJob(Job(CipherDirection::Decrypt, Placement::Beside, ExistingOutput::Replace,
                   folder / "secret.CPH"));
    } catch (const FileError& error) {
        refused = error.ErrorNumber(); // the sticky folder keeps root's name from being taken
    }
    ASSERT_EQ(::seteuid(0), 0);
    ASSERT_EQ(::setegid(0), 0);
    EXPECT_EQ(refused, EPERM);
    EXPECT_EQ(ReadBytes(folder / "planted-copy"), "planted") << "the plain text went into it";
    EXPECT_EQ(Snapshot(folder.Path()).size(), 3U) << "no working file is left";
}

// Decrypting "x.dec" beside would name the output after the source itself.
TEST(FileCipher, AnOutputThatIsTheSourceIsRefused)
{
    TempFolder folder;
    WriteBytes(folder / "x.dec", "data");
    fs::create_directory(folder.Path() / "sub");
    fs::create_symlink(folder.Path(), folder / "sub/up");
    for (const std::string& source : {folder / "x.dec", folder / "sub/up/x.dec"}) {
        const CipherPlan plan = RunJob(
            Job(CipherDirection::Decrypt, Placement::Beside, ExistingOutput::Replace, source));
        EXPECT_EQ(plan.Status, CipherStatus::OutputUnusable);
        EXPECT_EQ(plan.Error, EEXIST);
        EXPECT_EQ(ReadBytes(folder / "x.dec"), "data");
    }
}

// An output beside has the source's permissions (less the umask): a private
// file gives a private output, plain text above all.
TEST(FileCipher, OutputsBesideKeepTheSourcesPrivacy)
{
    const mode_t umaskBefore = ::umask(022);
    for (const mode_t mode : {0600, 0640, 0644, 0400}) {
        for (const CipherDirection direction :
             {CipherDirection::Encrypt, CipherDirection::Decrypt}) {
            TempFolder folder;
            WriteBytes(folder / "f.CPH", "data");
            ASSERT_EQ(::chmod((folder / "f.CPH").c_str(), mode), 0);
            const CipherPlan plan =
                RunJob(Job(direction, Placement::Beside, ExistingOutput::Refuse, folder / "f.CPH"));
            ASSERT_EQ(plan.Status, CipherStatus::Done);
            EXPECT_EQ(ModeOf(plan.Output), mode & 0755) << std::oct << mode;
        }
    }
    ::umask(umaskBefore);
}

// While the stream runs, the file's own name holds the whole original (in
// place) and the output's name holds nothing (beside): a crash at any moment
// leaves no mixed or short file under a name the user knows.
class WatchNames final : public StreamProgress {
public:
    WatchNames(std::string file, std::string original, std::string output)
        : file_(std::move(file)), original_(std::move(original)), output_(std::move(output))
    {
    }
    void BytesDone(std::uint64_t, std::uint64_t) override
    {
        ++Calls;
        EXPECT_EQ(ReadBytes(file_), original_);
        if (!output_.empty()) {
            EXPECT_FALSE(fs::exists(output_));
        }
    }
    int Calls = 0;

private:
    std::string file_;
    std::string original_;
    std::string output_;
};

TEST(FileCipher, NoNameHoldsAPartialResult)
{
    for (const Placement where : {Placement::Beside, Placement::InPlace}) {
        TempFolder folder;
        const std::string plain = PatternBytes(4 * StreamChunkSize + 7, 8);
        WriteBytes(folder / "big", plain);
        const std::string output = where == Placement::Beside ? folder / "big.CPH" : "";
        WatchNames watch(folder / "big", plain, output);
        const CipherPlan plan = RunJob(
            Job(CipherDirection::Encrypt, where, ExistingOutput::Refuse, folder / "big"), &watch);
        ASSERT_EQ(plan.Status, CipherStatus::Done);
        EXPECT_GE(watch.Calls, 4);
    }
}

// In place the file keeps its owner, group, permissions and extended
// attributes; other hard links keep the former bytes, and the outcome says
// how many there are.
TEST(FileCipher, InPlaceKeepsTheFilesAttributesAndCountsOtherLinks)
{
    TempFolder folder;
    const std::string file = folder / "doc";
    const std::string plain = PatternBytes(3000, 6);
    WriteBytes(file, plain);
    fs::create_hard_link(file, folder / "other-name");
    const bool withAttribute = ::setxattr(file.c_str(), "user.note", "kept", 4, 0) == 0;
    ASSERT_EQ(::chmod(file.c_str(), 0741), 0);
    const bool asRoot = test::RunningAsRoot();
    if (asRoot) {
        ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
    }
    fs::create_symlink("doc", folder / "link");
    const CipherPlan plan = RunJob(
        Job(CipherDirection::Encrypt, Placement::InPlace, ExistingOutput::Refuse, folder / "link"));
    ASSERT_EQ(plan.Status, CipherStatus::Done);
    EXPECT_EQ(plan.OtherLinks, 1U);
    EXPECT_TRUE(fs::is_symlink(folder / "link")) << "the link leads to the new version";
    EXPECT_EQ(ReadBytes(folder / "link"), Transformed(plain, CipherDirection::Encrypt));
    EXPECT_EQ(ReadBytes(folder / "other-name"), plain);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0741U);
    EXPECT_EQ(info.st_uid, asRoot ? 65534U : ::geteuid());
    EXPECT_EQ(info.st_gid, asRoot ? 65534U : ::getegid());
    if (withAttribute) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(file.c_str(), "user.note", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
}

// A file the user may not write is not replaced in place, although its
// folder would allow it; nor is a file whose owner cannot be kept.
TEST(FileCipher, InPlaceNeedsAFileTheUserMayWrite)
{
    TempFolder folder;
    WriteBytes(folder / "read-only", "data");
    ASSERT_EQ(::chmod((folder / "read-only").c_str(), 0444), 0);
    test::AsFolderOwner owner(folder.Path());
    const CipherPlan plan = RunJob(Job(CipherDirection::Encrypt, Placement::InPlace,
                                       ExistingOutput::Refuse, folder / "read-only"));
    EXPECT_EQ(plan.Status, CipherStatus::SourceUnusable);
    EXPECT_EQ(plan.Error, EACCES);
    EXPECT_EQ(ReadBytes(folder / "read-only"), "data");
}

// Names of up to 255 bytes, the longest a folder entry may have, work beside
// (up to the output's 255) and in place.
TEST(FileCipher, NamesUpToTheLongestAllowed)
{
    for (std::size_t length = 239; length <= 255; ++length) {
        SCOPED_TRACE(length);
        TempFolder folder;
        const std::string name(length, 'q');
        WriteBytes(folder / name, "named");
        if (length + 4 <= 255) {
            EXPECT_EQ(RunJob(Job(CipherDirection::Encrypt, Placement::Beside,
                                 ExistingOutput::Refuse, folder / name))
                          .Status,
                      CipherStatus::Done);
        }
        EXPECT_EQ(RunJob(Job(CipherDirection::Encrypt, Placement::InPlace, ExistingOutput::Refuse,
                             folder / name))
                      .Status,
                  CipherStatus::Done);
    }
}

// A batch names each file once, never takes the password file, and never
// writes two results to one name.
TEST(FileCipherBatch, EachFileOnceAndNeverThePasswordFile)
{
    TempFolder folder;
    WriteBytes(folder / "a", "a");
    WriteBytes(folder / "b", "b");
    WriteBytes(folder / "pass.txt", "password");
    fs::create_hard_link(folder / "a", folder / "alink");
    fs::create_symlink("a", folder / "asym");
    WriteBytes(folder / "r.CPH", "r1");
    WriteBytes(folder / "r.bin", "r2");
    const auto jobs = [&](CipherDirection direction, std::initializer_list<std::string> names) {
        std::vector<CipherJob> list;
        for (const std::string& name : names)
            list.push_back(
                Job(direction, Placement::InPlace, ExistingOutput::Refuse, folder / name));
        return list;
    };
    const std::optional<FileIdentity> passwordFile = IdentityOf(folder / "pass.txt");

    std::vector<CipherPlan> plans = PlanCipherBatch(
        jobs(CipherDirection::Encrypt, {"a", "./a", "alink", "asym", "b"}), passwordFile);
    ASSERT_EQ(plans.size(), 2U);
    EXPECT_EQ(plans[0].Job.Source, folder / "a");
    EXPECT_EQ(plans[1].Job.Source, folder / "b");

    plans = PlanCipherBatch(jobs(CipherDirection::Encrypt, {"a", "pass.txt", "b"}), passwordFile);
    ASSERT_EQ(plans.size(), 2U);
    EXPECT_EQ(plans[1].Status, CipherStatus::SourceUnusable);
    EXPECT_EQ(plans[1].Error, ExcludedSource);

    std::vector<CipherJob> beside = jobs(CipherDirection::Decrypt, {"r.CPH", "r.bin"});
    for (CipherJob& job : beside)
        job.Where = Placement::Beside;
    plans = PlanCipherBatch(beside, std::nullopt);
    ASSERT_EQ(plans.size(), 2U);
    EXPECT_EQ(plans[1].Status, CipherStatus::OutputTaken);
    EXPECT_EQ(plans[1].Error, SharedOutput);
}

// A batch over many files (a folder) plans every job and goes on past the
// ones that cannot run; a chosen output name is checked as the one beside.
TEST(FileCipherBatch, EveryJobAndChosenOutputs)
{
    TempFolder folder;
    WriteBytes(folder / "a", "a");
    WriteBytes(folder / "b", "b");
    WriteBytes(folder / "taken", "t");
    std::vector<CipherJob> jobs;
    for (const char* name : {"a", "missing", "b", "a"})
        jobs.push_back(Job(CipherDirection::Encrypt, Placement::Beside, ExistingOutput::Refuse,
                           folder / name));
    jobs[2].ChosenOutput = folder / "taken";
    std::vector<CipherPlan> plans = PlanCipherBatch(jobs, std::nullopt, BatchPlanning::EveryJob);
    ASSERT_EQ(plans.size(), 3U) << "the second \"a\" is the same file";
    EXPECT_EQ(plans[0].Status, CipherStatus::Ready);
    EXPECT_EQ(plans[1].Status, CipherStatus::SourceUnusable);
    EXPECT_EQ(plans[2].Status, CipherStatus::OutputTaken);
    EXPECT_EQ(plans[2].Output, folder / "taken");

    jobs[2].ChosenOutput = folder / "chosen";
    plans = PlanCipherBatch({jobs[2]}, std::nullopt);
    ASSERT_EQ(plans.size(), 1U);
    KeyMaterial key;
    MakeKeyMaterial(Password, true, key);
    EXPECT_EQ(RunCipherJob(plans[0], key, nullptr).Status, CipherStatus::Done);
    EXPECT_EQ(ReadBytes(folder / "chosen"), test::Encrypted("b", Password));
    EXPECT_FALSE(fs::exists(folder / "b.CPH"));
}

} // namespace
} // namespace ciphra
