#include "platform/exif_date_time.hpp"
#include "support/scoped_environment.hpp"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace sorvin {
namespace {

// Runs the test body in a fixed time zone and restores the process's zone afterwards.
class ExifDateTimeTest : public ::testing::Test {
protected:
    void SetUp() override { environment_.set("TZ", "Asia/Tokyo"); }

private:
    test::ScopedEnvironment environment_;
};

std::int64_t secondsOf(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

TEST_F(ExifDateTimeTest, ReadsTheTextAsLocalWallClockTime) {
    // 2024-05-01 10:00:00 in Tokyo (UTC+9) is 01:00:00 UTC.
    const auto time = ExifDateTime::parse("2024:05:01 10:00:00");
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(secondsOf(*time), 1714525200);
    const auto leapDay = ExifDateTime::parse("2024:02:29 23:59:59");
    ASSERT_TRUE(leapDay.has_value());
    EXPECT_EQ(secondsOf(*leapDay), 1709218799);
}

TEST_F(ExifDateTimeTest, RefusesAnythingButAValidDateInTheExifLayout) {
    for (const char* text :
         {"", "    :  :     :  :  ", "0000:00:00 00:00:00", "2024:13:01 10:00:00", "2023:02:29 10:00:00",
          "2024:05:01 24:00:00", "2024:05:01 10:60:00", "2024-05-01 10:00:00", "2024:05:01 10:00",
          "2024:05:01 10:00:00Z", "2024:05:01T10:00:00", "20x4:05:01 10:00:00"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ExifDateTime::parse(text).has_value());
    }
}

} // namespace
} // namespace sorvin
