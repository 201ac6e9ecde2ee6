#include "media/video/wall_layouts.h"

#include <algorithm>
#include <span>

namespace kalix::media {
namespace {

// One cell: columns col0..col1 and rows row0..row1 of an n x n grid.
struct Block {
    int n;
    int col0;
    int row0;
    int col1;
    int row1;
};

constexpr Block cell(int n, int col, int row) { return {n, col, row, col, row}; }
constexpr Block span4(int col0, int col1, int row0, int row1) {
    return {4, col0, row0, col1, row1};
}

template <std::size_t N>
constexpr std::array<Block, N> rowOrder(int n, int first_row = 0) {
    std::array<Block, N> cells{};
    for (std::size_t i = 0; i < N; ++i) {
        const int k = static_cast<int>(i) + first_row * n;
        cells[i] = cell(n, k % n, k / n);
    }
    return cells;
}

constexpr auto kLayout0 = std::array{Block{1, 0, 0, 0, 0}};
constexpr auto kLayout1 = rowOrder<4>(2);
constexpr auto kLayout2 = std::array{Block{3, 0, 0, 1, 1}, cell(3, 2, 0), cell(3, 2, 1),
                                     cell(3, 0, 2), cell(3, 1, 2), cell(3, 2, 2)};
constexpr auto kLayout3 = std::array{span4(0, 1, 0, 1), span4(2, 3, 0, 1), span4(0, 1, 2, 3),
                                     cell(4, 2, 2), cell(4, 3, 2), cell(4, 2, 3),
                                     cell(4, 3, 3)};
constexpr auto kLayout4 = std::array{span4(0, 1, 0, 1), span4(2, 3, 0, 1), cell(4, 0, 2),
                                     cell(4, 0, 3), span4(1, 2, 2, 3), cell(4, 3, 2),
                                     cell(4, 3, 3)};
constexpr auto kLayout5 = std::array{Block{4, 0, 0, 2, 2}, cell(4, 3, 0), cell(4, 3, 1),
                                     cell(4, 3, 2), cell(4, 0, 3), cell(4, 1, 3),
                                     cell(4, 2, 3), cell(4, 3, 3)};
constexpr auto kLayout6 = rowOrder<9>(3);
constexpr auto kLayout7 = std::array{span4(0, 1, 0, 1), span4(2, 3, 0, 1), cell(4, 0, 2),
                                     cell(4, 1, 2), cell(4, 2, 2), cell(4, 3, 2),
                                     cell(4, 0, 3), cell(4, 1, 3), cell(4, 2, 3),
                                     cell(4, 3, 3)};
constexpr auto kLayout8 = std::array{span4(0, 1, 0, 1), cell(4, 2, 0), cell(4, 3, 0),
                                     cell(4, 2, 1), cell(4, 3, 1), cell(4, 0, 2),
                                     cell(4, 1, 2), cell(4, 0, 3), cell(4, 1, 3),
                                     span4(2, 3, 2, 3)};
constexpr auto kLayout9 = std::array{cell(4, 0, 0), cell(4, 1, 0), cell(4, 2, 0),
                                     cell(4, 3, 0), span4(0, 1, 1, 2), span4(2, 3, 1, 2),
                                     cell(4, 0, 3), cell(4, 1, 3), cell(4, 2, 3),
                                     cell(4, 3, 3)};
constexpr auto kLayout10 = std::array{cell(4, 0, 0), cell(4, 1, 0), cell(4, 0, 1),
                                      cell(4, 1, 1), span4(2, 3, 0, 1), cell(4, 0, 2),
                                      cell(4, 0, 3), span4(1, 2, 2, 3), cell(4, 3, 2),
                                      cell(4, 3, 3)};
constexpr auto kLayout11 = std::array{span4(0, 1, 0, 1), cell(4, 2, 0), cell(4, 3, 0),
                                      cell(4, 2, 1), cell(4, 3, 1), cell(4, 0, 2),
                                      cell(4, 1, 2), cell(4, 2, 2), cell(4, 3, 2),
                                      cell(4, 0, 3), cell(4, 1, 3), cell(4, 2, 3),
                                      cell(4, 3, 3)};
constexpr auto kLayout12 = std::array{cell(4, 0, 0), cell(4, 1, 0), cell(4, 2, 0),
                                      cell(4, 3, 0), span4(0, 1, 1, 2), cell(4, 2, 1),
                                      cell(4, 3, 1), cell(4, 2, 2), cell(4, 3, 2),
                                      cell(4, 0, 3), cell(4, 1, 3), cell(4, 2, 3),
                                      cell(4, 3, 3)};
constexpr auto kLayout13 = std::array{cell(4, 0, 0), cell(4, 1, 0), cell(4, 2, 0),
                                      cell(4, 3, 0), cell(4, 0, 1), cell(4, 0, 2),
                                      span4(1, 2, 1, 2), cell(4, 3, 1), cell(4, 3, 2),
                                      cell(4, 0, 3), cell(4, 1, 3), cell(4, 2, 3),
                                      cell(4, 3, 3)};
constexpr auto kLayout14 = rowOrder<16>(4);

std::span<const Block> arrangement(int layout) {
    switch (layout) {
    case 0: return kLayout0;
    case 1: return kLayout1;
    case 2: return kLayout2;
    case 3: return kLayout3;
    case 4: return kLayout4;
    case 5: return kLayout5;
    case 6: return kLayout6;
    case 7: return kLayout7;
    case 8: return kLayout8;
    case 9: return kLayout9;
    case 10: return kLayout10;
    case 11: return kLayout11;
    case 12: return kLayout12;
    case 13: return kLayout13;
    case 14: return kLayout14;
    default: return {};
    }
}

int partStart(int i, int n, int length, int border) {
    return i == 0 ? 2 * border : i * (length / n) + border;
}

int partEnd(int i, int n, int length, int border) {
    return i == n - 1 ? length - 2 * border : (i + 1) * (length / n) - border;
}

// Layouts whose pages stop at the channel count.
bool limitedByChannelCount(int layout) {
    return layout == 2 || layout == 3 || layout == 4 || (layout >= 7 && layout <= 13);
}

}  // namespace

std::optional<int> layoutForBarCommand(int command) {
    constexpr int kFirstBarCommand = 400;
    const int index = command - kFirstBarCommand;
    if (index < 0 || index >= static_cast<int>(kSplitLayouts.size())) return std::nullopt;
    return kSplitLayouts[static_cast<std::size_t>(index)];
}

int panesPerPage(int layout) { return static_cast<int>(arrangement(layout).size()); }

std::vector<WallRect> layoutCells(int layout, int width, int height, int border) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    border = std::max(border, 0);
    std::vector<WallRect> cells;
    for (const Block& b : arrangement(layout)) {
        WallRect r{partStart(b.col0, b.n, width, border), partStart(b.row0, b.n, height, border),
                   partEnd(b.col1, b.n, width, border), partEnd(b.row1, b.n, height, border)};
        r.right = std::max(r.right, r.left);
        r.bottom = std::max(r.bottom, r.top);
        cells.push_back(r);
    }
    return cells;
}

