#include "platform/exif_date_time.hpp"

#include <cerrno>
#include <ctime>

namespace sorvin::ExifDateTime {

namespace {

bool number(std::string_view text, std::size_t at, std::size_t digits, int& value) {
    value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::optional<std::chrono::system_clock::time_point> parse(std::string_view text) {
    if (text.size() != 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    int year, month, day, hour, minute, second;
    if (!number(text, 0, 4, year) || !number(text, 5, 2, month) || !number(text, 8, 2, day) ||
        !number(text, 11, 2, hour) || !number(text, 14, 2, minute) || !number(text, 17, 2, second))
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (year < 1 || !date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;

    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1; // let the zone's rules decide summer time
    errno = 0;
    const std::time_t seconds = std::mktime(&local);
    if (seconds == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
    // The clock holds about 290 years either side of 1970.
    if (seconds > 9'000'000'000 || seconds < -9'000'000'000) return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

} // namespace sorvin::ExifDateTime
