#include "media/video/wall_view.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <ostream>
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

// A view as the main window sets it up, 16 channels in live view.
class WallViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.place(kMainWallRect, 1, kWallBackgroundColour);
        view.startView(16);
    }

    WallRect cellCentreOf(int pane) {
        const auto r = view.paneRect(pane);
        EXPECT_TRUE(r.has_value());
        return r.value_or(WallRect{});
    }

    PictureBuffers pictures;
    WallObservers observers;
    WallView view{pictures, observers};
};

TEST_F(WallViewTest, StartsWithSixteenPanesInTheirOwnOrder) {
    WallView fresh(pictures, observers);
    EXPECT_EQ(fresh.layout(), 14);
    EXPECT_EQ(fresh.page(), 0);
    EXPECT_EQ(fresh.visiblePaneMask(), 0xFFFF);
    EXPECT_EQ(fresh.paneMap()[9], 9);
    EXPECT_EQ(fresh.border(), 1);
    EXPECT_EQ(fresh.background(), kWallBackgroundColour);
}

TEST_F(WallViewTest, ViewStartChoosesLayoutAndPagesByChannelCount) {
    view.startView(4);
    EXPECT_EQ(view.layout(), 1);
    EXPECT_EQ(view.pageTable()[0], 4);
    view.startView(8);
    EXPECT_EQ(view.layout(), 5);
    view.startView(9);
    EXPECT_EQ(view.layout(), 14);
    EXPECT_EQ(view.pageTable()[2], 3);
    view.startView(4);
    view.setActiveChannels(0xF, MapReset::Keep);
    view.resetView();
    EXPECT_EQ(view.layout(), 14);
    EXPECT_EQ(view.activeChannels(), 0);
    EXPECT_EQ(view.pageTable(), pageTableFor(16, PageTableUse::ViewStart));
}

TEST_F(WallViewTest, FirstInitialisationKeepsThePageWithinTheTable) {
    view.initialise(4);
    EXPECT_EQ(view.channelCount(), 4);
    EXPECT_EQ(view.pageTable(), pageTableFor(4, PageTableUse::Initialise));
    EXPECT_EQ(view.page(), 0);
}

TEST_F(WallViewTest, FourPaneButtonCyclesPages) {
    view.setActiveChannels(0xFFFF, MapReset::Keep);
    ASSERT_NE(view.layout(), 1);
    std::vector<std::uint16_t> seen;
    for (int press = 0; press < 5; ++press) {
        ASSERT_TRUE(view.selectLayout(1));
        seen.push_back(view.visiblePaneMask());
    }
    EXPECT_EQ(seen, (std::vector<std::uint16_t>{panes(0, 3), panes(4, 7), panes(8, 11),
                                                panes(12, 15), panes(0, 3)}));
    EXPECT_FALSE(view.selectLayout(15));
}

TEST_F(WallViewTest, PagesWithoutDeliveredChannelsAreSkipped) {
    view.setActiveChannels(panes(0, 3) | panes(12, 15), MapReset::Keep);
    view.selectLayout(1);
    EXPECT_EQ(view.page(), 0);
    view.selectLayout(1);
    EXPECT_EQ(view.page(), 3);
    view.selectLayout(1);
    EXPECT_EQ(view.page(), 0);
    // Skipping follows the channels, not the pane numbers.
    view.exchangePanes(5, 12);
    view.selectLayout(1);
    EXPECT_EQ(view.page(), 1);
}

TEST_F(WallViewTest, WithNothingDeliveredEveryPageIsShown) {
    view.selectLayout(1);
    view.selectLayout(1);
    EXPECT_EQ(view.page(), 1);
    view.selectLayout(1);
    EXPECT_EQ(view.page(), 2);
}

TEST_F(WallViewTest, FirstChoiceAfterConstructionKeepsThePage) {
    WallView fresh(pictures, observers);
    fresh.selectLayout(14);  // same layout as at construction: page stays
    fresh.selectLayout(0);
    EXPECT_EQ(fresh.page(), 0);
    fresh.selectLayout(0);
    EXPECT_EQ(fresh.page(), 1);
}

TEST_F(WallViewTest, SingleChannelIsRefusedUnlessDelivered) {
    EXPECT_FALSE(view.selectSingleChannel(5));
    EXPECT_FALSE(view.selectSingleChannel(-1));
    EXPECT_FALSE(view.selectSingleChannel(16));
    view.setActiveChannels(0xFFFF, MapReset::Keep);
    view.exchangePanes(2, 5);
    ASSERT_TRUE(view.selectSingleChannel(5));
    EXPECT_EQ(view.layout(), 0);
    EXPECT_EQ(view.page(), 2);  // the pane showing channel 5
    EXPECT_EQ(view.visibleChannels(), 1U << 5);
    // The 1-pane button right after keeps that channel, then moves on.
    view.selectLayout(0);
    EXPECT_EQ(view.page(), 2);
    view.selectLayout(0);
    EXPECT_EQ(view.page(), 3);
}

