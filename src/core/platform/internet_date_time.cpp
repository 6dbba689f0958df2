#include "platform/internet_date_time.hpp"

#include <fmt/format.h>

namespace sorvin::InternetDateTime {

std::string utcText(std::chrono::system_clock::time_point moment) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(moment);
    const auto days = std::chrono::floor<std::chrono::days>(seconds);
    const std::chrono::year_month_day date{days};
    const std::chrono::hh_mm_ss time{seconds - days};
    return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", static_cast<int>(date.year()),
                       static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                       time.hours().count(), time.minutes().count(), time.seconds().count());
}

} // namespace sorvin::InternetDateTime
