#include "media/video/video_wall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace kalix::media {
namespace {

constexpr WallRect kMainWallRect{54, 67, 874, 661};

class CountingObserver : public WallObserver {
public:
    void channelMarked(int) override { ++marks; }
    void wallChanged() override { ++changes; }
    std::atomic<int> marks{0};
    std::atomic<int> changes{0};
};

// A wall as the main window sets it up, 16 channels in live view.
class WallTest : public ::testing::Test {
protected:
    void SetUp() override {
        wall.view().place(kMainWallRect, 1, kWallBackgroundColour);
        wall.startView(16);
        wall.setDisplayMode(DisplayMode::Live);
    }

    VideoWall wall;
};

TEST_F(WallTest, StartsLikeTheMainWindowSetsItUp) {
    VideoWall fresh;
    EXPECT_EQ(fresh.view().layout(), 14);
    EXPECT_EQ(fresh.displayMode(), DisplayMode::None);
    EXPECT_EQ(fresh.pictures().pictureSize(3), (PictureSize{360, 240}));
    EXPECT_EQ(fresh.painter().captionFontHeight(), -17);  // Arial 13
}

TEST_F(WallTest, InitialisingZeroesThePicturesAndSetsThePageTable) {
    wall.pictures().lockChannel(4)->picture()[100] = 9;
    CountingObserver observer;
    auto subscription = wall.subscribe(observer);
    wall.initialise(8);
    EXPECT_EQ(wall.pictures().lockChannel(4)->picture()[100], 0);
    EXPECT_EQ(wall.view().pageTable(), pageTableFor(8, PageTableUse::Initialise));
    EXPECT_EQ(observer.changes.load(), 1);
}

TEST_F(WallTest, ClearingPicturesForgetsTheShownOnes) {
    wall.setActiveChannels(0x0003, MapReset::Keep);
    wall.view().markChannel(0);
    wall.pictures().lockChannel(0)->picture()[0] = 5;
    ASSERT_EQ(wall.paneViews({SessionView::Live})[0].content, PaneContent::Picture);
    CountingObserver observer;
    auto subscription = wall.subscribe(observer);
    wall.clearPictures();
    EXPECT_EQ(wall.view().pictureChannels(), 0);
    EXPECT_EQ(wall.pictures().lockChannel(0)->picture()[0], 0);
    EXPECT_EQ(wall.paneViews({SessionView::Live})[0].content, PaneContent::Logo);
    EXPECT_EQ(observer.changes.load(), 1);
}

// What the session calls on the wall as live view starts and stops.
TEST_F(WallTest, SessionCallsReachTheViewAndThePainter) {
    wall.startView(4);
    EXPECT_EQ(wall.view().layout(), 1);
    wall.view().setChannelHidden(2, true);
    EXPECT_EQ(wall.withoutHiddenChannels(0x0004000F), 0x0004000BU);
    EXPECT_TRUE(wall.setActiveChannels(0x000B, MapReset::IdentityWhenEmpty));
    EXPECT_EQ(wall.view().activeChannels(), 0x000B);
    wall.setDisplayMode(DisplayMode::RemotePlayback);
    EXPECT_EQ(wall.painter().displayMode(), DisplayMode::RemotePlayback);
    wall.resetView();
    EXPECT_EQ(wall.view().layout(), 14);
    EXPECT_EQ(wall.view().activeChannels(), 0);
}

TEST_F(WallTest, LayoutSixSecondPageShowsChannelsSevenAndEightTopLeft) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.view().selectLayout(6);
    wall.view().selectLayout(6);
    ASSERT_EQ(wall.view().page(), 1);
    const auto views = wall.paneViews({});
    ASSERT_EQ(views.size(), 9U);
    EXPECT_EQ(views[0].channel, 7);
    EXPECT_EQ(views[1].channel, 8);
    EXPECT_EQ(views[8].channel, 15);
}

TEST_F(WallTest, MarkingReturnsAChannelToThePaintedCopy) {
    wall.setActiveChannels(0x0003, MapReset::Keep);
    wall.view().markChannel(0);
    wall.view().markChannel(1);
    wall.view().selectLayout(14);  // a split choice clears the copy
    EXPECT_EQ(wall.paneViews({})[0].content, PaneContent::Logo);
    wall.view().markChannel(0);
    const auto views = wall.paneViews({});
    EXPECT_EQ(views[0].content, PaneContent::Picture);
    EXPECT_EQ(views[1].content, PaneContent::Logo);
}

// An observer that paints from the decoder's callback, as a front end that
// draws at once would; decoders write while the operator rearranges.
class PaintingObserver : public WallObserver {
public:
    explicit PaintingObserver(VideoWall& wall) : wall_(wall) {}
    void channelMarked(int channel) override {
        if (auto ch = wall_.pictures().lockChannel(channel)) sum_ += ch->picture()[0];
        paints_ += static_cast<int>(wall_.paneViews({SessionView::Live}).size());
    }
    void wallChanged() override { paints_ += wall_.view().visibleChannels() != 0 ? 1 : 0; }
    int paints() const { return paints_; }

private:
    VideoWall& wall_;
    std::atomic<int> paints_{0};
    std::atomic<unsigned> sum_{0};
};

TEST_F(WallTest, DecodersAndTheOperatorRunTogether) {
    PaintingObserver observer(wall);
    auto subscription = wall.subscribe(observer);
    std::vector<std::jthread> decoders;
    for (int c = 0; c < 4; ++c) {
        decoders.emplace_back([this, c] {
            for (int i = 0; i < 300; ++i) {
                if (auto ch = wall.pictures().lockChannel(c)) {
                    ch->setSize({352, 288});
                    ch->picture()[0] = static_cast<std::uint8_t>(i);
                    (void)wall.view().paneSizeOfChannel(c);
                }
                wall.pictures().storeCaptions(c, {{"CAM", 1}, {"LIVE  25", 2}, 160});
                wall.pictures().countFrame(c);
                wall.view().markChannel(c);
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        wall.view().selectLayout(kSplitLayouts[static_cast<std::size_t>(i) % kSplitLayouts.size()]);
        wall.view().exchangePanes(i % 16, (i * 7) % 16);
        if (i % 50 == 0) wall.pictures().tickFrameRates();
    }
    decoders.clear();
    EXPECT_EQ(wall.view().activeChannels(), 0x000F);
    EXPECT_GT(observer.paints(), 0);
}

}  // namespace
}  // namespace kalix::media
