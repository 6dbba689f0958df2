#include "platform/internet_date_time.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using namespace std::chrono;

TEST(InternetDateTime, WholeSecondsInUtcWithTheZoneLetter) {
    EXPECT_EQ(InternetDateTime::utcText(system_clock::time_point{}), "1970-01-01T00:00:00Z");
    const auto moment = sys_days{2026y / December / 7} + 9h + 5min + 3s + 999ms;
    EXPECT_EQ(InternetDateTime::utcText(moment), "2026-12-07T09:05:03Z");
    EXPECT_EQ(InternetDateTime::utcText(sys_days{2024y / February / 29} + 23h + 59min + 59s),
              "2024-02-29T23:59:59Z");
    // Before 1970 the fraction is still cut toward the earlier second.
    EXPECT_EQ(InternetDateTime::utcText(system_clock::time_point{} - 500ms), "1969-12-31T23:59:59Z");
}

} // namespace
} // namespace sorvin
