#include "skin_painter.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace kalix::res {
namespace {

// ---- palette -------------------------------------------------------------

constexpr Rgba kBarTop{52, 62, 78}, kBarBottom{26, 32, 42};
constexpr Rgba kEdgeLight{96, 112, 136}, kEdgeDark{10, 13, 18};
constexpr Rgba kFaceTop{66, 78, 96}, kFaceBottom{40, 48, 60};
constexpr Rgba kPressedTop{28, 72, 120}, kPressedBottom{44, 104, 168};
constexpr Rgba kDisabledTop{44, 48, 54}, kDisabledBottom{36, 40, 45};
constexpr Rgba kEmptyTop{30, 33, 38}, kEmptyBottom{26, 28, 32};
constexpr Rgba kInk{228, 236, 244}, kInkPressed{255, 255, 255}, kInkDisabled{98, 106, 116};
constexpr Rgba kShadow{8, 10, 14};
constexpr Rgba kAccent{80, 160, 230}, kRed{220, 56, 48}, kGreen{64, 200, 96}, kYellow{232, 200, 64};
constexpr Rgba kPanelTop{38, 45, 56}, kPanelBottom{24, 29, 37};
constexpr Rgba kWall{18, 22, 28};
constexpr Rgba kLcd{120, 220, 255}, kLcdUnlit{30, 40, 50};
constexpr Rgba kTransparent{0, 0, 0, 0};

// ---- 5 x 7 font ------------------------------------------------------------

struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows;  // bit 4 = leftmost dot
};

// clang-format off
constexpr Glyph kFont[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {' ', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'_', {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1F}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
};
// clang-format on

const Glyph* glyphOf(char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const Glyph& g : kFont)
        if (g.c == c) return &g;
    return nullptr;
}

Rgba mix(Rgba a, Rgba b, int num, int den) {
    auto m = [&](std::uint8_t x, std::uint8_t y) {
        return static_cast<std::uint8_t>((x * (den - num) + y * num) / den);
    };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), m(a.a, b.a)};
}

// ---- pictures ------------------------------------------------------------

struct FaceColours {
    Rgba top, bottom, ink;
    bool raised;
};

FaceColours faceColours(ui::FaceState state) {
    switch (state) {
        case ui::FaceState::Normal: return {kFaceTop, kFaceBottom, kInk, true};
        case ui::FaceState::Pressed: return {kPressedTop, kPressedBottom, kInkPressed, false};
        case ui::FaceState::Disabled: return {kDisabledTop, kDisabledBottom, kInkDisabled, true};
        case ui::FaceState::Empty: return {kEmptyTop, kEmptyBottom, kInkDisabled, false};
    }
    return {kFaceTop, kFaceBottom, kInk, true};
}

// Layout pictograms for the split buttons: panes of an n-pane layout drawn
// as outlined boxes in the rectangle (x, y, w, h).
void gridSymbol(Canvas& c, int x, int y, int w, int h, int panes, Rgba ink) {
    auto box = [&](int col, int row, int cols, int rows, int span = 1) {
        const int bw = w / cols, bh = h / rows;
        c.frame(x + col * bw, y + row * bh, bw * span + 1, bh * span + 1, ink);
    };
    switch (panes) {
        case 1: box(0, 0, 1, 1); break;
        case 4: for (int i = 0; i < 4; ++i) box(i % 2, i / 2, 2, 2); break;
        case 6:
        case 7:
        case 8:
        case 10:
        case 13: {
            const int grid = panes == 6 ? 3 : 4;  // one big pane in the top-left corner
            const int big = panes == 6 ? 2 : (panes == 13 ? 2 : 3);
            box(0, 0, grid, grid, big);
            for (int row = 0; row < grid; ++row)
                for (int col = 0; col < grid; ++col)
                    if (row >= big || col >= big) box(col, row, grid, grid);
            if (panes == 10 || panes == 7) c.frame(x + w / 2, y, 1, h / 2, ink);
            break;
        }
        case 9: for (int i = 0; i < 9; ++i) box(i % 3, i / 3, 3, 3); break;
        default: for (int i = 0; i < 16; ++i) box(i % 4, i / 4, 4, 4); break;
    }
}

