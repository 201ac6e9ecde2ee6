#include "ui/widgets/motion_grid.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "skin_test_support.h"

namespace kalix::ui {
namespace {

// 352 × 288 over 11 × 9 cells: every cell is 32 × 32.
class MotionGridTest : public ::testing::Test {
protected:
    void SetUp() override { grid.resize(352, 288); }

    static QPoint centre(int column, int row) { return {column * 32 + 16, row * 32 + 16}; }

    void press(QPoint at) { QTest::mousePress(&grid, Qt::LeftButton, {}, at); }
    void moveTo(QPoint at) { QTest::mouseMove(&grid, at); }
    void release(QPoint at) { QTest::mouseRelease(&grid, Qt::LeftButton, {}, at); }
    void dragCells(int c0, int r0, int c1, int r1) {
        press(centre(c0, r0));
        moveTo(centre(c1, r1));
        release(centre(c1, r1));
    }

    MotionGrid grid;
};

TEST_F(MotionGridTest, DragFromAClearCellSelectsTheRectangle) {
    QSignalSpy changed(&grid, &MotionGrid::cellsChanged);
    dragCells(1, 1, 3, 2);
    const MotionRows expected{0, 0b1110, 0b1110, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(grid.cells(), expected);
    EXPECT_EQ(grid.selectedCount(), 6);
    EXPECT_GE(changed.count(), 1);

    // Dragging up and to the left from the anchor works the same way.
    dragCells(6, 5, 4, 4);
    EXPECT_EQ(grid.cells()[4], 0b1110000);
    EXPECT_EQ(grid.cells()[5], 0b1110000);
}

TEST_F(MotionGridTest, DragFromASelectedCellClearsWhatItCovers) {
    MotionRows all;
    all.fill(kMotionRowBits);
    grid.setCells(all);
    dragCells(0, 0, 1, 1);
    EXPECT_EQ(grid.cells()[0], kMotionRowBits & ~0b11u);
    EXPECT_EQ(grid.cells()[1], kMotionRowBits & ~0b11u);
    EXPECT_EQ(grid.cells()[2], kMotionRowBits);

    // The first cell decides: a clearing drag that passes over clear cells
    // leaves them clear and clears the selected ones.
    dragCells(2, 0, 0, 2);  // anchor (2, 0) is selected
    EXPECT_EQ(grid.cells()[0], kMotionRowBits & ~0b111u);
    EXPECT_EQ(grid.cells()[2], kMotionRowBits & ~0b111u);
}

TEST_F(MotionGridTest, ShrinkingTheDragGivesBackWhatItHadCovered) {
    grid.setCell(3, 3, true);  // inside the big rectangle, outside the final one
    press(centre(0, 0));
    moveTo(centre(4, 4));
    EXPECT_EQ(grid.selectedCount(), 25);
    moveTo(centre(1, 1));
    release(centre(1, 1));
    EXPECT_EQ(grid.selectedCount(), 4 + 1);
    EXPECT_TRUE(grid.cell(1, 1));
    EXPECT_FALSE(grid.cell(2, 2));
    EXPECT_FALSE(grid.cell(4, 4));
    EXPECT_TRUE(grid.cell(3, 3));
}

TEST_F(MotionGridTest, LastCellIsBitTenOfRowEightAndEdgesClamp) {
    press(QPoint(351, 287));
    release(QPoint(351, 287));
    MotionRows expected{};
    expected[8] = 0x400;
    EXPECT_EQ(grid.cells(), expected);
    EXPECT_TRUE(grid.cell(10, 8));
    EXPECT_EQ(grid.cellAt(QPoint(351, 287)), QPoint(10, 8));
    EXPECT_EQ(grid.cellAt(QPoint(352, 288)), QPoint(10, 8));
    EXPECT_EQ(grid.cellAt(QPoint(-40, -1)), QPoint(0, 0));
    EXPECT_EQ(grid.cellRect(10, 8), QRect(320, 256, 32, 32));

    // A drag that leaves the grid stops at its edge.
    grid.clearCells();
    press(centre(9, 7));
    moveTo(QPoint(500, 400));
    release(QPoint(500, 400));
    EXPECT_EQ(grid.cells()[7], 0x600);
    EXPECT_EQ(grid.cells()[8], 0x600);

    // Bits beyond column 10 never get in; cells outside the grid are clear.
    MotionRows wide;
    wide.fill(0xFFFF);
    grid.setCells(wide);
    for (std::uint16_t row : grid.cells()) EXPECT_EQ(row, kMotionRowBits);
    EXPECT_EQ(grid.selectedCount(), 99);
    EXPECT_FALSE(grid.cell(11, 0));
    EXPECT_FALSE(grid.cell(0, 9));
    grid.setCell(11, 8, false);  // ignored
    EXPECT_EQ(grid.selectedCount(), 99);
}

TEST_F(MotionGridTest, ReadOnlyGridIgnoresTheMouseAndSignalsOnlyRealChanges) {
    QSignalSpy changed(&grid, &MotionGrid::cellsChanged);
    grid.setReadOnly(true);
    dragCells(0, 0, 5, 5);
    EXPECT_EQ(grid.selectedCount(), 0);
    EXPECT_EQ(changed.count(), 0);
    grid.setCell(2, 3, true);
    grid.setCell(2, 3, true);  // no change, no signal
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(grid.cells()[3], 0b100);
}

TEST_F(MotionGridTest, SelectedCellsTintThePicture) {
    QImage picture(176, 144, QImage::Format_RGB32);
    picture.fill(qRgb(200, 60, 40));
    grid.setPicture(picture);
    grid.setCell(5, 4, true);
    const QImage shot = grid.grab().toImage();
    const QColor plain = shot.pixelColor(centre(1, 1));
    const QColor tinted = shot.pixelColor(centre(5, 4));
    EXPECT_EQ(plain, QColor(200, 60, 40));
    EXPECT_GT(tinted.blue(), plain.blue() + 40);

    // No picture: a dark field, still with the selection on it.
    grid.setPicture(QImage());
    const QImage empty = grid.grab().toImage();
    EXPECT_LT(qGray(empty.pixel(centre(1, 1))), 40);
    EXPECT_GT(qBlue(empty.pixel(centre(5, 4))), qBlue(empty.pixel(centre(1, 1))) + 30);
}

}  // namespace
}  // namespace kalix::ui
