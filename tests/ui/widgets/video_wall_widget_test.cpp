#include "ui/widgets/video_wall_widget.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace kalix::ui {
namespace {

using media::WallRect;

constexpr WallRect kPlace{54, 67, 874, 661};
// Layout 14 on an 820 × 594 wall with border 1.
constexpr QRect kPane0(2, 2, 202, 145);   // (2, 2)-(204, 147)
constexpr QRect kPane1(207, 2, 202, 145);
constexpr QRect kPane2(412, 2, 202, 145);

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kLogo = qRgb(255, 0, 255);
constexpr QRgb kLoss = qRgb(255, 255, 0);

// A 352 × 288 picture as the decoder leaves it for the RGB path (rows
// bottom-up): the top half red, the bottom half blue, and the ragged edge
// the painter must trim (six columns at the left, six rows at the top)
// green.
void writeTestPicture(media::VideoWall& wall, int channel) {
    constexpr int w = 352, h = 288;
    {
        auto access = wall.pictures().lockChannel(channel);
        ASSERT_TRUE(access);
        ASSERT_TRUE(access->setSize({w, h}));
        auto pixels = access->picture();
        for (int y = 0; y < h; ++y) {
            const int row = h - 1 - y;  // bottom-up in the buffer
            for (int x = 0; x < w; ++x) {
                const QRgb c = (x < 6 || y < 6) ? kGreen : (y < h / 2 ? kRed : kBlue);
                auto* p = pixels.data() + (static_cast<std::size_t>(row) * w + static_cast<std::size_t>(x)) * 3;
                p[0] = static_cast<std::uint8_t>(qRed(c));
                p[1] = static_cast<std::uint8_t>(qGreen(c));
                p[2] = static_cast<std::uint8_t>(qBlue(c));
            }
        }
    }
    wall.view().markChannel(channel);
}

QImage solid(QRgb colour) {
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }
QRgb rgb(QRgb c) { return c & 0xFFFFFF; }

class VideoWallWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        wall.initialise(16);
        wall.pictures().setYuvAvailable(false);
        wall.pictures().setDrawPath(media::DrawPath::Rgb);
        wall.view().place(kPlace, 1, media::kWallBackgroundColour);
        wall.painter().setCaptionStyle(2);  // no captions over the test pictures
        ASSERT_TRUE(wall.view().selectLayout(14));
        ASSERT_EQ(wall.view().layout(), 14);
        widget = std::make_unique<VideoWallWidget>(wall);
        widget->resize(kPlace.width(), kPlace.height());
        widget->setLogoPicture(solid(kLogo));
        widget->setVideoLossPicture(solid(kLoss));
    }

    QImage grab() { return widget->grab().toImage(); }

    media::VideoWall wall;
    std::unique_ptr<VideoWallWidget> widget;
};

TEST_F(VideoWallWidgetTest, PicturePaintedUprightWithTheEdgeTrimmed) {
    wall.setActiveChannels(0x0001, media::MapReset::Keep);
    writeTestPicture(wall, 0);
    const QImage image = grab();
    ASSERT_EQ(image.size(), QSize(820, 594));
    // Upright: red above, blue below.
    EXPECT_EQ(at(image, kPane0.center().x(), kPane0.top() + 20), rgb(kRed));
    EXPECT_EQ(at(image, kPane0.center().x(), kPane0.bottom() - 20), rgb(kBlue));
    // The trimmed edge never reaches the cell: first column and first row.
    for (int y = kPane0.top(); y <= kPane0.bottom(); ++y) EXPECT_NE(at(image, kPane0.left(), y), rgb(kGreen)) << y;
    for (int x = kPane0.left(); x <= kPane0.right(); ++x) EXPECT_NE(at(image, x, kPane0.top()), rgb(kGreen)) << x;
    // The picture fills the cell to its last row and column.
    EXPECT_EQ(at(image, kPane0.right(), kPane0.bottom()), rgb(kBlue));
    EXPECT_EQ(at(image, kPane0.right(), kPane0.top()), rgb(kRed));
    // The wall's background shows between the panes and outside them.
    EXPECT_EQ(at(image, 0, 0), qRgb(150, 150, 150) & 0xFFFFFF);
    EXPECT_EQ(at(image, 205, 60), qRgb(150, 150, 150) & 0xFFFFFF);
    EXPECT_EQ(widget->picturesPainted(0), 1u);
}