void speaker(Canvas& c, int cx, int cy, int s, Rgba ink) {
    c.fillRect(cx - s, cy - s / 2, s / 2 + 1, s, ink);
    c.triangle(cx - s / 2, cy - s / 2, cx + s / 3, cy - s, cx + s / 3, cy + s, ink);
    c.triangle(cx - s / 2, cy + s / 2, cx - s / 2, cy - s / 2, cx + s / 3, cy + s, ink);
}

// Draws a #symbol centred in (x, y, w, h); false when the name is unknown.
bool symbol(Canvas& c, std::string_view name, int x, int y, int w, int h, Rgba ink) {
    const int cx = x + w / 2, cy = y + h / 2;
    const int s = std::max(3, std::min(w, h) / 3);
    if (name.starts_with("grid")) {
        int panes = 0;
        for (char d : name.substr(4)) panes = panes * 10 + (d - '0');
        const int gw = std::min(w - 12, 24), gh = std::min(h - 10, 18);
        gridSymbol(c, cx - gw / 2, cy - gh / 2, gw, gh, panes, ink);
        return true;
    }
    if (name == "play") {
        c.triangle(cx - s / 2, cy - s, cx - s / 2, cy + s, cx + s, cy, ink);
    } else if (name == "reverse") {
        c.triangle(cx + s / 2, cy - s, cx + s / 2, cy + s, cx - s, cy, ink);
    } else if (name == "pause") {
        c.fillRect(cx - s + 1, cy - s, s * 2 / 3, s * 2 + 1, ink);
        c.fillRect(cx + s / 3, cy - s, s * 2 / 3, s * 2 + 1, ink);
    } else if (name == "stop") {
        c.fillRect(cx - s + 1, cy - s + 1, s * 2 - 1, s * 2 - 1, ink);
    } else if (name == "record") {
        c.disc(cx, cy, s, ink.r == kInkDisabled.r ? ink : kRed);
    } else if (name == "step-back") {
        c.fillRect(cx - s, cy - s, 2, s * 2 + 1, ink);
        c.triangle(cx + s, cy - s, cx + s, cy + s, cx - s + 3, cy, ink);
    } else if (name == "step-forward") {
        c.fillRect(cx + s - 1, cy - s, 2, s * 2 + 1, ink);
        c.triangle(cx - s, cy - s, cx - s, cy + s, cx + s - 3, cy, ink);
    } else if (name == "speaker" || name == "speaker-on") {
        speaker(c, cx - s / 3, cy, s, name == "speaker-on" ? kGreen : ink);
        c.line(cx + s / 2 + 1, cy - s / 2, cx + s / 2 + 1, cy + s / 2, ink);
        c.line(cx + s, cy - s, cx + s, cy + s, ink);
    } else if (name == "muted") {
        speaker(c, cx - s / 3, cy, s, kInkDisabled);
        c.line(cx - s, cy - s, cx + s, cy + s, kRed);
        c.line(cx - s, cy + s, cx + s, cy - s, kRed);
    } else if (name == "next-audio") {
        speaker(c, cx - s / 2, cy, s * 2 / 3, ink);
        c.triangle(cx + s / 3, cy - s / 2, cx + s / 3, cy + s / 2, cx + s, cy, ink);
    } else if (name == "mic") {
        c.fillRect(cx - s / 3, cy - s, s * 2 / 3 + 1, s + 1, ink);
        c.line(cx - s * 2 / 3, cy, cx - s * 2 / 3, cy + s / 3, ink);
        c.line(cx + s * 2 / 3, cy, cx + s * 2 / 3, cy + s / 3, ink);
        c.line(cx - s * 2 / 3, cy + s / 3, cx + s * 2 / 3, cy + s / 3, ink);
        c.line(cx, cy + s / 3, cx, cy + s, ink);
    } else if (name == "ptz") {
        c.triangle(cx, y + 1, cx - 3, y + 4, cx + 3, y + 4, kYellow);
        c.triangle(cx, y + h - 2, cx - 3, y + h - 5, cx + 3, y + h - 5, kYellow);
        c.triangle(x + 1, cy, x + 4, cy - 3, x + 4, cy + 3, kYellow);
        c.triangle(x + w - 2, cy, x + w - 5, cy - 3, x + w - 5, cy + 3, kYellow);
    } else if (name == "up") {
        c.triangle(cx, cy - s, cx - s, cy + s / 2, cx + s, cy + s / 2, ink);
    } else if (name == "down") {
        c.triangle(cx, cy + s, cx - s, cy - s / 2, cx + s, cy - s / 2, ink);
    } else if (name == "left") {
        c.triangle(cx - s, cy, cx + s / 2, cy - s, cx + s / 2, cy + s, ink);
    } else if (name == "right") {
        c.triangle(cx + s, cy, cx - s / 2, cy - s, cx - s / 2, cy + s, ink);
    } else if (name == "slow") {
        c.triangle(cx - 4, cy - 5, cx - 4, cy + 5, cx + 3, cy, kAccent);
        c.fillRect(cx + 4, cy - 5, 2, 11, kAccent);
    } else if (name == "fast") {
        c.triangle(cx - 7, cy - 5, cx - 7, cy + 5, cx, cy, kAccent);
        c.triangle(cx, cy - 5, cx, cy + 5, cx + 7, cy, kAccent);
    } else if (name == "mark-ok") {
        c.line(cx - 5, cy, cx - 2, cy + 4, kGreen);
        c.line(cx - 2, cy + 4, cx + 5, cy - 5, kGreen);
        c.line(cx - 5, cy + 1, cx - 2, cy + 5, kGreen);
        c.line(cx - 2, cy + 5, cx + 5, cy - 4, kGreen);
    } else if (name == "mark-bad") {
        c.triangle(cx, y + 1, x + 1, y + h - 2, x + w - 2, y + h - 2, kRed);
        c.fillRect(cx - 1, cy - 2, 2, 5, kInkPressed);
        c.fillRect(cx - 1, y + h - 5, 2, 2, kInkPressed);
    } else {
        return false;
    }
    return true;
}

