#include "media/video/video_wall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <ostream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kalix::media {

inline void PrintTo(const WallRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr WallRect kMainWallRect{54, 67, 874, 661};

std::uint16_t panes(int first, int last) {
    std::uint32_t mask = 0;
    for (int p = first; p <= last; ++p) mask |= 1U << p;
    return static_cast<std::uint16_t>(mask);
}

class RecordingObserver : public WallObserver {
public:
    void channelMarked(int channel) override {
        std::lock_guard lock(mutex);
        marked.push_back(channel);
    }
    void wallChanged() override { ++changes; }

    std::mutex mutex;
    std::vector<int> marked;
    std::atomic<int> changes{0};
};

// A wall as the main window sets it up, 16 channels in live view.
class WallTest : public ::testing::Test {
protected:
    void SetUp() override {
        wall.place(kMainWallRect, 1, kWallBackgroundColour);
        wall.startView(16);
        wall.setDisplayMode(DisplayMode::Live);
    }

    WallRect cellCentreOf(int pane) {
        const auto r = wall.paneRect(pane);
        EXPECT_TRUE(r.has_value());
        return r.value_or(WallRect{});
    }

    VideoWall wall;
};

TEST_F(WallTest, StartsLikeTheMainWindowSetsItUp) {
    VideoWall fresh;
    EXPECT_EQ(fresh.layout(), 14);
    EXPECT_EQ(fresh.displayMode(), DisplayMode::None);
    EXPECT_EQ(fresh.pictureSize(3), (PictureSize{360, 240}));
    EXPECT_EQ(fresh.audioIcon(0), AudioIcon::None);
    EXPECT_EQ(fresh.watermarkState(0), kWatermarkUnknown);
    EXPECT_EQ(fresh.captions(0)->line1.colour, kCaptionDefaultColour);
    EXPECT_EQ(fresh.captionFontHeight(), -17);  // Arial 13
    EXPECT_EQ(fresh.captionCharWidth(), 10);
    auto ch = fresh.lockChannel(15);
    ASSERT_TRUE(ch.has_value());
    EXPECT_EQ(ch->picture().size(), kPictureBufferBytes);
    EXPECT_TRUE(std::ranges::all_of(ch->picture(), [](std::uint8_t b) { return b == 0; }));
}

TEST_F(WallTest, ViewStartChoosesLayoutAndPagesByChannelCount) {
    wall.startView(4);
    EXPECT_EQ(wall.layout(), 1);
    EXPECT_EQ(wall.pageTable()[0], 4);
    wall.startView(8);
    EXPECT_EQ(wall.layout(), 5);
    wall.startView(9);
    EXPECT_EQ(wall.layout(), 14);
    EXPECT_EQ(wall.pageTable()[2], 3);
    wall.startView(4);
    wall.setActiveChannels(0xF, MapReset::Keep);
    wall.resetView();
    EXPECT_EQ(wall.layout(), 14);
    EXPECT_EQ(wall.activeChannels(), 0);
    EXPECT_EQ(wall.pageTable(), pageTableFor(16, PageTableUse::ViewStart));
}

TEST_F(WallTest, FourPaneButtonCyclesPages) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    ASSERT_NE(wall.layout(), 1);
    std::vector<std::uint16_t> seen;
    for (int press = 0; press < 5; ++press) {
        ASSERT_TRUE(wall.selectLayout(1));
        seen.push_back(wall.visiblePaneMask());
    }
    EXPECT_EQ(seen, (std::vector<std::uint16_t>{panes(0, 3), panes(4, 7), panes(8, 11),
                                                panes(12, 15), panes(0, 3)}));
}

TEST_F(WallTest, PagesWithoutDeliveredChannelsAreSkipped) {
    wall.setActiveChannels(panes(0, 3) | panes(12, 15), MapReset::Keep);
    wall.selectLayout(1);
    EXPECT_EQ(wall.page(), 0);
    wall.selectLayout(1);
    EXPECT_EQ(wall.page(), 3);
    wall.selectLayout(1);
    EXPECT_EQ(wall.page(), 0);
    // Skipping follows the channels, not the pane numbers.
    wall.exchangePanes(5, 12);
    wall.selectLayout(1);
    EXPECT_EQ(wall.page(), 1);
}

