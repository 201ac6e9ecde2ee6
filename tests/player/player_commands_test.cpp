#include "player/player_commands.h"

#include <gtest/gtest.h>

#include <vector>

#include "player/play_segment.h"

namespace kalix::player {
namespace {

TEST(PlayerCommands, ForwardPressesCycleOneToSixAndBack) {
    Command state = Command::Pause;
    int speed = 0;
    std::vector<int> seen;
    for (int i = 0; i < 7; ++i) {
        const auto effect = applyCommand(Command::Forward, state, speed);
        EXPECT_TRUE(effect.restart_timing);
        seen.push_back(displayedSpeed(state, speed));
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 1}));
}

TEST(PlayerCommands, BackwardPressesCycleAndShowOneLess) {
    Command state = Command::Forward;
    int speed = 1;
    std::vector<int> values, shown;
    for (int i = 0; i < 6; ++i) {
        applyCommand(Command::Backward, state, speed);
        values.push_back(speed);
        shown.push_back(displayedSpeed(state, speed));
    }
    EXPECT_EQ(values, (std::vector<int>{-2, -3, -4, -5, -6, -2}));
    EXPECT_EQ(shown, (std::vector<int>{-1, -2, -3, -4, -5, -1}));
}

TEST(PlayerCommands, PauseRemembersTheDirection) {
    Command state = Command::Forward;
    int speed = 3;
    EXPECT_TRUE(applyCommand(Command::Pause, state, speed).restart_timing);
    EXPECT_EQ(speed, 7);  // a later seek shows the next frame forwards
    EXPECT_EQ(displayedSpeed(state, speed), 0);
    state = Command::Forward;
    speed = 1;
    EXPECT_FALSE(applyCommand(Command::Pause, state, speed).restart_timing);
    EXPECT_EQ(speed, 7);
    state = Command::SlowBackward;
    speed = 10;
    applyCommand(Command::Pause, state, speed);
    EXPECT_EQ(speed, 0);
    // Forward after a pause from forward starts again at 1.
    applyCommand(Command::Forward, state, speed);
    EXPECT_EQ(speed, 1);
}

TEST(PlayerCommands, StepsKeepTheSpeedAndStopTheSound) {
    Command state = Command::Pause;
    int speed = 7;
    const auto effect = applyCommand(Command::StepBackward, state, speed);
    EXPECT_TRUE(effect.stop_audio);
    EXPECT_EQ(speed, 7);
    EXPECT_EQ(state, Command::StepBackward);
}

TEST(PlayerCommands, PacingFactorsAndSelection) {
    const int shifts[] = {0, 1, 2, 4, 6, 8};
    for (int s = 1; s <= 6; ++s) {
        EXPECT_EQ(pacingShift(Command::Forward, s), shifts[s - 1]) << s;
        EXPECT_EQ(pacingShift(Command::Backward, -s), shifts[s - 1]) << s;
    }
    EXPECT_EQ(pacingShift(Command::SlowForward, 11), -1);

    EXPECT_TRUE(selectionFor(Command::Forward, 1).all_units);
    EXPECT_TRUE(selectionFor(Command::SlowForward, 11).all_units);
    EXPECT_FALSE(selectionFor(Command::SlowBackward, 10).all_units);
    EXPECT_EQ(selectionFor(Command::Forward, 2).key_stride, 1u);
    EXPECT_EQ(selectionFor(Command::Forward, 6).key_stride, 5u);
    EXPECT_EQ(selectionFor(Command::Backward, -2).key_stride, 1u);
    EXPECT_EQ(selectionFor(Command::Backward, -3).key_stride, 2u);
    EXPECT_EQ(selectionFor(Command::Backward, -6).key_stride, 5u);
}

TEST(StartSegment, TheLastRecordedSecondStillPlays) {
    Catalogue c(3);
    c[0].start = 100, c[0].end = 110;
    c[1].start = 200, c[1].end = 210;
    c[2].start = 300, c[2].end = 300;
    EXPECT_EQ(startSegment(c, 50), 0u);
    EXPECT_EQ(startSegment(c, 110), 0u);  // the block's end second itself
    EXPECT_EQ(startSegment(c, 111), 1u);  // a gap: the next block
    EXPECT_EQ(startSegment(c, 300), 2u);  // a block of one second
    EXPECT_FALSE(startSegment(c, 301));
}

}  // namespace
}  // namespace kalix::player