void paintLabel(Canvas& c, std::string_view label, int x, int y, int w, int h, Rgba ink, bool shadow) {
    if (label.empty()) return;
    if (label.front() == '#') {
        if (!symbol(c, label.substr(1), x, y, w, h, ink))
            throw std::invalid_argument("unknown skin symbol: " + std::string(label));
        return;
    }
    if (shadow) c.centredText(x + 1, y + 1, w, h, label, kShadow, 1);
    c.centredText(x, y, w, h, label, ink, 1);
}

void paintButton(Canvas& c, const ui::SkinPicture& p) {
    const FaceColours f = faceColours(p.state);
    const int w = p.width, h = p.height;
    c.fillRect(0, 0, w, h, kEdgeDark);
    c.verticalGradient(1, 1, w - 2, h - 2, f.top, f.bottom);
    c.bevel(1, 1, w - 2, h - 2, f.raised ? kEdgeLight : kEdgeDark, f.raised ? kEdgeDark : kEdgeLight, true);
    const int shift = p.state == ui::FaceState::Pressed ? 1 : 0;
    paintLabel(c, p.label, shift, shift, w, h, f.ink, p.state != ui::FaceState::Disabled);
    if (p.state == ui::FaceState::Pressed) c.frame(2, 2, w - 4, h - 4, kAccent);
}

void paintThumb(Canvas& c, const ui::SkinPicture& p) {
    const FaceColours f = faceColours(p.state);
    c.fillRect(0, 0, p.width, p.height, kEdgeDark);
    c.verticalGradient(1, 1, p.width - 2, p.height - 2, mix(f.top, kInk, 1, 3), f.bottom);
    c.bevel(1, 1, p.width - 2, p.height - 2, kEdgeLight, kEdgeDark, true);
    for (int i = 0; i < 3; ++i) c.fillRect(p.width / 2 - 2 + i * 2, 4, 1, p.height - 8, kEdgeDark);
}