TEST_F(WallTest, WithNothingDeliveredEveryPageIsShown) {
    wall.selectLayout(1);
    wall.selectLayout(1);
    EXPECT_EQ(wall.page(), 1);
    wall.selectLayout(1);
    EXPECT_EQ(wall.page(), 2);
}

TEST_F(WallTest, FirstChoiceAfterConstructionKeepsThePage) {
    VideoWall fresh;
    fresh.selectLayout(14);  // same layout as at construction: page stays
    fresh.selectLayout(0);
    EXPECT_EQ(fresh.page(), 0);
    fresh.selectLayout(0);
    EXPECT_EQ(fresh.page(), 1);
}

TEST_F(WallTest, SingleChannelIsRefusedUnlessDelivered) {
    EXPECT_FALSE(wall.selectSingleChannel(5));
    EXPECT_FALSE(wall.selectSingleChannel(-1));
    EXPECT_FALSE(wall.selectSingleChannel(16));
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.exchangePanes(2, 5);
    ASSERT_TRUE(wall.selectSingleChannel(5));
    EXPECT_EQ(wall.layout(), 0);
    EXPECT_EQ(wall.page(), 2);  // the pane showing channel 5
    EXPECT_EQ(wall.visibleChannels(), 1U << 5);
    // The 1-pane button right after keeps that channel, then moves on.
    wall.selectLayout(0);
    EXPECT_EQ(wall.page(), 2);
    wall.selectLayout(0);
    EXPECT_EQ(wall.page(), 3);
}

TEST_F(WallTest, LayoutSixSecondPageShowsChannelsSevenAndEightTopLeft) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.selectLayout(6);
    wall.selectLayout(6);
    ASSERT_EQ(wall.page(), 1);
    EXPECT_EQ(wall.visiblePaneMask(), panes(7, 15));
    const auto cells = layoutCells(6, 820, 594, 1);
    EXPECT_EQ(wall.paneRect(7), cells[0]);
    EXPECT_EQ(wall.paneRect(8), cells[1]);
    EXPECT_EQ(wall.paneRect(9), cells[2]);
    const auto views = wall.paneViews({});
    ASSERT_EQ(views.size(), 9U);
    EXPECT_EQ(views[0].channel, 7);
    EXPECT_EQ(views[1].channel, 8);
    EXPECT_EQ(views[8].channel, 15);
    // Back on page 0 they return to their own cells.
    wall.selectLayout(6);
    EXPECT_EQ(wall.paneRect(7), cells[7]);
}

TEST_F(WallTest, DropOnAGapChangesNothingDropOnAPaneExchanges) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.selectLayout(14);
    const auto p0 = cellCentreOf(0);
    const auto p6 = cellCentreOf(6);
    const auto dragged = wall.beginDrag(p0.left + 10, p0.top + 10);
    ASSERT_EQ(dragged, 0);
    // The two-pixel gap between panes 0 and 1.
    EXPECT_FALSE(wall.dropPane(0, p0.right, p0.top + 10));
    EXPECT_EQ(wall.paneMap()[0], 0);
    EXPECT_TRUE(wall.dropPane(0, p6.left + 5, p6.top + 5));
    EXPECT_EQ(wall.paneMap()[0], 6);
    EXPECT_EQ(wall.paneMap()[6], 0);
    // Onto a pane whose channel is not delivered: nothing.
    wall.setActiveChannels(0x00FF, MapReset::Keep);
    const auto p12 = cellCentreOf(12);
    EXPECT_FALSE(wall.dropPane(0, p12.left + 5, p12.top + 5));
    EXPECT_FALSE(wall.beginDrag(p12.left + 5, p12.top + 5).has_value());
    EXPECT_FALSE(wall.dropPane(-3, p6.left + 5, p6.top + 5));
    // No dragging in the one-pane layout.
    wall.selectSingleChannel(1);
    EXPECT_FALSE(wall.beginDrag(400, 300).has_value());
}

