#include "core/jobs/cipher_batch.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/stream_reference.h"
#include "support/test_files.h"

namespace ciphra {
namespace {

using test::PatternBytes;
using test::ReadBytes;
using test::Snapshot;
using test::TempFolder;
using test::WriteBytes;

constexpr std::string_view Password = "cipher batch test";

std::string FileName(std::size_t i)
{
    return "f" + std::to_string(i);
}

// Plans and runs `sources` through one batch and returns what it reported.
struct BatchRun {
    KeyMaterial Key;
    age::Keys AgeKeys;
    std::vector<CipherOutcome> Reported;

    BatchRun() { MakeKeyMaterial(Password, true, Key); }

    void Run(const std::vector<std::string>& sources, CipherDirection direction, Placement where,
             BatchFailure onFailure, ExistingOutput existing = ExistingOutput::Refuse)
    {
        CipherBatch batch(Key, AgeKeys, onFailure,
                          [&](const CipherOutcome& outcome) { Reported.push_back(outcome); });
        for (const std::string& source : sources) {
            CipherJob job;
            job.Direction = direction;
            job.Where = where;
            job.Existing = existing;
            job.Source = source;
            batch.Run(PlanCipherJob(job), nullptr);
        }
        batch.Finish();
    }
};

bool Done(const CipherOutcome& outcome)
{
    return !outcome.Failure && outcome.Plan.Status == CipherStatus::Done;
}

// Sources of sizes that cover an empty file, a tail shorter than a block and
// whole blocks, more of them than one batch holds.
std::vector<std::string> MakeSources(const TempFolder& folder, std::size_t count)
{
    std::vector<std::string> sources;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t sizes[] = {0, 15, 4096, 5000};
        WriteBytes(folder / FileName(i), PatternBytes(sizes[i % 4], static_cast<std::uint32_t>(i)));
        sources.push_back(folder / FileName(i));
    }
    return sources;
}

TEST(CipherBatch, EveryOutputOfManyBatchesHasTheStreamsBytesAndComesInOrder)
{
    TempFolder folder;
    const std::size_t count = 2 * MaxPendingOutputs + 3;
    const std::vector<std::string> sources = MakeSources(folder, count);
    BatchRun encrypt;
    encrypt.Run(sources, CipherDirection::Encrypt, Placement::Beside, BatchFailure::GoOn);
    ASSERT_EQ(encrypt.Reported.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        const CipherOutcome& outcome = encrypt.Reported[i];
        ASSERT_TRUE(Done(outcome)) << i;
        EXPECT_EQ(outcome.Plan.Job.Source, sources[i]);
        EXPECT_EQ(ReadBytes(outcome.Plan.Output), test::Encrypted(ReadBytes(sources[i]), Password));
    }
    EXPECT_EQ(Snapshot(folder.Path()).size(), 2 * count) << "a working file was left";

    // In place, back again: each name holds its plain bytes once more.
    std::vector<std::string> encrypted;
    for (const CipherOutcome& outcome : encrypt.Reported) {
        encrypted.push_back(outcome.Plan.Output);
    }
    const std::size_t open = test::OpenDescriptorCount();
    BatchRun decrypt;
    decrypt.Run(encrypted, CipherDirection::Decrypt, Placement::InPlace, BatchFailure::GoOn);
    EXPECT_EQ(test::OpenDescriptorCount(), open) << "a replaced source is still open";
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_TRUE(Done(decrypt.Reported[i])) << i;
        EXPECT_EQ(ReadBytes(encrypted[i]), ReadBytes(sources[i])) << i;
    }
    EXPECT_EQ(Snapshot(folder.Path()).size(), 2 * count);
}

// A plan that reads a file a pending output replaces reads the new file, as
// it would have, had each file been named before the next ran.
TEST(CipherBatch, APlanReadingAPendingOutputReadsWhatItBecame)
{
    TempFolder folder;
    WriteBytes(folder / "a", PatternBytes(100, 1));
    WriteBytes(folder / "a.CPH", PatternBytes(100, 2)); // replaced by a's encryption
    BatchRun run;
    run.Run({folder / "a", folder / "a.CPH"}, CipherDirection::Encrypt, Placement::Beside,
            BatchFailure::GoOn, ExistingOutput::Replace);
    ASSERT_EQ(run.Reported.size(), 2U);
    const std::string once = test::Encrypted(PatternBytes(100, 1), Password);
    EXPECT_EQ(ReadBytes(folder / "a.CPH"), once);
    EXPECT_EQ(ReadBytes(folder / "a.CPH.CPH"), test::Encrypted(once, Password));
}

