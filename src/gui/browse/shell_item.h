#pragma once
// One row of the file list and the texts its columns show.

#include <QString>

#include <cstdint>
#include <ctime>

class QLocale;

namespace ciphra::gui {

// Attribute bits as the list shows them: "r" the current user cannot write
// the entry, "h" its name begins with ".", "s" it is neither a regular file
// nor a folder. The archive bit of other systems has no meaning here.
enum : std::uint8_t { kAttrReadOnly = 0x1, kAttrHidden = 0x2, kAttrSystem = 0x4 };

struct ShellItem {
    // 100,000 entries must fit in well under 200 bytes each, view included:
    // the type is an index into the fetcher's table of descriptions, and the
    // last-write time is kept as a number and formatted when it is drawn.
    QString Name;               // caption, and the identifier relative to the listed folder
    std::int64_t LastWrite = 0; // seconds since the epoch; 0 when unknown
    std::uint32_t SizeKB = 0;
    std::int32_t IconIndex = -1; // index into the folder reader's icon table
    std::uint16_t TypeIndex = 0; // index into the fetcher's type descriptions
    std::uint8_t Attributes = 0;
    bool DetailsPending = true;
    bool IsFolder = false; // known from the enumeration, no extra call needed
};

// Size in thousands of bytes from the low 32 bits of the size, never 0.
std::uint32_t SizeKBOf(std::uint64_t bytes);

// The Size column: "%dKB"; empty for folders.
QString SizeText(const ShellItem& entry);

// The Modified column: short date, a blank and the long time; the date alone
// at exact midnight; empty for a zero time.
QString ModifiedText(std::time_t lastWrite, const QLocale& locale);

// The Attributes column: "r", "h", "s" in that order.
QString AttributeLetters(std::uint8_t attributes);

} // namespace ciphra::gui