void paintCheckBox(Canvas& c, const ui::SkinPicture& p) {
    const bool disabled = p.state == ui::FaceState::Disabled || p.state == ui::FaceState::Empty;
    const bool checked = p.state == ui::FaceState::Pressed || p.state == ui::FaceState::Empty;
    c.fillRect(0, 0, p.width, p.height, disabled ? kDisabledBottom : kWall);
    c.bevel(0, 0, p.width, p.height, kEdgeDark, kEdgeLight, true);
    if (checked) {
        const Rgba ink = disabled ? kInkDisabled : kAccent;
        for (int d = 0; d < 2; ++d) {
            c.line(3, 6 + d, 5, 9 + d, ink);
            c.line(5, 9 + d, 10, 3 + d, ink);
        }
    }
}

void paintTrack(Canvas& c, int w, int h) {
    c.fillRect(0, 0, w, h, kPanelBottom);
    c.bevel(0, 0, w, h, kEdgeDark, kEdgeLight, true);
    c.fillRect(2, h / 2 - 1, w - 4, 2, kWall);
}

void paintBar(Canvas& c, int w, int h, ui::SkinLook look) {
    const bool horizontal = look != ui::SkinLook::SideBar;
    if (horizontal) {
        c.verticalGradient(0, 0, w, h, kBarTop, kBarBottom);
    } else {
        c.verticalGradient(0, 0, w, h, mix(kBarTop, kBarBottom, 1, 3), mix(kBarTop, kBarBottom, 2, 3));
    }
    c.bevel(0, 0, w, h, kEdgeLight, kEdgeDark, true);
    // A thin accent groove along the inner edge.
    if (horizontal) {
        c.fillRect(4, look == ui::SkinLook::TopBar ? h - 4 : 3, w - 8, 1, mix(kAccent, kBarBottom, 1, 2));
    } else {
        c.fillRect(4, 4, 1, h - 8, mix(kAccent, kBarBottom, 1, 2));
    }
}

void paintPanel(Canvas& c, const ui::SkinPicture& p) {
    c.verticalGradient(0, 0, p.width, p.height, kPanelTop, kPanelBottom);
    c.bevel(0, 0, p.width, p.height, kEdgeLight, kEdgeDark, true);
    c.frame(3, 3, p.width - 6, p.height - 6, mix(kEdgeDark, kPanelTop, 1, 2));
    if (p.label == "#timeline") {
        // Sixteen channel rows (y = ch * 18 + 76, 8 high) in the 288-wide
        // bar area starting at x = 109, with ticks under the four labels.
        constexpr int left = 109, width = 288;
        for (int ch = 0; ch < 16; ++ch) {
            const int y = ch * 18 + 76;
            c.fillRect(left, y, width, 9, kWall);
            c.text(left - 22, y + 1, std::to_string(ch + 1), kInkDisabled, 1);
        }
        for (int t = 0; t <= 4; ++t) c.fillRect(left + t * 72, 70, 1, 289, kEdgeLight);
    }
}

void paintStrip(Canvas& c, const ui::SkinPicture& p) {
    const Rgba base = p.label == "#kind1" ? kRed : kGreen;
    c.verticalGradient(0, 0, p.width, p.height, mix(base, kInkPressed, 1, 3), mix(base, kShadow, 1, 3));
}

void paintLogo(Canvas& c, const ui::SkinPicture& p) {
    c.fillRect(0, 0, p.width, p.height, kTransparent);
    c.disc(18, p.height / 2, 14, kAccent);
    c.disc(18, p.height / 2, 8, kBarBottom);
    c.disc(18, p.height / 2, 4, kInk);
    c.text(40 + 2, (p.height - 21) / 2 + 2, p.label, kShadow, 3);
    c.text(40, (p.height - 21) / 2, p.label, kInk, 3);
}

}  // namespace

// ---- canvas ----------------------------------------------------------------

Canvas::Canvas(int width, int height, Rgba fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), fill) {}

Rgba Canvas::pixel(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }

void Canvas::set(int x, int y, Rgba c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    pixels_[static_cast<std::size_t>(y * width_ + x)] = c;
}

