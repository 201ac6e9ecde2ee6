#include "player/local_player.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "pair_fixture.h"
#include "recording_output.h"

namespace kalix::player {
namespace {

using test::audio;
using test::RecordingOutput;
using test::video;
using test::writePair;
using media::FrameKind;

class LocalPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("kalix_player_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    PlayerStart fastStart(Command first, int speed = 1, std::size_t segment = 0) {
        PlayerStart s;
        s.first = first;
        s.speed = speed;
        s.segment = segment;
        s.pacing = Pacing::None;
        s.start_delay = std::chrono::milliseconds(0);
        return s;
    }

    // Two blocks of one channel: key, P, P per second, seconds 100-102 and 200-201.
    test::FixturePair twoBlocks() {
        std::vector<test::FixtureUnit> units;
        for (std::uint32_t t = 100; t <= 102; ++t)
            for (int k : {0, 1, 1}) units.push_back(video(0, t, static_cast<std::uint8_t>(k), 1));
        for (std::uint32_t t = 200; t <= 201; ++t)
            for (int k : {0, 1, 1}) units.push_back(video(0, t, static_cast<std::uint8_t>(k), 2));
        return writePair(dir_, "1000", units);
    }

    std::filesystem::path dir_;
    RecordingOutput out_;
};

TEST_F(LocalPlayerTest, ForwardHandsOnEveryUnitInOrderAcrossBlocksAndPauses) {
    auto pair = twoBlocks();
    ASSERT_EQ(pair.segments.size(), 2u);
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::End);
    std::vector<std::uint32_t> expected;
    for (const auto& u : pair.units) expected.push_back(u.offset);
    EXPECT_EQ(out_.frameOffsets(), expected);
    EXPECT_EQ(out_.frames.front().bytes, 40u);
    // A new block is a new stretch: the slider starts again.
    ASSERT_EQ(out_.stretches.size(), 2u);
    EXPECT_EQ(out_.stretches[1], std::make_pair(200u, 201u));
    EXPECT_TRUE(out_.damages.empty());
}

TEST_F(LocalPlayerTest, SplitPairsPlayAsOneStretch) {
    auto a = writePair(dir_, "a", {video(0, 100), video(0, 101)});
    auto b = writePair(dir_, "b", {video(0, 102), video(0, 103)});
    Catalogue c = a.segments;
    c.back().join_next = true;
    c.push_back(b.segments.front());
    c.back().join_previous = true;
    LocalPlayer player(c, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.frames.size(), 4u);
    ASSERT_EQ(out_.stretches.size(), 1u);
    EXPECT_EQ(out_.stretches[0], std::make_pair(100u, 103u));
}

TEST_F(LocalPlayerTest, FastForwardShowsEverySecondKeyFramePerChannel) {
    std::vector<test::FixtureUnit> units;
    for (std::uint32_t t = 100; t < 106; ++t) {
        units.push_back(video(0, t, 0));
        units.push_back(video(1, t, 0));
        units.push_back(video(0, t, 1));
        units.push_back(audio(0x3));
    }
    auto pair = writePair(dir_, "f", units);
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Forward, 3));
    ASSERT_TRUE(out_.waitForPauses(1));
    std::vector<std::uint32_t> times0, times1;
    for (const auto& f : out_.frames) {
        EXPECT_EQ(f.kind, FrameKind::Key);
        (f.channel == 0 ? times0 : times1).push_back(f.time);
    }
    EXPECT_EQ(times0, (std::vector<std::uint32_t>{100, 102, 104}));
    EXPECT_EQ(times1, (std::vector<std::uint32_t>{100, 102, 104}));
    EXPECT_TRUE(out_.audio_units.empty());
}

TEST_F(LocalPlayerTest, ReverseFromTheStartFrameIncludesEveryBlocksFirstFrame) {
    auto pair = twoBlocks();
    Catalogue c = pair.segments;
    // Start at the second key frame of the second block (second 201).
    c[1].start_offset = pair.units[12].offset;
    c[1].play_from = 201;
    LocalPlayer player(c, out_);
    player.start(fastStart(Command::Backward, -2, 1));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::End);
    std::vector<std::uint32_t> times;
    for (const auto& f : out_.frames) {
        EXPECT_EQ(f.direction, media::Direction::Backward);
        times.push_back(f.time);
    }
    EXPECT_EQ(times, (std::vector<std::uint32_t>{201, 200, 102, 101, 100}));
}

