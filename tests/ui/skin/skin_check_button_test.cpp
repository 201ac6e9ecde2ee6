#include "ui/skin/skin_check_button.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "skin_test_support.h"

namespace kalix::ui {
namespace {

using SkinCheckButtonTest = testing::WithSkin;

// The box at the left, vertically centred, is the skin picture of the
// state, pixel for pixel.
bool boxShowsPicture(SkinCheckButton& button, int picture) {
    const QImage face = skinPicture(picture).convertToFormat(QImage::Format_RGB32);
    const QImage shot = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int top = (button.height() - face.height()) / 2;
    return shot.copy(0, top, face.width(), face.height()) == face;
}

TEST_F(SkinCheckButtonTest, ClickTogglesAndTheFaceFollowsStateAndEnabling) {
    SkinCheckButton button(QStringLiteral("Channel 1"));
    button.resize(button.sizeHint());
    QSignalSpy toggled(&button, &QAbstractButton::toggled);

    EXPECT_EQ(button.currentFace(), skin::kCheckBox);
    EXPECT_TRUE(boxShowsPicture(button, skin::kCheckBox));

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(4, button.height() / 2));
    EXPECT_TRUE(button.isChecked());
    EXPECT_EQ(button.currentFace(), skin::kCheckBox + 1);
    EXPECT_TRUE(boxShowsPicture(button, skin::kCheckBox + 1));

    // Clicking the text toggles too: the whole control is the button.
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(button.width() - 3, button.height() / 2));
    EXPECT_FALSE(button.isChecked());
    ASSERT_EQ(toggled.count(), 2);

    button.setChecked(true);
    button.setEnabled(false);
    EXPECT_EQ(button.currentFace(), skin::kCheckBox + 3);
    EXPECT_TRUE(boxShowsPicture(button, skin::kCheckBox + 3));
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(4, button.height() / 2));
    EXPECT_TRUE(button.isChecked());  // disabled: no change
    button.setChecked(false);
    EXPECT_EQ(button.currentFace(), skin::kCheckBox + 2);
}

TEST(SkinFallback, CheckButtonWithoutBundleDrawsBoxTickAndText) {
    unloadResourceBundle();
    SkinCheckButton button(QStringLiteral("Record"));
    button.resize(button.sizeHint());
    const QRect box(0, (button.height() - 14) / 2, 14, 14);
    auto accentPixels = [&button, &box] {
        const QImage shot = button.grab().toImage();
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (c.blue() > 150 && c.blue() > c.red() + 60) ++n;
            }
        return n;
    };
    EXPECT_EQ(accentPixels(), 0);
    QTest::mouseClick(&button, Qt::LeftButton, {}, box.center());
    EXPECT_TRUE(button.isChecked());
    EXPECT_GT(accentPixels(), 6);  // the tick
    const QImage shot = button.grab().toImage();
    EXPECT_GT(testing::lightPixels(shot, QRect(box.right() + 1, 0, shot.width(), shot.height())), 20);
}

}  // namespace
}  // namespace kalix::ui