TEST_F(VideoWallWidgetTest, PlanarPictureConvertedOnTheRgbPath) {
    wall.setActiveChannels(0x0001, media::MapReset::Keep);
    {
        auto access = wall.pictures().lockChannel(0);
        ASSERT_TRUE(access);
        ASSERT_TRUE(access->setSize({352, 288}));
        auto pixels = access->picture();
        const std::size_t luma = 352u * 288u;
        // Y 81, U 90, V 240: a saturated red.
        std::memset(pixels.data(), 81, luma);
        std::memset(pixels.data() + luma, 90, luma / 4);
        std::memset(pixels.data() + luma + luma / 4, 240, luma / 4);
    }
    wall.view().markChannel(0);
    wall.pictures().setYuvAvailable(true);
    ASSERT_TRUE(wall.pictures().setDrawPath(media::DrawPath::Yuv));
    const QImage image = grab();
    const QColor c = image.pixelColor(kPane0.center());
    EXPECT_GT(c.red(), 200);
    EXPECT_LT(c.green(), 40);
    EXPECT_LT(c.blue(), 40);
}

TEST_F(VideoWallWidgetTest, LogoForInactiveAndVideoLossForLostChannels) {
    wall.setActiveChannels(0x0001, media::MapReset::Keep);
    writeTestPicture(wall, 0);
    wall.painter().setCaptionStyle(0);
    widget->setContextSource([] {
        media::PaintContext c;
        c.session = media::SessionView::Live;
        c.video_loss = 0x0004;  // channel 2
        c.video_loss_text = 0x0004;
        return c;
    });
    const QImage image = grab();
    EXPECT_EQ(at(image, kPane1.center().x(), kPane1.center().y()), rgb(kLogo));
    EXPECT_EQ(at(image, kPane2.center().x(), kPane2.center().y()), rgb(kLoss));
    // The video-loss text is drawn over the picture in green near (7, 3).
    bool text = false;
    for (int y = kPane2.top() + 3; y < kPane2.top() + 25 && !text; ++y)
        for (int x = kPane2.left() + 7; x < kPane2.left() + 120 && !text; ++x)
            text = at(image, x, y) != rgb(kLoss);
    EXPECT_TRUE(text);
}

TEST_F(VideoWallWidgetTest, MarksFromADecoderThreadCoalesceIntoOneRepaint) {
    wall.setActiveChannels(0x0001, media::MapReset::Keep);
    widget->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
    QTest::qWait(50);
    const auto hops_before = widget->markHops();
    const auto painted_before = widget->picturesPainted(0);
    std::thread decoder([this] {
        for (int i = 0; i < 200; ++i) writeTestPicture(wall, 0);
    });
    decoder.join();
    EXPECT_EQ(widget->markHops(), hops_before);  // nothing ran on the UI thread yet
    QCoreApplication::processEvents();
    EXPECT_EQ(widget->markHops(), hops_before + 1);
    QTest::qWait(50);
    EXPECT_GT(widget->picturesPainted(0), painted_before);
    // A later mark is not lost behind the finished hop.
    writeTestPicture(wall, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(widget->markHops(), hops_before + 2);
}

TEST_F(VideoWallWidgetTest, DropOnAnotherPaneExchangesTheChannels) {
    wall.setActiveChannels(0x0003, media::MapReset::Keep);
    writeTestPicture(wall, 0);
    writeTestPicture(wall, 1);
    QSignalSpy exchanged(widget.get(), &VideoWallWidget::panesExchanged);
    QTest::mousePress(widget.get(), Qt::LeftButton, {}, kPane0.center());
    EXPECT_TRUE(widget->dragging());
    QTest::mouseMove(widget.get(), kPane1.center());
    QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, kPane1.center());
    EXPECT_FALSE(widget->dragging());
    const auto map = wall.view().paneMap();
    EXPECT_EQ(map[0], 1);
    EXPECT_EQ(map[1], 0);
    ASSERT_EQ(exchanged.count(), 1);
    EXPECT_EQ(exchanged.at(0).at(0).toInt(), 0);
    EXPECT_EQ(exchanged.at(0).at(1).toInt(), 1);
    // Now pane 0 shows channel 1's picture, still upright.
    const QImage image = grab();
    EXPECT_EQ(at(image, kPane0.center().x(), kPane0.top() + 20), rgb(kRed));
}