TEST_F(WallTest, ExchangedPanesChangeTheVisibleChannels) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.selectLayout(1);  // panes 0-3
    EXPECT_EQ(wall.visibleChannels(), 0x000F);
    EXPECT_TRUE(wall.exchangePanes(1, 9));
    EXPECT_EQ(wall.visibleChannels(), 0x020D);
    EXPECT_TRUE(wall.isChannelVisible(9));
    EXPECT_FALSE(wall.isChannelVisible(1));
    EXPECT_FALSE(wall.exchangePanes(1, 16));
    wall.restoreIdentityMap();
    EXPECT_EQ(wall.visibleChannels(), 0x000F);
    // An empty mask with the reset flag brings the identity back too.
    wall.exchangePanes(0, 3);
    wall.setActiveChannels(0, MapReset::IdentityWhenEmpty);
    EXPECT_EQ(wall.paneMap()[0], 0);
}

TEST_F(WallTest, DoubleClickShowsOneChannelAndBack) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.selectLayout(1);
    wall.selectLayout(1);  // page 1: panes 4-7
    wall.exchangePanes(5, 11);
    EXPECT_EQ(wall.doubleClick(5), DoubleClickResult::SingleView);
    EXPECT_TRUE(wall.singleViewActive());
    EXPECT_EQ(wall.layout(), 0);
    EXPECT_EQ(wall.visibleChannels(), 1U << 11);
    EXPECT_EQ(wall.doubleClick(std::nullopt), DoubleClickResult::Restored);
    EXPECT_FALSE(wall.singleViewActive());
    EXPECT_EQ(wall.layout(), 1);
    EXPECT_EQ(wall.page(), 1);
    EXPECT_EQ(wall.visiblePaneMask(), panes(4, 7));
    // Nothing hit, a bad pane, or already one pane: nothing happens.
    EXPECT_EQ(wall.doubleClick(std::nullopt), DoubleClickResult::Nothing);
    EXPECT_EQ(wall.doubleClick(40), DoubleClickResult::Nothing);
    wall.selectSingleChannel(3);
    EXPECT_EQ(wall.doubleClick(3), DoubleClickResult::Nothing);
    // A pane whose channel is not delivered is refused.
    wall.selectLayout(14);
    wall.setActiveChannels(0x0001, MapReset::Keep);
    EXPECT_EQ(wall.doubleClick(2), DoubleClickResult::Nothing);
    EXPECT_FALSE(wall.singleViewActive());
}

TEST_F(WallTest, ActiveMaskKeepsOnlyDeliverableChannels) {
    wall.startView(4);
    // Video-loss bits in the high half and channels beyond the recorder's
    // count stay out.
    EXPECT_TRUE(wall.setActiveChannels(0x000F00FF, MapReset::Keep));
    EXPECT_EQ(wall.activeChannels(), 0x000F);
    EXPECT_EQ(wall.activeCopy(), 0x000F);
    EXPECT_FALSE(wall.setActiveChannels(0x000F, MapReset::Keep));
    EXPECT_FALSE(wall.selectSingleChannel(6));
}

TEST_F(WallTest, HiddenChannelsLeaveTheLiveMask) {
    EXPECT_TRUE(wall.setChannelHidden(2, true));
    EXPECT_FALSE(wall.setChannelHidden(2, true));
    EXPECT_FALSE(wall.setChannelHidden(99, true));
    EXPECT_EQ(wall.withoutHiddenChannels(0x0004000F), 0x0004000BU);
    EXPECT_TRUE(wall.setHiddenChannels(0));
    EXPECT_EQ(wall.hiddenChannels(), 0);
}