TEST_F(WallViewTest, LayoutSixSecondPageShowsPanesSevenAndEightTopLeft) {
    view.setActiveChannels(0xFFFF, MapReset::Keep);
    view.selectLayout(6);
    view.selectLayout(6);
    ASSERT_EQ(view.page(), 1);
    EXPECT_EQ(view.visiblePaneMask(), panes(7, 15));
    const auto cells = layoutCells(6, 820, 594, 1);
    EXPECT_EQ(view.paneRect(7), cells[0]);
    EXPECT_EQ(view.paneRect(8), cells[1]);
    EXPECT_EQ(view.paneRect(9), cells[2]);
    const ShownPage page = view.shownPage();
    EXPECT_EQ(page.first_pane, 7);
    EXPECT_EQ(page.cells, cells);
    // Back on page 0 they return to their own cells.
    view.selectLayout(6);
    EXPECT_EQ(view.paneRect(7), cells[7]);
}

TEST_F(WallViewTest, DropOnAGapChangesNothingDropOnAPaneExchanges) {
    view.setActiveChannels(0xFFFF, MapReset::Keep);
    view.selectLayout(14);
    const auto p0 = cellCentreOf(0);
    const auto p6 = cellCentreOf(6);
    const auto dragged = view.beginDrag(p0.left + 10, p0.top + 10);
    ASSERT_EQ(dragged, 0);
    // The two-pixel gap between panes 0 and 1.
    EXPECT_FALSE(view.dropPane(0, p0.right, p0.top + 10));
    EXPECT_EQ(view.paneMap()[0], 0);
    EXPECT_TRUE(view.dropPane(0, p6.left + 5, p6.top + 5));
    EXPECT_EQ(view.paneMap()[0], 6);
    EXPECT_EQ(view.paneMap()[6], 0);
    // Onto a pane whose channel is not delivered: nothing.
    view.setActiveChannels(0x00FF, MapReset::Keep);
    const auto p12 = cellCentreOf(12);
    EXPECT_FALSE(view.dropPane(0, p12.left + 5, p12.top + 5));
    EXPECT_FALSE(view.beginDrag(p12.left + 5, p12.top + 5).has_value());
    EXPECT_FALSE(view.dropPane(-3, p6.left + 5, p6.top + 5));
    // No dragging in the one-pane layout.
    view.selectSingleChannel(1);
    EXPECT_FALSE(view.beginDrag(400, 300).has_value());
}

TEST_F(WallViewTest, ExchangedPanesChangeTheVisibleChannels) {
    view.setActiveChannels(0xFFFF, MapReset::Keep);
    view.selectLayout(1);  // panes 0-3
    EXPECT_EQ(view.visibleChannels(), 0x000F);
    EXPECT_TRUE(view.exchangePanes(1, 9));
    EXPECT_EQ(view.visibleChannels(), 0x020D);
    EXPECT_TRUE(view.isChannelVisible(9));
    EXPECT_FALSE(view.isChannelVisible(1));
    EXPECT_FALSE(view.exchangePanes(1, 16));
    view.restoreIdentityMap();
    EXPECT_EQ(view.visibleChannels(), 0x000F);
    // An empty mask with the reset flag brings the identity back too.
    view.exchangePanes(0, 3);
    view.setActiveChannels(0, MapReset::IdentityWhenEmpty);
    EXPECT_EQ(view.paneMap()[0], 0);
}

TEST_F(WallViewTest, DoubleClickShowsOneChannelAndBack) {
    view.setActiveChannels(0xFFFF, MapReset::Keep);
    view.selectLayout(1);
    view.selectLayout(1);  // page 1: panes 4-7
    view.exchangePanes(5, 11);
    EXPECT_EQ(view.doubleClick(5), DoubleClickResult::SingleView);
    EXPECT_TRUE(view.singleViewActive());
    EXPECT_EQ(view.layout(), 0);
    EXPECT_EQ(view.visibleChannels(), 1U << 11);
    EXPECT_EQ(view.doubleClick(std::nullopt), DoubleClickResult::Restored);
    EXPECT_FALSE(view.singleViewActive());
    EXPECT_EQ(view.layout(), 1);
    EXPECT_EQ(view.page(), 1);
    EXPECT_EQ(view.visiblePaneMask(), panes(4, 7));
    // Nothing hit, a bad pane, or already one pane: nothing happens.
    EXPECT_EQ(view.doubleClick(std::nullopt), DoubleClickResult::Nothing);
    EXPECT_EQ(view.doubleClick(40), DoubleClickResult::Nothing);
    view.selectSingleChannel(3);
    EXPECT_EQ(view.doubleClick(3), DoubleClickResult::Nothing);
    // A pane whose channel is not delivered is refused.
    view.selectLayout(14);
    view.setActiveChannels(0x0001, MapReset::Keep);
    EXPECT_EQ(view.doubleClick(2), DoubleClickResult::Nothing);
    EXPECT_FALSE(view.singleViewActive());
}

