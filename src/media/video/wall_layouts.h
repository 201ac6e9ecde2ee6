#pragma once
// Geometry of the video wall: the 15 layouts, their pages, and the cell of
// each pane.
//
// A layout is a code 0-14. Each page of a layout shows the next panes in
// pane-number order in the cells of the layout's arrangement; a partial last
// page uses the first cells. Layout 6 is the odd one: its second page starts
// at pane 7, so panes 7 and 8 appear on both pages.
//
// Cells come from splitting each axis of the wall into n equal parts
// (n = 1..4, divisions truncating): part i runs from i*(L/n) + w to
// (i+1)*(L/n) - w, except that the wall's outer edges are 2w and L - 2w.
// Neighbouring panes are thus 2w apart. Rectangles are half-open: right and
// bottom are one past the last pixel.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kalix::media {

inline constexpr int kWallPanes = 16;
inline constexpr int kLayoutCount = 15;
inline constexpr int kMaxCellsPerPage = 16;

// Layout codes of the nine split buttons, in button order (1, 4, 6, 7, 8, 9,
// 10, 13 and 16 panes); the full-screen bar offers the same nine.
inline constexpr std::array<int, 9> kSplitLayouts{0, 1, 2, 3, 5, 6, 7, 13, 14};

// The full-screen bar's commands 400-408 are its split buttons; any other
// command leaves full screen (nullopt).
std::optional<int> layoutForBarCommand(int command);

struct WallRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    bool operator==(const WallRect&) const = default;
};

constexpr bool isValidLayout(int layout) { return layout >= 0 && layout < kLayoutCount; }

// Panes (= cells) on one page of the layout; 0 for an invalid code.
int panesPerPage(int layout);

// The cells of one page of the layout, in pane order, for a wall of the given
// client size and border width. Empty for an invalid code. Sizes too small
// for the border give empty rectangles, never inverted ones.
std::vector<WallRect> layoutCells(int layout, int width, int height, int border);

// The pane shown in the first cell of the page.
int firstPaneOfPage(int layout, int page);

// Panes shown by the layout's page, as a 16-bit mask. Layouts 2, 3, 4, 7-13
// show only panes below the channel count; the others fill their pages
// regardless.
std::uint16_t visiblePanes(int layout, int page, int channel_count);

// The cell index within the arrangement that pane takes in the layout while
// the page is current (layout 6 moves panes 7 and 8 to the first two cells
// on its second page). Panes not on that page keep the cell they have on
// their own page. nullopt for an invalid layout or pane.
std::optional<int> cellIndexOfPane(int layout, int page, int pane);

// Pages per layout code. 0 and 1 both mean a single page.
using PageTable = std::array<int, kLayoutCount>;

enum class PageTableUse {
    Initialise,  // the wall's first initialisation with a channel count
    ViewStart,   // live view or remote playback starting, or stopping (16)
};

PageTable pageTableFor(int channel_count, PageTableUse use);

// Pages of a layout from a table, at least 1.
int pageCount(const PageTable& table, int layout);

// The part of a decoded picture that is shown: the recorder's pictures carry
// a ragged edge that is trimmed before scaling to the cell. Coordinates are
// in picture pixels; never negative in size.
enum class DrawPath : int { Rgb = 0, Yuv = 1 };
WallRect pictureSourceRect(DrawPath path, int width, int height);

}  // namespace kalix::media
