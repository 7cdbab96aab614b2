#pragma once
// The local date and time as the user's locale writes them: the short date,
// a blank and the long time; at exactly midnight the date alone.

#include <ctime>
#include <string>

namespace ciphra {

std::string LocalDateTimeText(std::time_t when);
std::string LocalDateTimeText(); // now

} // namespace ciphra