void Canvas::fillRect(int x, int y, int w, int h, Rgba c) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) set(i, j, c);
}

void Canvas::verticalGradient(int x, int y, int w, int h, Rgba top, Rgba bottom) {
    for (int j = 0; j < h; ++j) fillRect(x, y + j, w, 1, mix(top, bottom, j, std::max(1, h - 1)));
}

void Canvas::bevel(int x, int y, int w, int h, Rgba light, Rgba dark, bool raised) {
    const Rgba tl = raised ? light : dark, br = raised ? dark : light;
    fillRect(x, y, w, 1, tl);
    fillRect(x, y, 1, h, tl);
    fillRect(x, y + h - 1, w, 1, br);
    fillRect(x + w - 1, y, 1, h, br);
}

void Canvas::frame(int x, int y, int w, int h, Rgba c) { bevel(x, y, w, h, c, c, true); }

void Canvas::line(int x0, int y0, int x1, int y1, Rgba c) {
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        set(x0, y0, c);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) { err += dy; x0 += sx; }
        if (e2 <= dx) { err += dx; y0 += sy; }
    }
}

void Canvas::triangle(int x0, int y0, int x1, int y1, int x2, int y2, Rgba c) {
    const int minx = std::min({x0, x1, x2}), maxx = std::max({x0, x1, x2});
    const int miny = std::min({y0, y1, y2}), maxy = std::max({y0, y1, y2});
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    for (int y = miny; y <= maxy; ++y)
        for (int x = minx; x <= maxx; ++x) {
            const int a = edge(x0, y0, x1, y1, x, y), b = edge(x1, y1, x2, y2, x, y),
                      d = edge(x2, y2, x0, y0, x, y);
            if ((a >= 0 && b >= 0 && d >= 0) || (a <= 0 && b <= 0 && d <= 0)) set(x, y, c);
        }
}

void Canvas::disc(int cx, int cy, int radius, Rgba c) {
    for (int y = -radius; y <= radius; ++y)
        for (int x = -radius; x <= radius; ++x)
            if (x * x + y * y <= radius * radius + radius) set(cx + x, cy + y, c);
}

int Canvas::textWidth(std::string_view text, int scale) {
    return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scale - scale;
}

void Canvas::text(int x, int y, std::string_view text, Rgba c, int scale) {
    for (char ch : text) {
        const Glyph* g = glyphOf(ch);
        if (g == nullptr) throw std::invalid_argument(std::string("no glyph for '") + ch + "'");
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g->rows[static_cast<std::size_t>(row)] & (0x10 >> col))
                    fillRect(x + col * scale, y + row * scale, scale, scale, c);
        x += 6 * scale;
    }
}

void Canvas::centredText(int x, int y, int w, int h, std::string_view t, Rgba c, int scale) {
    text(x + (w - textWidth(t, scale)) / 2, y + (h - 7 * scale) / 2, t, c, scale);
}

// ---- pictures ----------------------------------------------------------------

Canvas paintSkinPicture(const ui::SkinPicture& p) {
    Canvas c(p.width, p.height, kWall);
    switch (p.look) {
        case ui::SkinLook::TopBar:
        case ui::SkinLook::BottomBar: paintBar(c, p.width, p.height, p.look); break;
        case ui::SkinLook::SideBar: paintBar(c, p.width, p.height, p.look); break;
        case ui::SkinLook::PositionBar:
            paintTrack(c, p.width, p.height);
            for (int x = 0; x <= 10; ++x) c.fillRect(2 + x * (p.width - 5) / 10, 1, 1, 3, kEdgeLight);
            break;
        case ui::SkinLook::WallBackground:
            c.verticalGradient(0, 0, p.width, p.height, mix(kWall, kPanelTop, 1, 2), kWall);
            break;
        case ui::SkinLook::Panel: paintPanel(c, p); break;
        case ui::SkinLook::Logo: paintLogo(c, p); break;
        case ui::SkinLook::Button: paintButton(c, p); break;
        case ui::SkinLook::Track: paintTrack(c, p.width, p.height); break;
        case ui::SkinLook::Thumb: paintThumb(c, p); break;
        case ui::SkinLook::CheckBox: paintCheckBox(c, p); break;
        case ui::SkinLook::Icon:
            c.fillRect(0, 0, p.width, p.height, kTransparent);
            paintLabel(c, p.label, 0, 0, p.width, p.height, kInk, false);
            break;
        case ui::SkinLook::Strip: paintStrip(c, p); break;
        case ui::SkinLook::Glyph: {
            // Lit characters on a dark face, doubled in the large set; a
            // digit cell shows its unlit segments behind, as a display does.
            c.fillRect(0, 0, p.width, p.height, kWall);
            const int scale = p.height >= 14 && p.label.size() == 1 ? 2 : 1;
            if (p.label.size() == 1 && p.label != ":") c.centredText(0, 0, p.width, p.height, "8", kLcdUnlit, scale);
            c.centredText(0, 0, p.width, p.height, p.label, kLcd, scale);
            break;
        }
    }
    return c;
}

