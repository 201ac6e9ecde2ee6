#include "protocol/recorder_time.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kalix::protocol {
namespace {

// Runs a body with TZ set, restoring it afterwards.
class TimeZone {
public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (old_.empty()) ::unsetenv("TZ"); else ::setenv("TZ", old_.c_str(), 1);
        ::tzset();
    }

private:
    std::string old_;
};

TEST(RecorderTime, FromWireSplitsAsUtcWithZeroBasedMonthAndDay) {
    DateTimeFields f;
    ASSERT_TRUE(fromRecorderTime(0, f));
    EXPECT_EQ(f, (DateTimeFields{1970, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(fromRecorderTime(1'700'000'000u, f));  // 2023-11-14 22:13:20
    EXPECT_EQ(f, (DateTimeFields{2023, 10, 13, 22, 13, 20}));
}

TEST(RecorderTime, TheCountIsUnsignedSo2038AndLaterAreTimes) {
    DateTimeFields f;
    ASSERT_TRUE(fromRecorderTime(0x80000000u, f));
    EXPECT_EQ(f, (DateTimeFields{2038, 0, 18, 3, 14, 8}));
    EXPECT_EQ(recorderTimeText(0xFFFFFFFFu), "2106-02-07 06:28:15");
    EXPECT_EQ(recorderTimeText(1'709'164'800u), "2024-02-29 00:00:00");
    EXPECT_EQ(recorderTimeOf(2106, 2, 7, 6, 28, 15), 0xFFFFFFFFu);
    EXPECT_EQ(recorderTimeOf(2106, 2, 7, 6, 28, 16), std::nullopt);
    EXPECT_EQ(recorderTimeOf(2024, 2, 29), 1'709'164'800u);
    EXPECT_EQ(recorderTimeOf(2023, 2, 29), std::nullopt);
    EXPECT_EQ(recorderTimeOf(2024, 13, 1), std::nullopt);
    EXPECT_EQ(recorderTimeOf(2024, 1, 1, 24, 0, 0), std::nullopt);
    EXPECT_EQ(daysInMonth(1900, 2), 28);
    EXPECT_EQ(daysInMonth(2000, 2), 29);
}

TEST(RecorderTime, ToWireCountsTheWallClockInUtc) {
    TimeZone utc("UTC");
    const auto offset = UtcOffset::measure(1'700'000'000);
    EXPECT_EQ(offset.totalSeconds(), 0);
    const DateTimeFields f{2023, 10, 13, 22, 13, 20};
    EXPECT_EQ(toRecorderTime(f, offset), 1'700'000'000u);
}

TEST(RecorderTime, ToWireAddsTheStartUpOffsetInAFixedZone) {
    TimeZone plus9("JST-9");
    const auto offset = UtcOffset::measure(1'700'000'000);
    EXPECT_EQ(offset.hours, 9);
    EXPECT_EQ(offset.minutes, 0);
    // The recorder's wall clock reads the same fields back.
    const DateTimeFields f{2023, 10, 13, 22, 13, 20};
    DateTimeFields back;
    ASSERT_TRUE(fromRecorderTime(toRecorderTime(f, offset), back));
    EXPECT_EQ(back, f);
}

TEST(RecorderTime, OffsetSplitsWithTruncatingDivision) {
    const auto o = UtcOffset::fromSeconds(-(3 * 3600 + 30 * 60));  // UTC-3:30
    EXPECT_EQ(o.hours, -3);
    EXPECT_EQ(o.minutes, -30);
    EXPECT_EQ(o.totalSeconds(), -12600);
}

}  // namespace
}  // namespace kalix::protocol
