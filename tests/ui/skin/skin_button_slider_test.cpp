// The skinned push button's faces and the slider's messages to its owner.
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "skin_test_support.h"
#include "ui/skin/skin_button.h"
#include "ui/skin/skin_catalogue.h"
#include "ui/skin/skin_slider.h"

namespace kalix::ui {
namespace {

using SkinButtonWithSkin = testing::WithSkin;

TEST(SkinButton, FaceFollowsEnabledMouseAndProgramState) {
    SkinButton button(369, 0, QStringLiteral("Live"));
    button.resize(44, 30);
    button.show();
    EXPECT_EQ(button.currentFace(), SkinButton::Face::Normal);
    button.setShownPressed(true);
    EXPECT_EQ(button.currentFace(), SkinButton::Face::Pressed);
    button.setShownPressedFace(1833);  // no bundle in this test: no such face
    EXPECT_EQ(button.currentFace(), SkinButton::Face::Pressed);
    button.setEnabled(false);
    EXPECT_EQ(button.currentFace(), SkinButton::Face::Disabled);

    // Without a skin the plain face still carries the caption.
    button.setEnabled(true);
    button.setShownPressed(false);
    const QImage shown = button.grab().toImage();
    int light = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (qGray(shown.pixel(x, y)) > 200) ++light;
    EXPECT_GT(light, 10);

    QSignalSpy clicked(&button, &SkinButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

// The generic dialog faces are blank and get the caption written over
// them; faces that carry their own label are drawn as they are.
TEST_F(SkinButtonWithSkin, CaptionIsWrittenOverBlankFacesOnly) {
    SkinButton blank(1, skin::kSmallButton, QStringLiteral("Cancel"));
    SkinButton labelled(360, skin::kConnect, QStringLiteral("Connect"));
    ASSERT_TRUE(blank.hasSkin());
    EXPECT_TRUE(blank.captionOverFace());
    EXPECT_FALSE(labelled.captionOverFace());

    blank.setFixedSize(80, 24);
    const QRect middle(10, 4, 60, 16);
    const int with_caption = testing::lightPixels(blank.grab().toImage(), middle);
    blank.setText({});
    EXPECT_GT(with_caption, testing::lightPixels(blank.grab().toImage(), middle) + 20);

    const QImage face = skinPicture(skin::kConnect).convertToFormat(QImage::Format_RGB32);
    labelled.setFixedSize(face.size());
    EXPECT_EQ(labelled.grab().toImage().convertToFormat(QImage::Format_RGB32), face);
}

TEST(SkinSlider, ReportsGrabMovesAndReleaseWithPositions) {
    SkinSlider slider(421, 0, 0);
    slider.resize(130, 14);
    slider.setRange(0, 65535);
    slider.setValue(40000);
    slider.show();
    QSignalSpy messages(&slider, &SkinSlider::sliderMessage);

    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(0, 7));
    QTest::mouseMove(&slider, QPoint(65, 7));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(200, 7));  // beyond the end
    ASSERT_GE(messages.count(), 3);
    const auto message = [&](int i) { return messages.at(i).at(0).value<SliderMessage>(); };
    const auto position = [&](int i) { return messages.at(i).at(2).toInt(); };
    EXPECT_EQ(message(0), SliderMessage::Grabbed);
    EXPECT_EQ(position(0), 40000);  // where the thumb stood
    EXPECT_EQ(message(1), SliderMessage::Moved);
    EXPECT_EQ(position(1), 0);      // under the mouse, at the left end
    EXPECT_EQ(message(static_cast<int>(messages.count()) - 1), SliderMessage::Released);
    EXPECT_EQ(messages.at(0).at(1).toInt(), 421);
    EXPECT_FALSE(slider.grabbed());

    // Both ends are reachable and the middle maps to the middle.
    EXPECT_EQ(slider.valueAt(-5), 0);
    EXPECT_EQ(slider.valueAt(500), 65535);
    EXPECT_NEAR(slider.valueAt(65), 65535 / 2, 65535 / 100);
    EXPECT_EQ(slider.thumbLeft(0), 0);
    EXPECT_EQ(slider.thumbLeft(65535), 120);  // width - thumb
}

TEST(SkinSlider, MovingWithoutAGrabSaysNothing) {
    SkinSlider slider(420, 0, 0);
    slider.resize(110, 14);
    slider.show();
    QSignalSpy messages(&slider, &SkinSlider::sliderMessage);
    QTest::mouseMove(&slider, QPoint(50, 7));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(50, 7));
    EXPECT_EQ(messages.count(), 0);
    slider.setValue(500);  // clamped to the range
    EXPECT_EQ(slider.value(), 100);
}

}  // namespace
}  // namespace kalix::ui
