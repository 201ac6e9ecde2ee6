#include "sim/channel_picture.h"

#include <algorithm>
#include <array>
#include <string>

namespace kalix::sim {
namespace {

struct Colour {
    std::uint8_t y, u, v;
};

// One background per channel, dark enough for white digits.
constexpr std::array<Colour, 16> kBackgrounds{{
    {82, 90, 200},  {96, 200, 110}, {80, 160, 80},  {100, 100, 100}, {70, 200, 160}, {90, 110, 190},
    {110, 80, 140}, {76, 150, 200}, {88, 128, 128}, {104, 170, 70},  {72, 100, 150}, {96, 180, 180},
    {84, 70, 110},  {100, 140, 60}, {78, 210, 120}, {92, 120, 210},
}};
constexpr int kCheckerStep = 10;  // luma difference between neighbouring macroblocks
constexpr Colour kInk{235, 128, 128};
constexpr Colour kMarker{180, 60, 200};
constexpr Colour kCounterBox{40, 128, 128};

// 5 × 7 digits, one byte a row, bit 4 the leftmost pixel.
constexpr int kGlyphW = 5;
constexpr int kGlyphH = 7;
constexpr std::array<std::array<std::uint8_t, kGlyphH>, 10> kDigits{{
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E},
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F},
    {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02},
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E},
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E},
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
}};
constexpr int kCounterDigits = 6;
constexpr std::uint32_t kCounterModulus = 1'000'000;
constexpr int kMarkerStep = 6;  // pixels a frame

// Fills the luma rectangle [x0, x1) × [y0, y1), clipped to the picture, and
// every chroma sample whose top-left luma sample lies inside it.
void fill(YuvPicture& p, int x0, int y0, int x1, int y1, Colour c) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, p.width());
    y1 = std::min(y1, p.height());
    if (x0 >= x1 || y0 >= y1) return;
    const auto w = static_cast<std::size_t>(p.width());
    for (int y = y0; y < y1; ++y) {
        auto row = p.y().subspan(static_cast<std::size_t>(y) * w);
        std::fill(row.begin() + x0, row.begin() + x1, c.y);
    }
    const int cx0 = (x0 + 1) / 2, cx1 = (x1 + 1) / 2, cy0 = (y0 + 1) / 2, cy1 = (y1 + 1) / 2;
    for (int y = cy0; y < cy1; ++y) {
        const auto at = static_cast<std::size_t>(y) * (w / 2);
        std::fill(p.u().begin() + static_cast<std::ptrdiff_t>(at) + cx0, p.u().begin() + static_cast<std::ptrdiff_t>(at) + cx1, c.u);
        std::fill(p.v().begin() + static_cast<std::ptrdiff_t>(at) + cx0, p.v().begin() + static_cast<std::ptrdiff_t>(at) + cx1, c.v);
    }
}

void drawDigits(YuvPicture& p, int x, int y, int scale, const std::string& digits, Colour c) {
    for (const char ch : digits) {
        const auto& glyph = kDigits[static_cast<std::size_t>(ch - '0')];
        for (int row = 0; row < kGlyphH; ++row) {
            for (int col = 0; col < kGlyphW; ++col) {
                if ((glyph[static_cast<std::size_t>(row)] >> (kGlyphW - 1 - col) & 1) == 0) continue;
                fill(p, x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, c);
            }
        }
        x += (kGlyphW + 1) * scale;
    }
}

std::string twoDigits(int n) {
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

// The counter's digits are small: two pixels a dot up to 288 lines.
int counterScale(int height) { return std::max(2, height / 144); }

}  // namespace

ChannelPicture::ChannelPicture(int channel, int width, int height) : base_(width, height) {
    const Colour bg = kBackgrounds[static_cast<std::size_t>(channel) % kBackgrounds.size()];
    // A checkerboard of macroblocks puts a step at every macroblock edge: a
    // deblocking filter that touched anything would show.
    for (int mby = 0; mby * 16 < height; ++mby) {
        for (int mbx = 0; mbx * 16 < width; ++mbx) {
            Colour c = bg;
            c.y = static_cast<std::uint8_t>(((mbx + mby) % 2 == 0) ? bg.y + kCheckerStep : bg.y - kCheckerStep);
            fill(base_, mbx * 16, mby * 16, mbx * 16 + 16, mby * 16 + 16, c);
        }
    }
    // Odd offsets, so strokes cross macroblock edges.
    const int scale = std::max(2, height / 24);
    drawDigits(base_, width / 10 + 3, height / 8 + 5, scale, twoDigits(channel % 16 + 1), kInk);
}

void ChannelPicture::render(std::uint32_t index, YuvPicture& out) const {
    if (out.width() != base_.width() || out.height() != base_.height()) out = YuvPicture(base_.width(), base_.height());
    std::copy(base_.bytes().begin(), base_.bytes().end(), out.bytes().begin());
    const int w = base_.width();
    const int h = base_.height();

    const int scale = counterScale(h);
    const int cell = (kGlyphW + 1) * scale;
    const int x = 13;
    const int y = h - kGlyphH * scale - 11;
    fill(out, x - scale, y - scale, x + kCounterDigits * cell, y + (kGlyphH + 1) * scale, kCounterBox);
    std::string digits = std::to_string(index % kCounterModulus);
    digits.insert(0, static_cast<std::size_t>(kCounterDigits) - digits.size(), '0');
    drawDigits(out, x, y, scale, digits, kInk);

    const int side = 4 * scale;
    const int track = std::max(1, w - side - 10);
    const int mx = 5 + static_cast<int>((std::uint64_t{index} * kMarkerStep) % static_cast<std::uint64_t>(track));
    const int my = h * 3 / 4 - 3;
    fill(out, mx, my, mx + side, my + side, kMarker);
}

YuvPicture ChannelPicture::picture(std::uint32_t index) const {
    YuvPicture out(base_.width(), base_.height());
    render(index, out);
    return out;
}

}  // namespace kalix::sim