// ---- PNG -------------------------------------------------------------------

namespace {

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void chunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    put32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<std::uint8_t> encodePng(const Canvas& canvas) {
    const auto w = static_cast<std::uint32_t>(canvas.width());
    const auto h = static_cast<std::uint32_t>(canvas.height());
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(h) * (1 + 4 * w));
    for (int y = 0; y < canvas.height(); ++y) {
        raw.push_back(0);  // filter: none
        for (int x = 0; x < canvas.width(); ++x) {
            const Rgba p = canvas.pixel(x, y);
            raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
        }
    }
    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    packed.resize(packed_size);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    put32(ihdr, w);
    put32(ihdr, h);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, no filter, no interlace
    chunk(out, "IHDR", ihdr);
    chunk(out, "IDAT", packed);
    chunk(out, "IEND", {});
    return out;
}

// ---- client pictures ---------------------------------------------------------

Canvas paintClientPicture(ClientPicture picture) {
    const int w = kClientPictureWidth, h = kClientPictureHeight;
    Canvas c(w, h);
    c.verticalGradient(0, 0, w, h, kPanelTop, kPanelBottom);
    if (picture == ClientPicture::Logo) {
        const int cx = w / 2, cy = h / 2 - 24;
        c.disc(cx, cy, 44, kAccent);
        c.disc(cx, cy, 27, kPanelTop);
        c.disc(cx, cy, 14, kInk);
        c.centredText(0, cy + 58, w, 30, "KALIX", kShadow, 4);
        c.centredText(-2, cy + 56, w, 30, "KALIX", kInk, 4);
    } else {
        c.fillRect(0, h / 2 - 30, w, 60, Rgba{96, 24, 22});
        c.fillRect(0, h / 2 - 30, w, 2, kRed);
        c.fillRect(0, h / 2 + 28, w, 2, kRed);
        c.centredText(0, h / 2 - 30, w, 60, "VIDEO LOSS", kInk, 4);
    }
    return c;
}

std::vector<std::uint8_t> encodeBmp(const Canvas& canvas) {
    const auto w = static_cast<std::uint32_t>(canvas.width());
    const auto h = static_cast<std::uint32_t>(canvas.height());
    const std::uint32_t row = (w * 3 + 3) / 4 * 4;
    const std::uint32_t data = row * h;
    std::vector<std::uint8_t> out(54 + data, 0);
    const auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, 54 + data);
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    out[26] = 1;   // planes
    out[28] = 24;  // bits per pixel
    put32(34, data);
    put32(38, 2835);  // 72 dpi
    put32(42, 2835);
    for (std::uint32_t y = 0; y < h; ++y) {
        std::uint8_t* line = out.data() + 54 + static_cast<std::size_t>(h - 1 - y) * row;
        for (std::uint32_t x = 0; x < w; ++x) {
            const Rgba p = canvas.pixel(static_cast<int>(x), static_cast<int>(y));
            line[3 * x] = p.b;
            line[3 * x + 1] = p.g;
            line[3 * x + 2] = p.r;
        }
    }
    return out;
}

}  // namespace kalix::res