TEST_F(VideoWallWidgetTest, DropLandsWhereTheDragImageCentreIs) {
    wall.setActiveChannels(0x0003, media::MapReset::Keep);
    // Grabbed near the left edge of pane 0 and released still inside it:
    // the image's centre has moved over pane 1.
    QTest::mousePress(widget.get(), Qt::LeftButton, {}, QPoint(kPane0.left() + 8, kPane0.center().y()));
    QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, QPoint(kPane0.left() + 118, kPane0.center().y()));
    EXPECT_EQ(wall.view().paneMap()[0], 1);
}

TEST_F(VideoWallWidgetTest, DropOnTheGapOrAnInactivePaneChangesNothing) {
    wall.setActiveChannels(0x0003, media::MapReset::Keep);
    // Centre of the image on the two-pixel gap between panes 0 and 1.
    QTest::mousePress(widget.get(), Qt::LeftButton, {}, kPane0.center());
    const int hot_x = kPane0.center().x() - (kPane0.left() + 1);
    const int gap_x = 205;
    const int release_x = gap_x + hot_x - (kPane0.width() - 2 - 1) / 2;
    QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, QPoint(release_x, kPane0.center().y()));
    EXPECT_EQ(wall.view().paneMap()[0], 0);
    EXPECT_EQ(wall.view().paneMap()[1], 1);
    // Pane 2's channel is not active: no exchange.
    QTest::mousePress(widget.get(), Qt::LeftButton, {}, kPane0.center());
    QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, kPane2.center());
    EXPECT_EQ(wall.view().paneMap()[0], 0);
    EXPECT_EQ(wall.view().paneMap()[2], 2);
    // A press on an inactive pane starts no drag.
    QTest::mousePress(widget.get(), Qt::LeftButton, {}, kPane2.center());
    EXPECT_FALSE(widget->dragging());
    QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, kPane0.center());
    EXPECT_EQ(wall.view().paneMap()[2], 2);
}

TEST_F(VideoWallWidgetTest, DoubleClickTogglesSingleView) {
    wall.setActiveChannels(0x0007, media::MapReset::Keep);
    writeTestPicture(wall, 2);
    QSignalSpy changed(widget.get(), &VideoWallWidget::viewChanged);
    // As the window system delivers it: press, release, then the double
    // click in place of the second press.
    QTest::mouseClick(widget.get(), Qt::LeftButton, {}, kPane2.center());
    QTest::mouseDClick(widget.get(), Qt::LeftButton, {}, kPane2.center());
    EXPECT_EQ(wall.view().layout(), 0);
    EXPECT_TRUE(wall.view().singleViewActive());
    EXPECT_EQ(wall.view().visibleChannels(), 0x0004);
    EXPECT_EQ(changed.count(), 1);
    // Until its decoder shows the next picture the channel is out of the
    // active copy and the wall shows the logo; then the picture fills it.
    EXPECT_EQ(at(grab(), 410, 300), rgb(kLogo));
    writeTestPicture(wall, 2);
    const QImage image = grab();
    EXPECT_EQ(at(image, 410, 40), rgb(kRed));
    EXPECT_EQ(at(image, 410, 560), rgb(kBlue));

    QTest::mouseClick(widget.get(), Qt::LeftButton, {}, QPoint(410, 300));
    QTest::mouseDClick(widget.get(), Qt::LeftButton, {}, QPoint(410, 300));
    EXPECT_EQ(wall.view().layout(), 14);
    EXPECT_FALSE(wall.view().singleViewActive());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(VideoWallWidgetTest, DoubleClickOnNoPaneDoesNothing) {
    wall.setActiveChannels(0x0001, media::MapReset::Keep);
    QSignalSpy changed(widget.get(), &VideoWallWidget::viewChanged);
    QTest::mouseClick(widget.get(), Qt::LeftButton, {}, QPoint(205, 60));  // the gap
    QTest::mouseDClick(widget.get(), Qt::LeftButton, {}, QPoint(205, 60));
    EXPECT_EQ(wall.view().layout(), 14);
    EXPECT_EQ(changed.count(), 0);
}

TEST(WallColourTest, ModelColoursAreBlueGreenRed) {
    const QColor c = wallColour(0x00112233);
    EXPECT_EQ(c.red(), 0x33);
    EXPECT_EQ(c.green(), 0x22);
    EXPECT_EQ(c.blue(), 0x11);
}

}  // namespace
}  // namespace kalix::ui