TEST_F(WallTest, MarkingReturnsAChannelToThePaintedCopy) {
    RecordingObserver observer;
    {
        auto subscription = wall.subscribe(observer);
        wall.setActiveChannels(0x0003, MapReset::Keep);
        wall.markChannel(0);
        wall.markChannel(1);
        wall.selectLayout(14);  // a split choice clears the copy
        EXPECT_EQ(wall.activeCopy(), 0);
        EXPECT_EQ(wall.activeChannels(), 0x0003);
        EXPECT_EQ(wall.paneViews({})[0].content, PaneContent::Logo);
        wall.markChannel(0);
        EXPECT_EQ(wall.activeCopy(), 0x0001);
        EXPECT_EQ(wall.pictureChannels(), 0x0003);
        const auto views = wall.paneViews({});
        EXPECT_EQ(views[0].content, PaneContent::Picture);
        EXPECT_EQ(views[1].content, PaneContent::Logo);
        wall.markChannel(16);  // ignored
        EXPECT_GT(observer.changes.load(), 0);
    }
    wall.markChannel(2);
    EXPECT_EQ(observer.marked, (std::vector<int>{0, 1, 0}));
}

TEST_F(WallTest, PaneContentFollowsTheSessionState) {
    wall.startView(4);  // layout 1: panes 0-3
    wall.setChannelHidden(1, true);
    wall.setChannelHidden(3, true);
    wall.markChannel(3);
    PaintContext live{SessionView::Live, 0x0001, 0x0001, true};
    auto views = wall.paneViews(live);
    ASSERT_EQ(views.size(), 4U);
    EXPECT_EQ(views[0].content, PaneContent::VideoLoss);
    ASSERT_EQ(views[0].texts.size(), 1U);
    EXPECT_EQ(views[0].texts[0].text, "CH1  Video Loss");
    EXPECT_EQ(views[0].texts[0].colour, kVideoLossTextColour);
    EXPECT_EQ(views[1].content, PaneContent::VideoLoss);  // hidden
    EXPECT_EQ(views[2].content, PaneContent::Logo);
    EXPECT_EQ(views[3].content, PaneContent::VideoLoss);  // delivered but hidden
    wall.setCaptionStyle(1);
    EXPECT_EQ(wall.paneViews(live)[0].texts[0].text, "CH1");
    live.video_loss_text = 0;
    EXPECT_TRUE(wall.paneViews(live)[0].texts.empty());
    // Without a session everything undelivered is the logo; a delivered
    // hidden channel shows its picture when no view runs.
    const auto idle = wall.paneViews({});
    EXPECT_EQ(idle[0].content, PaneContent::Logo);
    EXPECT_EQ(idle[1].content, PaneContent::Logo);
    EXPECT_EQ(idle[3].content, PaneContent::Picture);
    EXPECT_EQ(wall.paneViews({SessionView::RemotePlayback})[1].content, PaneContent::VideoLoss);
}

TEST_F(WallTest, PartialLastPageLeavesCellsForTheLogo) {
    wall.setActiveChannels(0xFFFF, MapReset::Keep);
    wall.selectLayout(2);
    wall.selectLayout(2);
    wall.selectLayout(2);
    ASSERT_EQ(wall.page(), 2);
    const auto views = wall.paneViews({});
    ASSERT_EQ(views.size(), 6U);
    EXPECT_EQ(views[0].pane, 12);
    EXPECT_EQ(views[3].pane, 15);
    EXPECT_EQ(views[4].pane, -1);
    EXPECT_EQ(views[5].pane, -1);
    EXPECT_EQ(views[5].content, PaneContent::Logo);
}

