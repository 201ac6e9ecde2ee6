#include "media/video/picture_buffers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace kalix::media {
namespace {

TEST(PictureBuffers, StartLikeTheMainWindowSetsThemUp) {
    PictureBuffers fresh;
    EXPECT_EQ(fresh.pictureSize(3), (PictureSize{360, 240}));
    EXPECT_EQ(fresh.audioIcon(0), AudioIcon::None);
    EXPECT_EQ(fresh.audioIconX(), kInitialAudioIconX);
    EXPECT_EQ(fresh.watermarkState(0), kWatermarkUnknown);
    EXPECT_EQ(fresh.captions(0)->line1.colour, kCaptionDefaultColour);
    auto ch = fresh.lockChannel(15);
    ASSERT_TRUE(ch.has_value());
    EXPECT_EQ(ch->picture().size(), kPictureBufferBytes);
    EXPECT_TRUE(std::ranges::all_of(ch->picture(), [](std::uint8_t b) { return b == 0; }));
}

TEST(PictureBuffers, CaptionsAreClippedToTheirBuffers) {
    PictureBuffers buffers;
    ChannelCaptions long_caption{{std::string(1000, 'x'), 1}, {"LIVE  00", 2}, 0};
    EXPECT_TRUE(buffers.storeCaptions(4, long_caption));
    EXPECT_EQ(buffers.captions(4)->line1.text.size(), kCaptionCapacity);
    EXPECT_FALSE(buffers.storeCaptions(16, long_caption));
    EXPECT_FALSE(buffers.captions(-1).has_value());
}

// The painter reads a channel's captions, icon and watermark state in one go.
TEST(PictureBuffers, OverlayGathersWhatThePaneDrawsOverThePicture) {
    PictureBuffers buffers;
    buffers.storeCaptions(2, {{"CAM3", 0x00FF00}, {"LIVE  25", 0xFFFF00}, 160});
    buffers.setAudioIcon(2, AudioIcon::Available);
    buffers.setWatermarkState(2, kWatermarkChecked);
    const auto overlay = buffers.overlay(2);
    ASSERT_TRUE(overlay.has_value());
    EXPECT_EQ(overlay->captions.line1.text, "CAM3");
    EXPECT_EQ(overlay->captions.box_width, 160);
    EXPECT_EQ(overlay->audio_icon, AudioIcon::Available);
    EXPECT_EQ(overlay->watermark, kWatermarkChecked);
    EXPECT_EQ(buffers.overlay(3)->audio_icon, AudioIcon::None);
    EXPECT_FALSE(buffers.overlay(16).has_value());
    EXPECT_FALSE(buffers.setAudioIcon(16, AudioIcon::Selected));
    EXPECT_FALSE(buffers.setWatermarkState(-1, kWatermarkAbsent));
}

TEST(PictureBuffers, FrameRateIsHalfTheTwoSecondCountRoundedUp) {
    PictureBuffers buffers;
    for (int i = 0; i < 50; ++i) buffers.countFrame(2);
    for (int i = 0; i < 7; ++i) buffers.countFrame(3);
    buffers.countFrame(-1);
    buffers.tickFrameRates();
    EXPECT_EQ(buffers.frameRate(2), 25);
    EXPECT_EQ(buffers.frameRate(3), 4);
    EXPECT_EQ(buffers.frameRate(4), 0);
    buffers.tickFrameRates();
    EXPECT_EQ(buffers.frameRate(2), 0);
}

TEST(PictureBuffers, PictureSizeMustFitTheBuffer) {
    PictureBuffers buffers;
    auto ch = buffers.lockChannel(1);
    ASSERT_TRUE(ch.has_value());
    EXPECT_TRUE(ch->setSize({720, 576}));
    EXPECT_FALSE(ch->setSize({721, 576}));
    EXPECT_FALSE(ch->setSize({0, 240}));
    EXPECT_FALSE(ch->setSize({-352, -240}));
    EXPECT_FALSE(ch->setSize({1 << 20, 1 << 20}));
    EXPECT_EQ(ch->size(), (PictureSize{720, 576}));
    ch->picture()[kPictureBufferBytes - 1] = 7;
    ch.reset();
    EXPECT_FALSE(buffers.lockChannel(16).has_value());
    buffers.clearAll();
    EXPECT_EQ(buffers.lockChannel(1)->picture()[kPictureBufferBytes - 1], 0);
    EXPECT_EQ(buffers.pictureSize(1), (PictureSize{720, 576}));  // zeroing keeps the size
}

TEST(PictureBuffers, YuvPathOnlyWhenAvailable) {
    PictureBuffers buffers;
    EXPECT_FALSE(buffers.setDrawPath(DrawPath::Yuv));
    EXPECT_EQ(buffers.drawPath(), DrawPath::Rgb);
    EXPECT_TRUE(buffers.setDrawPath(DrawPath::Rgb));
    buffers.setYuvAvailable(true);
    EXPECT_TRUE(buffers.setDrawPath(DrawPath::Yuv));
    EXPECT_EQ(buffers.drawPath(), DrawPath::Yuv);
    buffers.setYuvAvailable(false);
    EXPECT_EQ(buffers.drawPath(), DrawPath::Rgb);
}

TEST(PictureBuffers, PaneTimesAreKeptPerChannel) {
    PictureBuffers buffers;
    EXPECT_TRUE(buffers.setPaneTime(5, -7));
    EXPECT_TRUE(buffers.setPaneTime(6, 0x1'0000'0000));
    EXPECT_EQ(buffers.paneTime(5), -7);
    EXPECT_EQ(buffers.paneTime(6), 0x1'0000'0000);
    EXPECT_FALSE(buffers.setPaneTime(16, 1));
    EXPECT_EQ(buffers.paneTime(16), 0);
}

}  // namespace
}  // namespace kalix::media
