// Every overwrite of a shred reaches the disk before the next one starts:
// unflushed, the zeros, the ones and the cipher bytes of a pass could all
// sit in the page cache together, and only the last would ever be written.
// Read from the fault library's log, which records each write with the kind
// of bytes it wrote and each flush as it starts.

#include <algorithm>
#include <filesystem>

#include "core/jobs/cipher_stream.h"
#include "reliability/fault_log.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

// Several chunks, and a short one at the end.
constexpr std::size_t ShredSize = (std::size_t{3} << 20) + 12345;
static_assert(ShredSize > StreamChunkSize && ShredSize % StreamChunkSize != 0);

// One overwrite: a run of writes of one kind of bytes.
struct Overwrite {
    std::string Bytes;
    std::size_t First = 0; // the index of its first write in the log
    std::size_t Last = 0;  // and of its last
    std::vector<std::pair<std::uint64_t, std::uint64_t>> Ranges; // offset, length
};

// True when the ranges cover [0, size) and nothing beyond.
bool CoversExactly(std::vector<std::pair<std::uint64_t, std::uint64_t>> ranges, std::uint64_t size)
{
    std::sort(ranges.begin(), ranges.end());
    std::uint64_t end = 0;
    for (const auto& [offset, length] : ranges) {
        if (offset > end) {
            return false;
        }
        end = std::max(end, offset + length);
    }
    return end == size;
}

TEST_F(ReliabilityTest, EveryOverwriteOfAShredIsFlushed)
{
    WritePlain(PatternBytes(ShredSize, 3));
    const ProcessResult result =
        CheckedRun(Logged(CliRun({"shred", "--yes", "--passes", "2", "--", "plain.bin"})));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(Plain()));

    const std::vector<LogRecord> log = Inside(ReadFaultLog(FaultLog()), Work());
    std::string working; // the shredder works under a name of its own
    std::vector<Overwrite> overwrites;
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i].Call != "write") {
            continue;
        }
        if (working.empty()) {
            working = log[i].Path;
        }
        ASSERT_EQ(log[i].Path, working) << "writes to two files";
        if (overwrites.empty() || overwrites.back().Bytes != log[i].Bytes) {
            overwrites.push_back({log[i].Bytes, i, i, {}});
        }
        overwrites.back().Last = i;
        overwrites.back().Ranges.emplace_back(log[i].Offset, log[i].Length);
    }
    for (const LogRecord& record : log) {
        EXPECT_FALSE(record.Call.ends_with("-failed")) << record.Line;
    }
    std::vector<std::string> kinds;
    for (const Overwrite& overwrite : overwrites) {
        kinds.push_back(overwrite.Bytes);
    }
    ASSERT_EQ(kinds,
              (std::vector<std::string>{"zeros", "ones", "mixed", "zeros", "ones", "mixed"}));
    const auto removal = std::find_if(log.begin(), log.end(), [&](const LogRecord& record) {
        return record.Call == "unlink" && record.Path == working;
    });
    ASSERT_NE(removal, log.end()) << "the working file was never removed";
    const auto removed = static_cast<std::size_t>(removal - log.begin());

    const char* const names[] = {"zeros", "ones", "cipher"};
    for (std::size_t k = 0; k < overwrites.size(); ++k) {
        SCOPED_TRACE("pass " + std::to_string(k / 3 + 1) + ", the " + names[k % 3] + " overwrite");
        const Overwrite& overwrite = overwrites[k];
        EXPECT_TRUE(CoversExactly(overwrite.Ranges, ShredSize)) << "not the whole file";
        const std::size_t next = k + 1 < overwrites.size() ? overwrites[k + 1].First : removed;
        ASSERT_LT(overwrite.Last, next) << "removed before it was written";
        // A flush that started after the overwrite's last write had returned,
        // and found the file as the overwrite left it.
        bool flushed = false;
        for (std::size_t i = overwrite.Last + 1; i < next; ++i) {
            flushed = flushed || (log[i].IsFlush() && log[i].Path == working &&
                                  log[i].Length == ShredSize && log[i].Bytes == overwrite.Bytes);
        }
        EXPECT_TRUE(flushed) << "no fsync or fdatasync of the working file between its last write "
                                "and the next overwrite's first write (or the removal)";
    }
}

} // namespace
} // namespace ciphra::test
