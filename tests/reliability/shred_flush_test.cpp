// Every overwrite of a shred reaches the disk before the next one starts
// over the same bytes: unflushed, the zeros, the ones and the cipher bytes of
// a pass could all sit in the page cache together, and only the last would
// ever be written. The fills run a segment ahead of the cipher overwrite, so
// the order is checked chunk by chunk, from the fault library's log, which
// records each write with the kind of bytes it wrote and each flush as it
// starts.

#include <algorithm>
#include <filesystem>
#include <map>

#include "core/jobs/cipher_stream.h"
#include "core/jobs/fill_ahead.h"
#include "reliability/fault_log.h"
#include "reliability/reliability_fixture.h"

namespace ciphra::test {
namespace {

// Three segments, the last one short and ending in a short chunk.
constexpr std::size_t ShredSize = 2 * FillAhead::SegmentSize + 3 * StreamChunkSize + 12345;

// The writes of one kind of bytes over one chunk of the file, one after the
// other in the log.
struct Overwrite {
    std::string Bytes;
    std::size_t First = 0; // the index of its first write in the log
    std::size_t Last = 0;  // and of its last
};

// What was written over one chunk, in order.
struct ChunkHistory {
    std::uint64_t Length = 0;
    std::vector<Overwrite> Overwrites;
};

TEST_F(ReliabilityTest, EveryOverwriteOfAShredIsFlushed)
{
    WritePlain(PatternBytes(ShredSize, 3));
    const ProcessResult result =
        CheckedRun(Logged(CliRun({"shred", "--yes", "--passes", "2", "--", "plain.bin"})));
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(Plain()));

    const std::vector<LogRecord> log = Inside(ReadFaultLog(FaultLog()), Work());
    std::string working; // the shredder works under a name of its own
    std::map<std::uint64_t, ChunkHistory> chunks;
    std::vector<std::size_t> flushes; // of the working file
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_FALSE(log[i].Call.ends_with("-failed")) << log[i].Line;
        if (log[i].IsFlush() && log[i].Path == working) {
            flushes.push_back(i);
        }
        if (log[i].Call != "write") {
            continue;
        }
        if (working.empty()) {
            working = log[i].Path;
        }
        ASSERT_EQ(log[i].Path, working) << "writes to two files";
        ChunkHistory& chunk = chunks[log[i].Offset];
        if (chunk.Length == 0) {
            chunk.Length = log[i].Length;
        }
        ASSERT_EQ(log[i].Length, chunk.Length) << "chunks of another size: " << log[i].Line;
        if (chunk.Overwrites.empty() || chunk.Overwrites.back().Bytes != log[i].Bytes) {
            chunk.Overwrites.push_back({log[i].Bytes, i, i});
        }
        chunk.Overwrites.back().Last = i;
    }
    const auto removal = std::find_if(log.begin(), log.end(), [&](const LogRecord& record) {
        return record.Call == "unlink" && record.Path == working;
    });
    ASSERT_NE(removal, log.end()) << "the working file was never removed";
    const auto removed = static_cast<std::size_t>(removal - log.begin());

    std::uint64_t covered = 0; // the chunks lie end to end over the whole file
    for (const auto& [offset, chunk] : chunks) {
        ASSERT_EQ(offset, covered) << "a gap or an overlap";
        covered += chunk.Length;
    }
    EXPECT_EQ(covered, ShredSize);

    const std::vector<std::string> kinds = {"zeros", "ones", "mixed", "zeros", "ones", "mixed"};
    const char* const names[] = {"zeros", "ones", "cipher"};
    for (const auto& [offset, chunk] : chunks) {
        SCOPED_TRACE("the chunk at " + std::to_string(offset));
        std::vector<std::string> written;
        for (const Overwrite& overwrite : chunk.Overwrites) {
            written.push_back(overwrite.Bytes);
        }
        ASSERT_EQ(written, kinds);
        for (std::size_t k = 0; k < chunk.Overwrites.size(); ++k) {
            SCOPED_TRACE("pass " + std::to_string(k / 3 + 1) + ", the " + names[k % 3] +
                         " overwrite");
            const std::size_t last = chunk.Overwrites[k].Last;
            const std::size_t next =
                k + 1 < chunk.Overwrites.size() ? chunk.Overwrites[k + 1].First : removed;
            ASSERT_LT(last, next) << "removed before it was written";
            // A flush that started after the overwrite's last write had returned.
            const auto flush = std::upper_bound(flushes.begin(), flushes.end(), last);
            EXPECT_TRUE(flush != flushes.end() && *flush < next)
                << "no fsync or fdatasync of the working file between the chunk's last write "
                   "and the next overwrite's first write over it (or the removal)";
        }
    }
}

} // namespace
} // namespace ciphra::test