TEST_F(LocalPlayerTest, EveryPictureBackwardsHoldsEachGroupThenShowsItLatestFirst) {
    auto pair = twoBlocks();
    Catalogue c = pair.segments;
    // From the last picture of second 201 back to the start of the first block.
    c[1].start_offset = pair.units[14].offset;
    c[1].play_from = 201;
    LocalPlayer player(c, out_);
    PlayerStart start = fastStart(Command::Backward, -2, 1);
    start.every_picture_backwards = true;
    player.start(start);
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::End);

    std::map<std::uint64_t, std::uint32_t> held;  // id → offset
    std::vector<std::uint32_t> shown;
    for (const auto& f : out_.frames) {
        ASSERT_NE(f.hold, media::HoldRole::None);
        if (f.hold == media::HoldRole::Hold) {
            EXPECT_GT(f.bytes, 0u);
            held[f.hold_id] = f.offset;
            continue;
        }
        // A picture is shown only after it was held, and without coded bytes.
        ASSERT_TRUE(held.contains(f.hold_id));
        EXPECT_EQ(held[f.hold_id], f.offset);
        EXPECT_EQ(f.bytes, 0u);
        shown.push_back(f.offset);
    }
    std::vector<std::uint32_t> expected;
    for (int i = 14; i >= 0; --i) expected.push_back(pair.units[static_cast<std::size_t>(i)].offset);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(player.framesHandedOn(), 15u);
}

TEST_F(LocalPlayerTest, EveryPictureBackwardsIsOffForManyChannelsAndFastSpeeds) {
    std::vector<test::FixtureUnit> units;
    for (std::uint32_t t = 100; t < 102; ++t)
        for (int k : {0, 1})
            for (std::uint8_t ch = 0; ch < 5; ++ch) units.push_back(video(ch, t, static_cast<std::uint8_t>(k)));
    auto pair = writePair(dir_, "m", units);
    Catalogue c = pair.segments;
    c[0].start_offset = pair.units.back().offset;
    LocalPlayer player(c, out_);
    PlayerStart start = fastStart(Command::Backward, -2);
    start.every_picture_backwards = true;
    player.start(start);
    ASSERT_TRUE(out_.waitForPauses(1));
    // Five channels: key frames only, handed on as before.
    ASSERT_EQ(out_.frames.size(), 10u);
    for (const auto& f : out_.frames) {
        EXPECT_EQ(f.hold, media::HoldRole::None);
        EXPECT_EQ(f.kind, FrameKind::Key);
    }
}

TEST(Watermark, SumsEveryStepOfTheLowBitsInSixteenBits) {
    // Steps from 0: byte 3 → +8, byte 1 → +4, byte 6 → +14 (past the end).
    std::vector<std::uint8_t> p(20, 0xFF);
    p[0] = 3;
    p[8] = 1;
    p[12] = 6;
    EXPECT_EQ(watermarkSum(p), 3 + 1 + 6);
    std::vector<std::uint8_t> big(4000, 0xF8);  // steps of 2, 2000 bytes of 248 wrap in 16 bits
    EXPECT_EQ(watermarkSum(big), static_cast<std::uint16_t>(2000 * 248));
    EXPECT_EQ(watermarkSum({}), 0);
}

TEST_F(LocalPlayerTest, AWatermarkMismatchAtSpeedOneShowsThePictureAndPauses) {
    std::vector<test::FixtureUnit> units;
    for (std::uint32_t t = 100; t < 104; ++t) {
        auto u = video(0, t);
        u.watermark_kind = t == 100 ? 0 : 2;
        if (t == 102) u.watermark = 12345;  // not this payload's
        units.push_back(u);
    }
    auto pair = writePair(dir_, "w", units);
    LocalPlayer player(pair.segments, out_);
    PlayerStart start = fastStart(Command::Forward);
    start.watermark_check = true;
    player.start(start);
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::Watermark);
    ASSERT_EQ(out_.frames.size(), 3u);  // the mismatched picture is shown
    // Unchecked at the stretch's start, then none, checked, mismatch.
    EXPECT_EQ(out_.watermarks, (std::vector<int>{-1, 0, 1, 2}));
}

TEST_F(LocalPlayerTest, StepsShowOneFramePerChannelThenPause) {
    std::vector<test::FixtureUnit> units;
    for (std::uint32_t t = 100; t < 103; ++t)
        for (std::uint8_t ch = 0; ch < 4; ++ch) units.push_back(video(ch, t, 0));
    auto pair = writePair(dir_, "s", units);
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Pause));
    player.command(Command::StepForward);
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.frames.size(), 4u);
    player.command(Command::StepForward);
    ASSERT_TRUE(out_.waitForPauses(2));
    ASSERT_EQ(out_.frames.size(), 8u);
    EXPECT_EQ(out_.frames[4].offset, pair.units[4].offset);  // nothing skipped between steps
    EXPECT_EQ(out_.pauses[1], PauseCause::StepDone);

    player.command(Command::StepBackward);
    ASSERT_TRUE(out_.waitForPauses(3));
    ASSERT_EQ(out_.frames.size(), 12u);
    // Back along the links from the frame the step stopped before.
    EXPECT_EQ(out_.frames[8].offset, pair.units[7].offset);
    EXPECT_EQ(out_.frames[11].offset, pair.units[4].offset);
    EXPECT_EQ(out_.frames[8].direction, media::Direction::Backward);
}

