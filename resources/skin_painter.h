#pragma once
// Paints the skin pictures of the resource bundle from their catalogue
// entries, and writes them as PNG. Plain C++ and zlib, so the bundle builds
// on a machine with nothing but the compiler and the Qt tools.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/skin/skin_catalogue.h"

namespace kalix::res {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

class Canvas {
public:
    Canvas(int width, int height, Rgba fill = {});

    int width() const { return width_; }
    int height() const { return height_; }
    Rgba pixel(int x, int y) const;
    void set(int x, int y, Rgba c);  // outside the canvas: ignored

    void fillRect(int x, int y, int w, int h, Rgba c);
    void verticalGradient(int x, int y, int w, int h, Rgba top, Rgba bottom);
    // Light edge on the top and left, dark edge on the bottom and right;
    // swapped (sunken) when `raised` is false.
    void bevel(int x, int y, int w, int h, Rgba light, Rgba dark, bool raised);
    void frame(int x, int y, int w, int h, Rgba c);
    void line(int x0, int y0, int x1, int y1, Rgba c);
    // Filled triangle, corners in pixel coordinates.
    void triangle(int x0, int y0, int x1, int y1, int x2, int y2, Rgba c);
    void disc(int cx, int cy, int radius, Rgba c);

    // Text in the built-in 5 x 7 pixel font (upper case, digits and a few
    // signs; lower case is drawn as upper case), `scale` pixels per dot.
    static int textWidth(std::string_view text, int scale);
    void text(int x, int y, std::string_view text, Rgba c, int scale);
    void centredText(int x, int y, int w, int h, std::string_view text, Rgba c, int scale);

    const std::vector<Rgba>& pixels() const { return pixels_; }

private:
    int width_;
    int height_;
    std::vector<Rgba> pixels_;
};

// The picture of one catalogue entry, of the entry's size.
Canvas paintSkinPicture(const ui::SkinPicture& picture);

// An 8-bit RGBA PNG of the canvas (deterministic: same pixels, same bytes).
std::vector<std::uint8_t> encodePng(const Canvas& canvas);

// The client's own picture files beside the bundle: the logo panes show
// (ComMark.bmp) and the video-loss picture (VdoLoss.bmp).
enum class ClientPicture : std::uint8_t { Logo, VideoLoss };
inline constexpr int kClientPictureWidth = 352, kClientPictureHeight = 288;
Canvas paintClientPicture(ClientPicture picture);

// A 24-bit bottom-up BMP of the canvas (alpha dropped).
std::vector<std::uint8_t> encodeBmp(const Canvas& canvas);

}  // namespace kalix::res
