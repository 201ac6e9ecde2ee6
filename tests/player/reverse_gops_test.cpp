#include "player/reverse_gops.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalix::player {
namespace {

// A picture of `channel` at .vid offset `offset`; key frames are kind 0.
Unit picture(int channel, std::uint32_t offset, bool key) {
    Unit u;
    u.offset = offset;
    u.video.enc.channel = static_cast<std::uint8_t>(channel);
    u.video.enc.kind = key ? media::FrameKind::Key : media::FrameKind::Predicted;
    return u;
}

std::vector<std::uint32_t> offsets(const std::vector<HeldPicture>& pictures) {
    std::vector<std::uint32_t> out;
    for (const auto& p : pictures) out.push_back(p.unit.offset);
    return out;
}

std::vector<std::uint32_t> drain(ReverseGops& gops) {
    std::vector<std::uint32_t> out;
    while (auto p = gops.nextShow()) out.push_back(p->unit.offset);
    return out;
}

TEST(ReverseGops, AGroupIsDecodedForwardsAtItsKeyFrameAndShownBackwards) {
    ReverseGops gops;
    // Stream K(100) P(200) P(300) K(400) P(500), met from the end.
    EXPECT_TRUE(gops.meet(picture(0, 500, false)).empty());
    EXPECT_EQ(offsets(gops.meet(picture(0, 400, true))), (std::vector<std::uint32_t>{400, 500}));
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{500, 400}));
    EXPECT_TRUE(gops.meet(picture(0, 300, false)).empty());
    EXPECT_TRUE(gops.meet(picture(0, 200, false)).empty());
    EXPECT_FALSE(gops.nextShow());  // nothing held while the group waits
    EXPECT_EQ(offsets(gops.meet(picture(0, 100, true))), (std::vector<std::uint32_t>{100, 200, 300}));
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{300, 200, 100}));
    EXPECT_TRUE(gops.idle());
}

TEST(ReverseGops, ChannelsStayInStepWhileOneWaitsForItsKeyFrame) {
    ReverseGops gops;
    // Stream: 0K(10) 1K(20) 0P(30) 1P(40) 0K(50) 1P(60) 0P(70), met backwards.
    gops.meet(picture(0, 70, false));
    gops.meet(picture(1, 60, false));
    gops.meet(picture(0, 50, true));  // channel 0's group 50, 70 is held
    // Channel 1 still waits with 60, later than 50: only 70 may go.
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{70}));
    gops.meet(picture(1, 40, false));
    gops.meet(picture(0, 30, false));
    EXPECT_EQ(offsets(gops.meet(picture(1, 20, true))), (std::vector<std::uint32_t>{20, 40, 60}));
    // Channel 0 waits with 30: everything later than it is shown, in stream order backwards.
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{60, 50, 40}));
    gops.meet(picture(0, 10, true));
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{30, 20, 10}));
}

TEST(ReverseGops, AnOverlongGroupLosesItsLatestPicturesAndAFlushReleasesTheRest) {
    ReverseGops gops(4);
    for (std::uint32_t o = 900; o >= 400; o -= 100) gops.meet(picture(0, o, false));
    EXPECT_EQ(gops.waiting(), 3u);
    EXPECT_EQ(offsets(gops.meet(picture(0, 300, true))), (std::vector<std::uint32_t>{300, 400, 500, 600}));
    // Another channel's group without a key frame holds channel 0 back until flushed.
    gops.meet(picture(1, 250, false));
    gops.meet(picture(0, 200, false));
    gops.meet(picture(0, 100, true));
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{600, 500, 400, 300}));
    gops.flush();
    EXPECT_EQ(drain(gops), (std::vector<std::uint32_t>{200, 100}));
    EXPECT_TRUE(gops.idle());
}

}  // namespace
}  // namespace kalix::player