TEST_F(WallTest, CaptionOverlaysOfAPicturePane) {
    wall.startView(4);
    wall.setActiveChannels(0x1, MapReset::Keep);
    wall.storeCaptions(0, {{"CAM1 360x240", 0x00FF00}, {"LIVE  25", 0xFFFF00}, 160});
    wall.setAudioIcon(0, AudioIcon::Selected);
    wall.setAudioIconX(125);
    wall.markChannel(0);
    auto view = wall.paneViews({SessionView::Live})[0];
    const int h = view.cell.height();
    ASSERT_EQ(view.texts.size(), 2U);
    EXPECT_EQ(view.texts[0].text, "CAM1 360x240");
    EXPECT_EQ(view.texts[0].x, 7);
    EXPECT_EQ(view.texts[0].y, 3);
    EXPECT_EQ(view.texts[1].y, h - 17 - 5);
    ASSERT_TRUE(view.audio_icon.has_value());
    EXPECT_EQ(view.audio_icon->x, 125);
    EXPECT_EQ(view.audio_icon->y, h - 18);
    EXPECT_FALSE(view.watermark_icon.has_value());
    EXPECT_FALSE(wall.paneViews({SessionView::Live, 0, 0, false})[0].audio_icon.has_value());

    // Local playback adds the watermark state, and a mismatch its warning.
    wall.setDisplayMode(DisplayMode::LocalPlayback);
    wall.setWatermarkState(0, kWatermarkMismatch);
    view = wall.paneViews({SessionView::Other})[0];
    ASSERT_TRUE(view.watermark_icon.has_value());
    EXPECT_EQ(view.watermark_icon->x, 160);
    EXPECT_TRUE(view.watermark_warning);
    EXPECT_EQ(view.warning_font_height, view.cell.width() / 8);
    EXPECT_TRUE(view.speed_indicator);

    // Style 1: line 1 only; style 2: no captions.
    wall.setCaptionStyle(1);
    view = wall.paneViews({})[0];
    EXPECT_EQ(view.texts.size(), 1U);
    EXPECT_FALSE(view.status_row_y.has_value());
    wall.setCaptionStyle(2);
    EXPECT_TRUE(wall.paneViews({})[0].texts.empty());
}

TEST_F(WallTest, CaptionsAreClippedToTheirBuffers) {
    ChannelCaptions long_caption{{std::string(1000, 'x'), 1}, {"LIVE  00", 2}, 0};
    EXPECT_TRUE(wall.storeCaptions(4, long_caption));
    EXPECT_EQ(wall.captions(4)->line1.text.size(), kCaptionCapacity);
    EXPECT_FALSE(wall.storeCaptions(16, long_caption));
    EXPECT_FALSE(wall.captions(-1).has_value());
}

TEST_F(WallTest, FrameRateIsHalfTheTwoSecondCountRoundedUp) {
    for (int i = 0; i < 50; ++i) wall.countFrame(2);
    for (int i = 0; i < 7; ++i) wall.countFrame(3);
    wall.countFrame(-1);
    wall.tickFrameRates();
    EXPECT_EQ(wall.frameRate(2), 25);
    EXPECT_EQ(wall.frameRate(3), 4);
    EXPECT_EQ(wall.frameRate(4), 0);
    wall.tickFrameRates();
    EXPECT_EQ(wall.frameRate(2), 0);
}

TEST_F(WallTest, PictureSizeMustFitTheBuffer) {
    auto ch = wall.lockChannel(1);
    ASSERT_TRUE(ch.has_value());
    EXPECT_TRUE(ch->setSize({720, 576}));
    EXPECT_FALSE(ch->setSize({721, 576}));
    EXPECT_FALSE(ch->setSize({0, 240}));
    EXPECT_FALSE(ch->setSize({-352, -240}));
    EXPECT_FALSE(ch->setSize({1 << 20, 1 << 20}));
    EXPECT_EQ(ch->size(), (PictureSize{720, 576}));
    ch->picture()[kPictureBufferBytes - 1] = 7;
    ch.reset();
    EXPECT_FALSE(wall.lockChannel(16).has_value());
    wall.clearPictures();
    EXPECT_EQ(wall.lockChannel(1)->picture()[kPictureBufferBytes - 1], 0);
}