struct FailureCase {
    const char* Name;
    BatchFailure OnFailure;
    bool WriteFails; // the failing file's write fails; else its name is taken meanwhile
};

class CipherBatchFailure : public ::testing::TestWithParam<FailureCase> {};

// The file in the middle fails; the files before it are done. Stopping
// there, nothing after it is named or reported and no working file is left;
// going on, every other file is done.
TEST_P(CipherBatchFailure, NamesNothingPartialAndReportsTheRightFiles)
{
    const FailureCase& c = GetParam();
    TempFolder folder;
    const std::size_t count = 2 * SystemFlushFrom;
    const std::size_t failing = count / 2;
    std::vector<std::string> sources;
    for (std::size_t i = 0; i < count; ++i) {
        WriteBytes(folder / FileName(i), PatternBytes(i == failing ? 20000 : 3000, 9));
        sources.push_back(folder / FileName(i));
    }
    if (!c.WriteFails) {
        std::filesystem::create_directory(folder / (FileName(failing) + ".CPH.hold"));
    }
    KeyMaterial key;
    MakeKeyMaterial(Password, true, key);
    const age::Keys ageKeys;
    std::vector<CipherOutcome> reported;
    {
        const test::FileSizeLimit limit(c.WriteFails ? 8192 : RLIM_INFINITY);
        CipherBatch batch(key, ageKeys, c.OnFailure,
                          [&](const CipherOutcome& outcome) { reported.push_back(outcome); });
        for (std::size_t i = 0; i < count; ++i) {
            CipherJob job;
            job.Source = sources[i];
            const CipherPlan plan = PlanCipherJob(job);
            if (i == failing && !c.WriteFails) { // planned free, then taken
                std::filesystem::rename(folder / (FileName(failing) + ".CPH.hold"), plan.Output);
            }
            batch.Run(plan, nullptr);
            if (batch.Stopped()) {
                break;
            }
        }
        batch.Finish();
    }
    const bool stops = c.OnFailure == BatchFailure::StopAtFailure;
    ASSERT_EQ(reported.size(), stops ? failing + 1 : count);
    for (std::size_t i = 0; i < reported.size(); ++i) {
        EXPECT_EQ(reported[i].Plan.Job.Source, sources[i]);
        EXPECT_EQ(Done(reported[i]), i != failing) << i;
    }
    EXPECT_EQ(static_cast<bool>(reported[failing].Failure), c.WriteFails);
    const auto files = Snapshot(folder.Path());
    for (std::size_t i = 0; i < count; ++i) {
        const bool named = files.count(FileName(i) + ".CPH") != 0;
        if (i != failing) {
            EXPECT_EQ(named, !stops || i < failing) << i;
        } else {
            EXPECT_EQ(named, !c.WriteFails) << "only the folder that took the name has it";
        }
    }
    const std::size_t outputs = stops ? failing + 1 : count;
    EXPECT_EQ(files.size(), count + outputs - (c.WriteFails ? 1 : 0)) << "a working file was left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CipherBatchFailure,
    ::testing::Values(FailureCase{"WriteFailsAndStops", BatchFailure::StopAtFailure, true},
                      FailureCase{"WriteFailsAndGoesOn", BatchFailure::GoOn, true},
                      FailureCase{"NameTakenAndStops", BatchFailure::StopAtFailure, false},
                      FailureCase{"NameTakenAndGoesOn", BatchFailure::GoOn, false}),
    [](const auto& info) { return std::string(info.param.Name); });

// An ending signal while outputs wait for their flush removes every one of
// their working files; the sources stay.
TEST(CipherBatch, AnEndingSignalRemovesEveryPendingWorkingFile)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ}) {
        TempFolder folder;
        const std::vector<std::string> sources = MakeSources(folder, MaxPendingOutputs - 1);
        const auto before = Snapshot(folder.Path());
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            KeyMaterial key;
            MakeKeyMaterial(Password, true, key);
            const age::Keys ageKeys;
            CipherBatch batch(key, ageKeys, BatchFailure::GoOn, [](const CipherOutcome&) {});
            for (const std::string& source : sources) {
                CipherJob job;
                job.Source = source;
                batch.Run(PlanCipherJob(job), nullptr);
            }
            std::raise(signal); // every output pending, none named
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_EQ(Snapshot(folder.Path()), before) << "signal " << signal;
    }
}

} // namespace
} // namespace ciphra
