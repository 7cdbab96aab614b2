#include "core/jobs/date_text.h"

#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace ciphra {

namespace {

// The locale named by the environment, or the classic one when that name is
// not installed.
std::locale UserLocale()
{
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

} // namespace

std::string LocalDateTimeText(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    std::ostringstream text;
    text.imbue(UserLocale());
    text << std::put_time(&local, "%x");
    if (local.tm_hour != 0 || local.tm_min != 0 || local.tm_sec != 0) {
        text << ' ' << std::put_time(&local, "%X");
    }
    return text.str();
}

std::string LocalDateTimeText()
{
    return LocalDateTimeText(std::time(nullptr));
}

} // namespace ciphra