TEST_F(WallTest, PaneSizeOfAChannelFollowsTheMap) {
    wall.selectLayout(5);  // pane 0 is the big 3 x 3 block
    EXPECT_EQ(wall.paneSizeOfChannel(0), (PictureSize{612, 441}));
    wall.exchangePanes(0, 1);
    EXPECT_EQ(wall.paneSizeOfChannel(0), (PictureSize{202, 145}));
    EXPECT_FALSE(wall.paneSizeOfChannel(16).has_value());
}

TEST_F(WallTest, SavedChannelsAreVisibleAndDelivered) {
    wall.setActiveChannels(0x00F3, MapReset::Keep);
    wall.selectLayout(1);
    EXPECT_EQ(wall.channelsToSave(), 0x0003);
}

TEST_F(WallTest, FullScreenCoversTheMonitorAndComesBack) {
    wall.place(kMainWallRect, 3, 0x123456);
    const WallRect monitor{1920, 0, 3840, 1080};
    ASSERT_TRUE(wall.enterFullScreen(monitor));
    EXPECT_FALSE(wall.enterFullScreen({0, 0, 640, 480}));
    EXPECT_EQ(wall.placement(), monitor);
    EXPECT_EQ(wall.border(), 3);
    // Cells are relative to the wall's own client area.
    EXPECT_EQ(wall.paneRect(15), (WallRect{1443, 813, 1914, 1074}));
    ASSERT_TRUE(wall.leaveFullScreen());
    EXPECT_FALSE(wall.leaveFullScreen());
    EXPECT_EQ(wall.placement(), kMainWallRect);
    EXPECT_EQ(wall.border(), 1);
    EXPECT_EQ(wall.background(), kWallBackgroundColour);
    EXPECT_EQ(wall.paneRect(15), (WallRect{616, 445, 818, 592}));
    EXPECT_EQ(layoutForBarCommand(404), 5);
    EXPECT_EQ(layoutForBarCommand(408), 14);
    EXPECT_FALSE(layoutForBarCommand(409).has_value());
    EXPECT_FALSE(layoutForBarCommand(399).has_value());
}

TEST_F(WallTest, YuvPathOnlyWhenAvailable) {
    EXPECT_FALSE(wall.setDrawPath(DrawPath::Yuv));
    EXPECT_EQ(wall.drawPath(), DrawPath::Rgb);
    wall.setYuvAvailable(true);
    EXPECT_TRUE(wall.setDrawPath(DrawPath::Yuv));
    EXPECT_EQ(wall.drawPath(), DrawPath::Yuv);
    wall.setYuvAvailable(false);
    EXPECT_EQ(wall.drawPath(), DrawPath::Rgb);
}

// An observer that paints from the decoder's callback, as a front end that
// draws at once would; decoders write while the operator rearranges.
class PaintingObserver : public WallObserver {
public:
    explicit PaintingObserver(VideoWall& wall) : wall_(wall) {}
    void channelMarked(int channel) override {
        if (auto ch = wall_.lockChannel(channel)) sum_ += ch->picture()[0];
        paints_ += static_cast<int>(wall_.paneViews({SessionView::Live}).size());
    }
    void wallChanged() override { paints_ += wall_.visibleChannels() != 0 ? 1 : 0; }
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
                if (auto ch = wall.lockChannel(c)) {
                    ch->setSize({352, 288});
                    ch->picture()[0] = static_cast<std::uint8_t>(i);
                    (void)wall.paneSizeOfChannel(c);
                }
                wall.storeCaptions(c, {{"CAM", 1}, {"LIVE  25", 2}, 160});
                wall.countFrame(c);
                wall.markChannel(c);
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        wall.selectLayout(kSplitLayouts[static_cast<std::size_t>(i) % kSplitLayouts.size()]);
        wall.exchangePanes(i % 16, (i * 7) % 16);
        if (i % 50 == 0) wall.tickFrameRates();
    }
    decoders.clear();
    EXPECT_EQ(wall.activeChannels(), 0x000F);
    EXPECT_GT(observer.paints(), 0);
}

}  // namespace
}  // namespace kalix::media
