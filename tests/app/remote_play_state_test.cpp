#include "app/remote_play_state.h"

#include <gtest/gtest.h>

namespace kalix::app {
namespace {

RemotePlayInit timelineStart(std::size_t month_bytes, std::size_t day_bytes) {
    return RemotePlayInit{PlayOrigin::Timeline, 1000, 0x00FF, std::vector<std::uint8_t>(month_bytes, 1),
                          std::vector<std::uint8_t>(day_bytes, 2)};
}

TEST(RemotePlayState, KeepsWholeRecordsOfTheAttachedTables) {
    RemotePlayState state;
    state.begin(timelineStart(2 * kMonthRecordBytes + 5, 3 * kDayRecordBytes + 23));
    EXPECT_TRUE(state.active());
    EXPECT_TRUE(state.hasDayData());
    EXPECT_EQ(state.monthRecords(), 2u);
    EXPECT_EQ(state.dayRecords(), 3u);
    EXPECT_EQ(state.monthCopy().size(), 2 * kMonthRecordBytes);
    EXPECT_EQ(state.dayCopy().size(), 3 * kDayRecordBytes);
    EXPECT_EQ(state.position(), 1000u);
    EXPECT_EQ(state.channelMask(), 0x00FFu);
}

TEST(RemotePlayState, ADayTableWithoutAMonthTableIsNotAttached) {
    RemotePlayState state;
    state.begin(timelineStart(kMonthRecordBytes - 1, 4 * kDayRecordBytes));
    EXPECT_FALSE(state.hasDayData());
    EXPECT_EQ(state.dayRecords(), 0u);
}

TEST(RemotePlayState, AStartAtAnEventRemembersItsKindUntilCleared) {
    RemotePlayState state;
    state.begin(timelineStart(0, 0), std::uint8_t{7});
    EXPECT_EQ(state.origin(), PlayOrigin::EventList);
    EXPECT_EQ(state.eventKind(), std::uint8_t{7});
    state.begin(RemotePlayInit{PlayOrigin::TimeSearch, 5, 1, {}, {}});
    EXPECT_FALSE(state.eventKind());
    EXPECT_EQ(state.origin(), PlayOrigin::TimeSearch);
    state.setPosition(77);
    state.clear();
    EXPECT_FALSE(state.active());
    EXPECT_EQ(state.position(), 0u);
    EXPECT_EQ(state.channelMask(), 0u);
}

}  // namespace
}  // namespace kalix::app
