#include "reliability/fault_log.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ciphra::test {

namespace {

// How many fields come between the call's name and the path.
int FieldsBeforePath(const std::string& call)
{
    if (call == "write" || call == "fsync" || call == "fdatasync" || call == "syncfs" ||
        call == "sync_file_range") {
        return 3;
    }
    if (call == "create") {
        return 2;
    }
    if (call == "unlink") {
        return 0;
    }
    if (call == "rename") {
        return 0; // "<from> -> <to>", both in the path field
    }
    return 1; // mkostemp, mkstemp, *-failed
}

LogRecord Parse(const std::string& line)
{
    LogRecord record;
    record.Line = line;
    std::size_t at = 0;
    const auto field = [&] {
        const std::size_t end = line.find(' ', at);
        std::string text = line.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? line.size() : end + 1;
        return text;
    };
    record.Call = field();
    std::vector<std::string> fields;
    for (int i = FieldsBeforePath(record.Call); i > 0; --i) {
        fields.push_back(field());
    }
    record.Path = line.substr(at);
    if (record.Call == "create") {
        record.Flags = fields[0];
        record.Mode = fields[1];
    } else if (record.Call == "mkostemp" || record.Call == "mkstemp") {
        record.Mode = fields[0];
    } else if (record.Call == "write") {
        record.Offset = std::stoull(fields[0]);
        record.Length = std::stoull(fields[1]);
        record.Bytes = fields[2];
    } else if ((record.IsFlush() || record.Call == "sync_file_range") && fields[1] != "folder") {
        record.Length = std::stoull(fields[0]);
        record.Bytes = fields[1];
    }
    return record;
}

} // namespace

bool LogRecord::HasFlag(const std::string& flag) const
{
    std::istringstream names(Flags);
    for (std::string name; std::getline(names, name, '|');) {
        if (name == flag) {
            return true;
        }
    }
    return false;
}

bool LogRecord::Created() const
{
    return (Call == "create" || Call == "mkostemp" || Call == "mkstemp") &&
           !Mode.starts_with("error:");
}

std::vector<LogRecord> ReadFaultLog(const std::string& path)
{
    std::vector<LogRecord> records;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        records.push_back(Parse(line));
    }
    return records;
}

std::vector<LogRecord> Inside(const std::vector<LogRecord>& records, const std::string& folder)
{
    const std::string prefix = std::filesystem::canonical(folder).string() + "/";
    std::vector<LogRecord> inside;
    for (const LogRecord& record : records) {
        if (record.Path.starts_with(prefix)) {
            inside.push_back(record);
        }
    }
    return inside;
}

} // namespace ciphra::test