TEST_F(WallViewTest, ActiveMaskKeepsOnlyDeliverableChannels) {
    view.startView(4);
    // Video-loss bits in the high half and channels beyond the recorder's
    // count stay out.
    EXPECT_TRUE(view.setActiveChannels(0x000F00FF, MapReset::Keep));
    EXPECT_EQ(view.activeChannels(), 0x000F);
    EXPECT_EQ(view.activeCopy(), 0x000F);
    EXPECT_FALSE(view.setActiveChannels(0x000F, MapReset::Keep));
    EXPECT_FALSE(view.selectSingleChannel(6));
}

TEST_F(WallViewTest, HiddenChannelsLeaveTheLiveMask) {
    EXPECT_TRUE(view.setChannelHidden(2, true));
    EXPECT_FALSE(view.setChannelHidden(2, true));
    EXPECT_FALSE(view.setChannelHidden(99, true));
    EXPECT_EQ(view.withoutHiddenChannels(0x0004000F), 0x0004000BU);
    EXPECT_EQ(view.shownPage().hidden, 0x0004);
    EXPECT_TRUE(view.setHiddenChannels(0));
    EXPECT_EQ(view.hiddenChannels(), 0);
}

TEST_F(WallViewTest, MarkingReturnsAChannelToThePaintedCopy) {
    RecordingObserver observer;
    {
        auto subscription = observers.subscribe(observer);
        view.setActiveChannels(0x0003, MapReset::Keep);
        view.markChannel(0);
        view.markChannel(1);
        view.selectLayout(14);  // a split choice clears the copy
        EXPECT_EQ(view.activeCopy(), 0);
        EXPECT_EQ(view.activeChannels(), 0x0003);
        EXPECT_EQ(view.shownPage().active, 0);
        view.markChannel(0);
        EXPECT_EQ(view.activeCopy(), 0x0001);
        EXPECT_EQ(view.pictureChannels(), 0x0003);
        const ShownPage page = view.shownPage();
        EXPECT_EQ(page.active, 0x0001);
        EXPECT_EQ(page.pictures, 0x0003);
        view.markChannel(16);  // ignored
        EXPECT_GT(observer.changes.load(), 0);
    }
    view.markChannel(2);
    EXPECT_EQ(observer.marked, (std::vector<int>{0, 1, 0}));
    view.clearPictureMask();
    EXPECT_EQ(view.pictureChannels(), 0);
}

TEST_F(WallViewTest, PaneSizeOfAChannelFollowsTheMap) {
    view.selectLayout(5);  // pane 0 is the big 3 x 3 block
    EXPECT_EQ(view.paneSizeOfChannel(0), (PictureSize{612, 441}));
    view.exchangePanes(0, 1);
    EXPECT_EQ(view.paneSizeOfChannel(0), (PictureSize{202, 145}));
    EXPECT_FALSE(view.paneSizeOfChannel(16).has_value());
}

TEST_F(WallViewTest, SavedChannelsAreVisibleAndDelivered) {
    view.setActiveChannels(0x00F3, MapReset::Keep);
    view.selectLayout(1);
    EXPECT_EQ(view.channelsToSave(), 0x0003);
}

// The pane map changes only while every channel lock is held, so a painter
// holding its channel's lock sees its pane keep its channel.
TEST_F(WallViewTest, ExchangeWaitsForAPainterHoldingAChannelLock) {
    auto held = pictures.lockChannel(9);
    ASSERT_TRUE(held.has_value());
    std::atomic<bool> exchanged{false};
    std::jthread operator_thread([&] {
        view.exchangePanes(0, 9);
        exchanged = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(exchanged.load());
    EXPECT_EQ(view.paneMap()[0], 0);
    held.reset();
    operator_thread.join();
    EXPECT_TRUE(exchanged.load());
    EXPECT_EQ(view.paneMap()[0], 9);
}

TEST_F(WallViewTest, FullScreenCoversTheMonitorAndComesBack) {
    view.place(kMainWallRect, 3, 0x123456);
    const WallRect monitor{1920, 0, 3840, 1080};
    ASSERT_TRUE(view.enterFullScreen(monitor));
    EXPECT_FALSE(view.enterFullScreen({0, 0, 640, 480}));
    EXPECT_TRUE(view.fullScreen());
    EXPECT_EQ(view.placement(), monitor);
    EXPECT_EQ(view.border(), 3);
    // Cells are relative to the wall's own client area.
    EXPECT_EQ(view.paneRect(15), (WallRect{1443, 813, 1914, 1074}));
    ASSERT_TRUE(view.leaveFullScreen());
    EXPECT_FALSE(view.leaveFullScreen());
    EXPECT_EQ(view.placement(), kMainWallRect);
    EXPECT_EQ(view.border(), 1);
    EXPECT_EQ(view.background(), kWallBackgroundColour);
    EXPECT_EQ(view.paneRect(15), (WallRect{616, 445, 818, 592}));
    EXPECT_EQ(layoutForBarCommand(404), 5);
    EXPECT_EQ(layoutForBarCommand(408), 14);
    EXPECT_FALSE(layoutForBarCommand(409).has_value());
    EXPECT_FALSE(layoutForBarCommand(399).has_value());
}

}  // namespace
}  // namespace kalix::media
