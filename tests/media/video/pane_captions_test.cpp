#include "media/video/pane_captions.h"

#include <gtest/gtest.h>

namespace kalix::media {
namespace {

int tenPerChar(std::string_view t) { return static_cast<int>(t.size()) * 10; }

TEST(PaneCaptions, LiveCifPictureInStyleZero) {
    CaptionFacts f;
    f.title = "CAM1";
    f.picture_width = 352;
    f.picture_height = 240;
    f.frame_rate = 25;
    const auto c = buildCaptions(f);
    EXPECT_EQ(c.line1.text, "CAM1 360x240");
    EXPECT_EQ(c.line2.text, "LIVE  25");
    EXPECT_EQ(c.line1.colour, 0x00FF00u);
    EXPECT_EQ(c.line2.colour, 0xFFFF00u);
    EXPECT_EQ(c.box_width, 8 * 10 + 80);
    EXPECT_EQ(audioIconX(10, c.line2.text.size()), 125);
}

TEST(PaneCaptions, StylesAndModes) {
    CaptionFacts f;
    f.title = "Gate";
    f.picture_width = 704;
    f.picture_height = 576;
    f.frame_rate = 7;
    f.mode = DisplayMode::RemotePlayback;
    EXPECT_EQ(buildCaptions(f).line1.text, "Gate 720x576");
    EXPECT_EQ(buildCaptions(f).line2.text, "R-PLAY  07");
    f.caption_style = 1;
    f.mode = DisplayMode::LocalPlayback;
    EXPECT_EQ(buildCaptions(f).line1.text, "Gate");
    EXPECT_EQ(buildCaptions(f).line2.text, "L-PLAY  07");
    f.caption_style = 2;
    EXPECT_EQ(buildCaptions(f).line1.text, "");
}

TEST(PaneCaptions, TitlesAreCutToThePaneWithAnEllipsis) {
    EXPECT_EQ(fitTitle("Front door", 200, tenPerChar), "Front door");  // 100 <= 105
    EXPECT_EQ(fitTitle("Front door east", 200, tenPerChar), "Front door...");
    EXPECT_EQ(fitTitle("Anything", 50, tenPerChar), "...");  // nothing fits
    EXPECT_EQ(fitTitle("", 50, tenPerChar), "");
}

}  // namespace
}  // namespace kalix::media
