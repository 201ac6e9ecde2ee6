#include "app/audio_channel_choice.h"

#include <gtest/gtest.h>

namespace kalix::app {
namespace {

TEST(AudioChannelChoice, NextCyclesThroughAudibleChannelsOfTheMask) {
    AudioChannelChoice choice([](int ch) { return ch != 1; });  // channel 1 not on screen
    EXPECT_EQ(choice.next(0x0007), 0);   // from -1 to 0
    EXPECT_EQ(choice.next(0x0007), 2);   // 1 is not visible
    EXPECT_EQ(choice.next(0x0007), 0);   // wraps after n - 1
    EXPECT_EQ(choice.next(0), 0);        // an empty mask changes nothing
    EXPECT_EQ(choice.next(0x0002), -1);  // nothing audible
}

TEST(AudioChannelChoice, RecheckKeepsAnAudibleSelectionAndMovesOtherwise) {
    AudioChannelChoice choice([](int) { return true; });
    choice.select(2);
    EXPECT_EQ(choice.recheck(0x0005), 2);
    EXPECT_EQ(choice.recheck(0x0003), 0);  // 2 left the mask: 2 -> 0 (wraps at t - 1 = 1)
    choice.select(5);
    EXPECT_EQ(choice.recheck(0x0003), 5);   // same mask as last time: no re-check
    EXPECT_EQ(choice.check(0x0003, true), 0);  // forced
    choice.select(-1);
    EXPECT_EQ(choice.recheck(0x0008), 3);
}

TEST(AudioChannelChoice, NoAudibleChannelGivesNone) {
    AudioChannelChoice choice([](int) { return false; });
    choice.select(1);
    EXPECT_EQ(choice.recheck(0x0003), -1);
}

}  // namespace
}  // namespace kalix::app
