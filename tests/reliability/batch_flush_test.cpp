// Many files in one call of ciphra2k-cli are flushed together: the order of
// the flushes and names, and what a failing flush leaves.

#include <filesystem>

#include "core/jobs/cipher_batch.h"
#include "reliability/fault_log.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

constexpr std::size_t FileCount = 2 * SystemFlushFrom;

class BatchFlushTest : public ReliabilityTest {
protected:
    // FileCount small files beside plain.bin; returns the arguments naming them.
    std::vector<std::string> ManyFiles() const
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < FileCount; ++i) {
            const std::string name = "m" + std::to_string(i);
            WriteBytes(Work() + "/" + name, PatternBytes(5000, static_cast<std::uint32_t>(i)));
            names.push_back(name);
        }
        return names;
    }

    ProcessRun Encrypt(const std::vector<std::string>& names, bool inPlace,
                       bool recursive = false) const
    {
        std::vector<std::string> args = {"encrypt", "--password-file", PasswordFile()};
        if (inPlace) {
            args.push_back("--in-place");
        }
        if (recursive) {
            args.push_back("-r");
        }
        args.insert(args.end(), names.begin(), names.end());
        return CliRun(args);
    }
};

// No output has its final name before the data of every output of its batch
// was flushed (the whole file system once, then each file's own write-back
// checked), and the folder is flushed after the last name was given.
TEST_F(BatchFlushTest, EveryOutputIsOnDiskBeforeAnyIsNamed)
{
    for (const bool inPlace : {false, true}) {
        SCOPED_TRACE(inPlace ? "in place" : "beside");
        const std::vector<std::string> names = ManyFiles();
        std::filesystem::remove(FaultLog());
        const ProcessResult result = CheckedRun(Logged(Encrypt(names, inPlace)));
        ASSERT_EQ(result.ExitCode, 0) << result.Err;
        const std::vector<LogRecord> records = ReadFaultLog(FaultLog());
        const std::string folder = std::filesystem::canonical(Work()).string();
        std::size_t systemFlush = records.size();
        std::size_t checks = 0;
        std::size_t firstName = records.size();
        std::size_t lastName = 0;
        std::size_t folderFlush = 0;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const LogRecord& r = records[i];
            if (r.Call == "syncfs" && systemFlush == records.size()) {
                systemFlush = i;
            } else if (r.Call == "sync_file_range" && r.Path.starts_with(folder + "/.")) {
                EXPECT_LT(i, firstName) << "a file checked after the names: " << r.Line;
                EXPECT_EQ(r.Length, 5000U) << r.Line;
                ++checks;
            } else if (r.Call == "rename") {
                firstName = std::min(firstName, i);
                lastName = i;
            } else if (r.Call == "fsync" && r.Path == folder) {
                folderFlush = i;
            }
        }
        EXPECT_LT(systemFlush, firstName) << "no flush of the file system before the names";
        EXPECT_EQ(checks, FileCount);
        EXPECT_GT(folderFlush, lastName) << "no flush of the folder after the last name";
        for (const std::string& name : names) {
            EXPECT_EQ(ReadBytes(Work() + "/" + name + (inPlace ? "" : ".CPH")).size(), 5000U);
        }
    }
}

// A flush that fails names nothing: without -r the command stops at the
// first file with the reason; with -r every file is reported. No working
// file is left, and no source changed.
TEST_F(BatchFlushTest, AFailedFlushNamesNothing)
{
    const std::vector<std::string> names = ManyFiles();
    for (const bool recursive : {false, true}) {
        for (const bool inPlace : {false, true}) {
            ProcessRun run = Encrypt(names, inPlace, recursive);
            run.PreloadFaultLibrary = true;
            run.Environment = {{"CIPHRA_FAULT_FSYNC", "1"}};
            const auto before = WorkSnapshot();
            const ProcessResult result = CheckedRun(run);
            EXPECT_EQ(result.ExitCode, 1);
            EXPECT_EQ(result.Out, "");
            std::size_t reasons = 0;
            for (std::size_t at = 0; (at = result.Err.find("I/O error 5", at)) != std::string::npos;
                 ++at) {
                ++reasons;
            }
            EXPECT_EQ(reasons, recursive ? FileCount : 1) << result.Err;
            EXPECT_EQ(result.Err.rfind("ciphra2k-cli: m0: ", 0), 0U) << result.Err;
            EXPECT_EQ(WorkSnapshot(), before);
        }
    }
}

} // namespace
} // namespace ciphra::test