int firstPaneOfPage(int layout, int page) {
    if (layout == 6 && page != 0) return 7;
    return panesPerPage(layout) * std::max(page, 0);
}

std::uint16_t visiblePanes(int layout, int page, int channel_count) {
    if (!isValidLayout(layout) || page < 0) return 0;
    const int first = firstPaneOfPage(layout, page);
    int end = first + panesPerPage(layout);
    if (limitedByChannelCount(layout)) end = std::min(end, channel_count);
    end = std::min(end, kWallPanes);
    std::uint32_t mask = 0;
    for (int pane = first; pane < end; ++pane) mask |= 1U << pane;
    return static_cast<std::uint16_t>(mask);
}

std::optional<int> cellIndexOfPane(int layout, int page, int pane) {
    if (!isValidLayout(layout) || pane < 0 || pane >= kWallPanes) return std::nullopt;
    if (layout == 6) {
        if (pane >= 9 || (page != 0 && pane >= 7)) return pane - 7;
        return pane;
    }
    return pane % panesPerPage(layout);
}

PageTable pageTableFor(int channel_count, PageTableUse use) {
    const bool initialise = use == PageTableUse::Initialise;
    if (channel_count <= 4) {
        if (initialise) return {4, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        return {4, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    }
    if (channel_count <= 8) {
        if (initialise) return {8, 2, 2, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
        return {8, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    }
    return {16, 4, 3, 3, 3, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1};
}

int pageCount(const PageTable& table, int layout) {
    if (!isValidLayout(layout)) return 1;
    return std::max(table[static_cast<std::size_t>(layout)], 1);
}

WallRect pictureSourceRect(DrawPath path, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    WallRect r;
    if (path == DrawPath::Yuv) {
        r = {12, 12, width - 12, height - 8};
    } else if (width == 720) {
        r = {12, 12, 12 + 698, 12 + height - 20};
    } else if (width == 368) {
        r = {6, 6, 6 + 349, 6 + height - 10};
    } else {
        r = {6, 6, 6 + width - 11, 6 + height - 10};
    }
    r.left = std::min(r.left, width);
    r.top = std::min(r.top, height);
    r.right = std::clamp(r.right, r.left, width);
    r.bottom = std::clamp(r.bottom, r.top, height);
    return r;
}

}  // namespace kalix::media
