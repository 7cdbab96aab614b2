#include "core/jobs/hash_check.h"

#include <map>
#include <vector>

#include "core/io/file_error.h"
#include "core/jobs/file_hash.h"

namespace ciphra {

namespace {

// The file's digests, each computed once, or nothing when it is unreadable.
class FileDigests {
public:
    explicit FileDigests(std::string path) : path_(std::move(path)) {}

    const Digest* Of(HashAlgorithm algorithm)
    {
        auto known = digests_.find(algorithm);
        if (known == digests_.end()) {
            known = digests_.emplace(algorithm, Compute(algorithm)).first;
        }
        return known->second ? &*known->second : nullptr;
    }

private:
    std::optional<Digest> Compute(HashAlgorithm algorithm) const
    {
        try {
            return DigestOfFile(path_, algorithm);
        } catch (const FileError&) {
            return std::nullopt; // a read failure midway
        }
    }

    std::string path_;
    std::map<HashAlgorithm, std::optional<Digest>> digests_;
};

std::vector<const ChecksumEntry*> LinesFor(const std::string& path, const ChecksumList& list)
{
    std::vector<const ChecksumEntry*> lines;
    const std::string_view name = ListedFileName(path);
    for (const ChecksumEntry& entry : list.Entries) {
        if (list.IsReport || ListedFileName(entry.Name) == name) {
            lines.push_back(&entry);
        }
    }
    return lines;
}

} // namespace

CheckOutcome CheckFile(const std::string& path, const ExpectedDigest& expected)
{
    FileDigests digests(path);
    const Digest* digest = digests.Of(expected.Algorithm);
    if (digest == nullptr) {
        return CheckOutcome::Unreadable;
    }
    return DigestMatches(expected, *digest) ? CheckOutcome::Ok : CheckOutcome::Failed;
}

std::optional<ListVerdict> CheckAgainstList(const std::string& path, const ChecksumList& list)
{
    const std::vector<const ChecksumEntry*> lines = LinesFor(path, list);
    if (lines.empty()) {
        return std::nullopt;
    }
    FileDigests digests(path);
    for (const ChecksumEntry* line : lines) {
        const Digest* digest = digests.Of(line->Expected.Algorithm);
        if (digest == nullptr) {
            return ListVerdict{CheckOutcome::Unreadable, line};
        }
        if (DigestMatches(line->Expected, *digest)) {
            return ListVerdict{CheckOutcome::Ok, line};
        }
    }
    return ListVerdict{CheckOutcome::Failed, lines.front()};
}

} // namespace ciphra
