#include "media/video/pane_painter.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kalix::media {
namespace {

constexpr int kWallWidth = 820;  // the main window's wall
constexpr int kWallHeight = 594;

// A page of the main window's wall with every pane showing its own channel.
ShownPage pageOf(int layout, int page, std::uint16_t active, std::uint16_t pictures,
                 std::uint16_t hidden = 0) {
    ShownPage shown;
    shown.cells = layoutCells(layout, kWallWidth, kWallHeight, 1);
    shown.first_pane = firstPaneOfPage(layout, page);
    shown.visible = visiblePanes(layout, page, 16);
    for (int pane = 0; pane < kWallPanes; ++pane) shown.pane_map[static_cast<std::size_t>(pane)] = pane;
    shown.active = active;
    shown.pictures = pictures;
    shown.hidden = hidden;
    return shown;
}

class PanePainterTest : public ::testing::Test {
protected:
    PictureBuffers pictures;
    PanePainter painter;
};

TEST_F(PanePainterTest, StartsWithTheMainWindowsCaptionFont) {
    EXPECT_EQ(painter.captionFontHeight(), -17);  // Arial 13
    EXPECT_EQ(painter.captionCharWidth(), 10);
    EXPECT_EQ(painter.captionStyle(), 0);
    EXPECT_EQ(painter.displayMode(), DisplayMode::None);
    painter.setCaptionFont(9, 400, "Arial");
    EXPECT_EQ(painter.captionFontHeight(), -12);
}

TEST_F(PanePainterTest, PaneContentFollowsTheSessionState) {
    // Four panes; channels 1 and 3 hidden, channel 3 delivered with a picture.
    const ShownPage page = pageOf(1, 0, 0x0008, 0x0008, 0x000A);
    PaintContext live{SessionView::Live, 0x0001, 0x0001, true};
    auto views = painter.paneViews(page, pictures, live);
    ASSERT_EQ(views.size(), 4U);
    EXPECT_EQ(views[0].content, PaneContent::VideoLoss);
    ASSERT_EQ(views[0].texts.size(), 1U);
    EXPECT_EQ(views[0].texts[0].text, "CH1  Video Loss");
    EXPECT_EQ(views[0].texts[0].colour, kVideoLossTextColour);
    EXPECT_EQ(views[1].content, PaneContent::VideoLoss);  // hidden
    EXPECT_EQ(views[2].content, PaneContent::Logo);
    EXPECT_EQ(views[3].content, PaneContent::VideoLoss);  // delivered but hidden
    painter.setCaptionStyle(1);
    EXPECT_EQ(painter.paneViews(page, pictures, live)[0].texts[0].text, "CH1");
    live.video_loss_text = 0;
    EXPECT_TRUE(painter.paneViews(page, pictures, live)[0].texts.empty());
    // Without a session everything undelivered is the logo; a delivered
    // hidden channel shows its picture when no view runs.
    const auto idle = painter.paneViews(page, pictures, {});
    EXPECT_EQ(idle[0].content, PaneContent::Logo);
    EXPECT_EQ(idle[1].content, PaneContent::Logo);
    EXPECT_EQ(idle[3].content, PaneContent::Picture);
    EXPECT_EQ(painter.paneViews(page, pictures, {SessionView::RemotePlayback})[1].content,
              PaneContent::VideoLoss);
}

// Painting counts the active copy: a delivered channel whose decoder has not
// shown a picture since the last split choice stays the logo.
TEST_F(PanePainterTest, DeliveredWithoutAPictureIsTheLogo) {
    const auto views = painter.paneViews(pageOf(14, 0, 0x0003, 0x0001), pictures, {SessionView::Live});
    ASSERT_EQ(views.size(), 16U);
    EXPECT_EQ(views[0].content, PaneContent::Picture);
    EXPECT_EQ(views[1].content, PaneContent::Logo);
    EXPECT_EQ(views[2].content, PaneContent::Logo);
}

TEST_F(PanePainterTest, PartialLastPageLeavesCellsForTheLogo) {
    const auto views = painter.paneViews(pageOf(2, 2, 0xFFFF, 0), pictures, {});
    ASSERT_EQ(views.size(), 6U);
    EXPECT_EQ(views[0].pane, 12);
    EXPECT_EQ(views[3].pane, 15);
    EXPECT_EQ(views[4].pane, -1);
    EXPECT_EQ(views[5].pane, -1);
    EXPECT_EQ(views[5].content, PaneContent::Logo);
}

TEST_F(PanePainterTest, PanesShowTheChannelsOfTheMap) {
    ShownPage page = pageOf(6, 1, 0xFFFF, 0);
    page.pane_map[7] = 2;
    page.pane_map[2] = 7;
    const auto views = painter.paneViews(page, pictures, {});
    ASSERT_EQ(views.size(), 9U);
    EXPECT_EQ(views[0].pane, 7);
    EXPECT_EQ(views[0].channel, 2);
    EXPECT_EQ(views[1].channel, 8);
    EXPECT_EQ(views[8].channel, 15);
}

TEST_F(PanePainterTest, CaptionOverlaysOfAPicturePane) {
    const ShownPage page = pageOf(1, 0, 0x0001, 0x0001);
    pictures.storeCaptions(0, {{"CAM1 360x240", 0x00FF00}, {"LIVE  25", 0xFFFF00}, 160});
    pictures.setAudioIcon(0, AudioIcon::Selected);
    pictures.setAudioIconX(125);
    auto view = painter.paneViews(page, pictures, {SessionView::Live})[0];
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
    EXPECT_FALSE(view.speed_indicator);
    EXPECT_FALSE(painter.paneViews(page, pictures, {SessionView::Live, 0, 0, false})[0].audio_icon.has_value());

    // Local playback adds the watermark state, and a mismatch its warning.
    painter.setDisplayMode(DisplayMode::LocalPlayback);
    pictures.setWatermarkState(0, kWatermarkMismatch);
    view = painter.paneViews(page, pictures, {SessionView::Other})[0];
    ASSERT_TRUE(view.watermark_icon.has_value());
    EXPECT_EQ(view.watermark_icon->x, 160);
    EXPECT_TRUE(view.watermark_warning);
    EXPECT_EQ(view.warning_font_height, view.cell.width() / 8);
    EXPECT_TRUE(view.speed_indicator);

    // Style 1: line 1 only; style 2: no captions.
    painter.setCaptionStyle(1);
    view = painter.paneViews(page, pictures, {})[0];
    EXPECT_EQ(view.texts.size(), 1U);
    EXPECT_FALSE(view.status_row_y.has_value());
    painter.setCaptionStyle(2);
    EXPECT_TRUE(painter.paneViews(page, pictures, {})[0].texts.empty());
}

// The speed indicator needs room: playback and a cell wider than 190.
TEST_F(PanePainterTest, SpeedIndicatorOnlyOnWidePlaybackPanes) {
    painter.setDisplayMode(DisplayMode::RemotePlayback);
    const auto wide = painter.paneViews(pageOf(1, 0, 0x0001, 0x0001), pictures, {SessionView::RemotePlayback});
    EXPECT_TRUE(wide[0].speed_indicator);
    ShownPage narrow = pageOf(1, 0, 0x0001, 0x0001);
    narrow.cells = layoutCells(1, 380, 300, 1);  // cells 188 wide
    ASSERT_LE(narrow.cells[0].width(), 190);
    EXPECT_FALSE(painter.paneViews(narrow, pictures, {SessionView::RemotePlayback})[0].speed_indicator);
}

}  // namespace
}  // namespace kalix::media
