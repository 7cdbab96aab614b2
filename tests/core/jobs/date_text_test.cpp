// The date and time text of the command-line tool: the time is left out at
// exactly midnight only.

#include <ctime>
#include <gtest/gtest.h>

#include "core/jobs/date_text.h"

namespace ciphra {
namespace {

std::time_t LocalTime(int hour, int minute, int second)
{
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 8;
    when.tm_hour = hour;
    when.tm_min = minute;
    when.tm_sec = second;
    when.tm_isdst = -1;
    return std::mktime(&when);
}

TEST(LocalDateTimeText, LeavesOutTheTimeAtMidnightOnly)
{
    const std::string midnight = LocalDateTimeText(LocalTime(0, 0, 0));
    const struct {
        int Hour, Minute, Second;
        bool HasTime;
    } cases[] = {{0, 0, 0, false}, {0, 0, 1, true}, {10, 15, 42, true}, {23, 59, 59, true}};
    for (const auto& c : cases) {
        const std::string text = LocalDateTimeText(LocalTime(c.Hour, c.Minute, c.Second));
        SCOPED_TRACE(text);
        EXPECT_TRUE(text.starts_with(midnight)) << "the date comes first";
        EXPECT_EQ(text.size() > midnight.size(), c.HasTime);
        if (c.HasTime) {
            EXPECT_EQ(text[midnight.size()], ' ');
        }
    }
    EXPECT_NE(LocalDateTimeText(LocalTime(10, 15, 42)).find("10:15:42"), std::string::npos);
}

} // namespace
} // namespace ciphra
