#include "media/video/wall_layouts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace kalix::media {

inline void PrintTo(const WallRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr int kWallWidth = 820;   // the main window's wall, 54,67 to 874,661
constexpr int kWallHeight = 594;

std::uint16_t panes(int first, int last) {
    std::uint32_t mask = 0;
    for (int p = first; p <= last; ++p) mask |= 1U << p;
    return static_cast<std::uint16_t>(mask);
}

TEST(WallLayouts, SixteenPaneRectanglesOfTheMainWall) {
    const auto cells = layoutCells(14, kWallWidth, kWallHeight, 1);
    ASSERT_EQ(cells.size(), 16U);
    EXPECT_EQ(cells[0], (WallRect{2, 2, 204, 147}));
    EXPECT_EQ(cells[15], (WallRect{616, 445, 818, 592}));
    // Inner edges: neighbours are two border widths apart.
    EXPECT_EQ(cells[5], (WallRect{206, 149, 409, 295}));
    EXPECT_EQ(cells[1].left - cells[0].right, 2);
    EXPECT_EQ(cells[4].top - cells[0].bottom, 2);
}

TEST(WallLayouts, SingleAndSpanningCells) {
    EXPECT_EQ(layoutCells(0, kWallWidth, kWallHeight, 1)[0], (WallRect{2, 2, 818, 592}));
    // Layout 5: a 3 x 3 block of the 4-grid, then the right column.
    const auto five = layoutCells(5, kWallWidth, kWallHeight, 1);
    EXPECT_EQ(five[0], (WallRect{2, 2, 614, 443}));
    EXPECT_EQ(five[1], (WallRect{616, 2, 818, 147}));
    // Layout 4: the bottom-middle block spans columns 1-2 of rows 2-3.
    EXPECT_EQ(layoutCells(4, kWallWidth, kWallHeight, 1)[4], (WallRect{206, 297, 614, 592}));
    // A thicker border doubles at the outer edge.
    EXPECT_EQ(layoutCells(1, 800, 600, 3)[3], (WallRect{403, 303, 794, 594}));
}

// Each arrangement must tile its grid: every grid cell's centre lies in
// exactly one pane, and every pane stays inside the wall.
TEST(WallLayouts, EveryLayoutTilesItsGrid) {
    const int grid_of[kLayoutCount] = {1, 2, 3, 4, 4, 4, 3, 4, 4, 4, 4, 4, 4, 4, 4};
    const int expected_panes[kLayoutCount] = {1, 4, 6, 7, 7, 8, 9, 10, 10, 10, 10, 13, 13, 13, 16};
    for (int layout = 0; layout < kLayoutCount; ++layout) {
        SCOPED_TRACE(layout);
        const auto cells = layoutCells(layout, 1200, 960, 2);
        ASSERT_EQ(static_cast<int>(cells.size()), expected_panes[layout]);
        EXPECT_EQ(panesPerPage(layout), expected_panes[layout]);
        const int n = grid_of[layout];
        for (int row = 0; row < n; ++row) {
            for (int col = 0; col < n; ++col) {
                const int x = col * (1200 / n) + 1200 / n / 2;
                const int y = row * (960 / n) + 960 / n / 2;
                int hits = 0;
                for (const auto& c : cells) hits += c.contains(x, y) ? 1 : 0;
                EXPECT_EQ(hits, 1) << "grid cell " << col << "," << row;
            }
        }
        for (const auto& c : cells) {
            EXPECT_GE(c.left, 4);
            EXPECT_GE(c.top, 4);
            EXPECT_LE(c.right, 1196);
            EXPECT_LE(c.bottom, 956);
        }
    }
}

TEST(WallLayouts, BadSizesAndCodesGiveNoInvertedCells) {
    EXPECT_TRUE(layoutCells(-1, 820, 594, 1).empty());
    EXPECT_TRUE(layoutCells(15, 820, 594, 1).empty());
    for (const auto& c : layoutCells(14, 5, -20, 4)) {
        EXPECT_GE(c.width(), 0);
        EXPECT_GE(c.height(), 0);
    }
    EXPECT_EQ(panesPerPage(99), 0);
    EXPECT_FALSE(cellIndexOfPane(3, 0, 16).has_value());
    EXPECT_FALSE(cellIndexOfPane(15, 0, 0).has_value());
    EXPECT_EQ(visiblePanes(15, 0, 16), 0);
    EXPECT_EQ(visiblePanes(1, -1, 16), 0);
}

struct VisibleCase {
    int layout;
    int page;
    int channels;
    std::uint16_t expected;
};

TEST(WallLayouts, VisiblePanesPerPage) {
    const std::vector<VisibleCase> cases{
        {0, 5, 16, panes(5, 5)},      {1, 3, 16, panes(12, 15)},
        {1, 1, 4, panes(4, 7)},       // the 4-pane pages ignore the channel count
        {2, 2, 16, panes(12, 15)},    {2, 1, 8, panes(6, 7)},
        {3, 2, 16, panes(14, 15)},    {4, 1, 16, panes(7, 13)},
        {5, 1, 16, panes(8, 15)},     {6, 0, 16, panes(0, 8)},
        {6, 1, 16, panes(7, 15)},     {7, 1, 16, panes(10, 15)},
        {10, 0, 6, panes(0, 5)},      {11, 1, 16, panes(13, 15)},
        {13, 0, 16, panes(0, 12)},    {14, 0, 16, 0xFFFF},
        {14, 0, 2, 0xFFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(visiblePanes(c.layout, c.page, c.channels), c.expected)
            << "layout " << c.layout << " page " << c.page << " channels " << c.channels;
    }
}

TEST(WallLayouts, PartialPagesUseTheFirstCells) {
    EXPECT_EQ(cellIndexOfPane(2, 2, 12), 0);
    EXPECT_EQ(cellIndexOfPane(3, 2, 15), 1);
    EXPECT_EQ(cellIndexOfPane(11, 1, 13), 0);
    // Layout 6: panes 7 and 8 move to the top-left cells on page 1 only.
    EXPECT_EQ(cellIndexOfPane(6, 0, 7), 7);
    EXPECT_EQ(cellIndexOfPane(6, 1, 7), 0);
    EXPECT_EQ(cellIndexOfPane(6, 1, 8), 1);
    EXPECT_EQ(cellIndexOfPane(6, 1, 9), 2);
    EXPECT_EQ(cellIndexOfPane(6, 1, 15), 8);
    EXPECT_EQ(firstPaneOfPage(6, 1), 7);
    EXPECT_EQ(firstPaneOfPage(7, 1), 10);
}

TEST(WallLayouts, PageTablesByChannelCount) {
    using T = PageTable;
    EXPECT_EQ(pageTableFor(4, PageTableUse::ViewStart), (T{4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(pageTableFor(5, PageTableUse::ViewStart), (T{8, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(pageTableFor(9, PageTableUse::ViewStart), (T{16, 4, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1}));
    EXPECT_EQ(pageTableFor(1, PageTableUse::Initialise), (T{4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pageTableFor(8, PageTableUse::Initialise), (T{8, 2, 2, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pageTableFor(16, PageTableUse::Initialise), pageTableFor(16, PageTableUse::ViewStart));
    EXPECT_EQ(pageCount(pageTableFor(1, PageTableUse::Initialise), 7), 1);  // 0 acts as one page
    EXPECT_EQ(pageCount(pageTableFor(16, PageTableUse::ViewStart), 99), 1);
}

TEST(WallLayouts, SourceRectanglesTrimTheEdge) {
    // 720 wide: 12 off the left and top, 10 off the right.
    const auto d1 = pictureSourceRect(DrawPath::Rgb, 720, 576);
    EXPECT_EQ(d1, (WallRect{12, 12, 710, 568}));
    EXPECT_EQ(d1.width(), 698);
    EXPECT_EQ(pictureSourceRect(DrawPath::Rgb, 368, 240), (WallRect{6, 6, 355, 236}));
    EXPECT_EQ(pictureSourceRect(DrawPath::Rgb, 352, 288), (WallRect{6, 6, 347, 284}));
    EXPECT_EQ(pictureSourceRect(DrawPath::Yuv, 704, 576), (WallRect{12, 12, 692, 568}));
    for (const auto path : {DrawPath::Rgb, DrawPath::Yuv}) {
        const auto tiny = pictureSourceRect(path, 4, 0);
        EXPECT_GE(tiny.width(), 0);
        EXPECT_GE(tiny.height(), 0);
        EXPECT_LE(tiny.right, 4);
    }
}

}  // namespace
}  // namespace kalix::media