TEST_F(LocalPlayerTest, AudioGoesToTheSelectedChannelOnly) {
    // Unit 1 carries channels 0 and 2; unit 2 only channel 0.
    auto pair = writePair(dir_, "a", {video(0, 100), video(2, 100), audio(0x5), audio(0x1), video(0, 101)});
    out_.audio_wanted = true;
    out_.selected = 2;
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.audio_units.size(), 2u);
    ASSERT_EQ(out_.blocks.size(), 1u);
    // Channel 2's block is the second of unit 1 (unit index 2 in the file).
    EXPECT_EQ(out_.blocks[0][0], static_cast<std::uint8_t>(2 + 48));
}

TEST_F(LocalPlayerTest, AUnitPastTheTrailerIsReportedAfterTheFramesBeforeIt) {
    auto pair = writePair(dir_, "d", {video(0, 100), video(0, 101), video(0, 102)});
    // Claim a payload for the last frame that runs past the trailer.
    {
        std::fstream f(pair.vid_path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(pair.units[2].offset + 28);
        const char len[4] = {0, 0x10, 0, 0};
        f.write(len, 4);
    }
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::Damage);
    EXPECT_EQ(out_.frames.size(), 2u);
    ASSERT_EQ(out_.damages.size(), 1u);
    EXPECT_EQ(out_.damages[0].first, pair.units[2].offset);
}

TEST_F(LocalPlayerTest, ALinkThatDoesNotPointBackEndsReversePlayWithDamage) {
    auto pair = writePair(dir_, "l", {video(0, 100), video(0, 101), video(0, 102)});
    {
        std::fstream f(pair.vid_path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(pair.units[1].offset + 32);  // frame 2 links to itself
        const std::uint32_t self = pair.units[1].offset;
        const char link[4] = {static_cast<char>(self >> 24), static_cast<char>(self >> 16),
                              static_cast<char>(self >> 8), static_cast<char>(self)};
        f.write(link, 4);
    }
    Catalogue c = pair.segments;
    c[0].start_offset = pair.units[2].offset;
    LocalPlayer player(c, out_);
    player.start(fastStart(Command::Backward, -2));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::Damage);
    EXPECT_EQ(out_.frames.size(), 2u);
    ASSERT_EQ(out_.damages.size(), 1u);
    EXPECT_EQ(out_.damages[0].first, pair.units[1].offset);
}

TEST_F(LocalPlayerTest, ForeignPictureSizesAndDecodeOnlyFramesAreNotShown) {
    auto odd = video(0, 101);
    odd.width = 640, odd.height = 480;
    auto hidden = video(0, 102);
    hidden.byte52 = 1;
    auto pair = writePair(dir_, "o", {video(0, 100), odd, hidden, video(0, 103)});
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.frameOffsets(), (std::vector<std::uint32_t>{pair.units[0].offset, pair.units[3].offset}));
}

TEST_F(LocalPlayerTest, SliderSeekWhilePausedShowsTheFrameAtTheTarget) {
    std::vector<test::FixtureUnit> units;
    for (std::uint32_t t = 100; t < 120; ++t) {
        units.push_back(video(0, t, 0));
        units.push_back(video(0, t, 1));
    }
    auto pair = writePair(dir_, "k", units);
    LocalPlayer player(pair.segments, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));  // played to the end, paused with speed 7
    const std::size_t before = out_.frames.size();
    player.seek(7);  // second 107
    ASSERT_TRUE(out_.waitForPauses(2));
    ASSERT_EQ(out_.frames.size(), before + 1);
    EXPECT_EQ(out_.frames.back().time, 107u);
    EXPECT_EQ(out_.frames.back().offset, pair.units[14].offset);
}

TEST_F(LocalPlayerTest, AGapIsShownAfterThreeSecondsAndTheClockRebased) {
    auto pair = writePair(dir_, "g", {video(0, 100), video(0, 101), video(0, 160)});
    LocalPlayer player(pair.segments, out_);
    PlayerStart s = fastStart(Command::Forward);
    s.pacing = Pacing::FrameTimes;
    const auto t0 = std::chrono::steady_clock::now();
    player.start(s);
    ASSERT_TRUE(out_.waitForPauses(1, std::chrono::seconds(20)));
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_EQ(out_.frames.size(), 3u);
    // One second for 100 → 101, then the 59 s gap cut to 3 s.
    EXPECT_GE(took, std::chrono::milliseconds(3900));
    EXPECT_LT(took, std::chrono::seconds(10));
}

TEST_F(LocalPlayerTest, AMissingPairEndsThePlayerWithoutAHang) {
    Catalogue c(1);
    c[0].media_path = (dir_ / "missing.vid").string();
    c[0].end = 10;
    LocalPlayer player(c, out_);
    player.start(fastStart(Command::Forward));
    ASSERT_TRUE(out_.waitForPauses(1));
    EXPECT_EQ(out_.pauses[0], PauseCause::Damage);
    player.stop();
    EXPECT_FALSE(player.running());
}

}  // namespace
}  // namespace kalix::player
