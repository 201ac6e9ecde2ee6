#include "media/still/still_image.h"

#include <array>
#include <cstdio>
#include <memory>
#include <system_error>

#include "media/video/yuv_to_rgb.h"

namespace kalix::media {
namespace {

// The caption face: 5 × 7 cells for what a date and time can hold, drawn
// three times enlarged, which gives the 21-pixel line of the caption.
constexpr int kGlyphColumns = 5;
constexpr int kGlyphRows = 7;
constexpr int kGlyphScale = 3;
constexpr int kCaptionHeight = kGlyphRows * kGlyphScale;  // 21
constexpr int kGlyphAdvance = (kGlyphColumns + 1) * kGlyphScale;
// Where the caption goes: x from its length, top 569 (21 pixels tall, 10
// above the bottom edge).
constexpr int kCaptionTop = kStillHeight - kCaptionHeight - 10;

struct Glyph {
    char c;
    std::array<std::uint8_t, kGlyphRows> rows;  // bit 4 the leftmost column
};

constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}}, {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
};

const Glyph* glyphFor(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

// Caption colour: blue and green full, red 0.
constexpr std::array<std::uint8_t, 3> kCaptionBgr{0xFF, 0xFF, 0x00};

void burnCaption(std::vector<std::uint8_t>& bitmap, const std::string& caption) {
    const auto length = static_cast<int>(caption.size());
    int x = (kStillWidth + length * (-21) / 2) / 2;
    for (char c : caption) {
        if (const Glyph* g = glyphFor(c)) {
            for (int row = 0; row < kCaptionHeight; ++row) {
                const int y = kCaptionTop + row;  // from the top
                const std::uint8_t bits = g->rows[static_cast<std::size_t>(row / kGlyphScale)];
                for (int col = 0; col < kGlyphColumns * kGlyphScale; ++col) {
                    if (((bits >> (kGlyphColumns - 1 - col / kGlyphScale)) & 1u) == 0) continue;
                    const int px = x + col;
                    if (px < 0 || px >= kStillWidth || y < 0 || y >= kStillHeight) continue;
                    const auto at = (static_cast<std::size_t>(kStillHeight - 1 - y) * kStillWidth +
                                     static_cast<std::size_t>(px)) * 3;
                    std::copy(kCaptionBgr.begin(), kCaptionBgr.end(), bitmap.begin() + static_cast<std::ptrdiff_t>(at));
                }
            }
        }
        x += kGlyphAdvance;
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

void putLe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
void putLe32(std::uint8_t* p, std::uint32_t v) {
    putLe16(p, v & 0xFFFF);
    putLe16(p + 2, v >> 16);
}

bool bitmapFits(std::span<const std::uint8_t> bitmap, int width, int height) {
    return width > 0 && height > 0 &&
           bitmap.size() >= static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
}

}  // namespace

const char* stillExtension(StillFormat format) {
    switch (format) {
    case StillFormat::Jpeg: return ".jpg";
    case StillFormat::Bmp: return ".bmp";
    case StillFormat::Tiff: return ".tif";
    }
    return ".jpg";
}

TrimRect stillTrim(int width, int height) {
    if (width <= 700) return TrimRect{6, 6, width - 11, height - 10};
    return TrimRect{12, 12, width - 22, height - 20};
}

std::string stillCaption(const StillTime& t, int date_format) {
    char text[64];
    switch (date_format) {
    case 1:
        std::snprintf(text, sizeof text, "%02d-%02d-%04d  %02d:%02d:%02d", t.month, t.day, t.year, t.hour, t.minute,
                      t.second);
        break;
    case 2:
        std::snprintf(text, sizeof text, "%02d-%02d-%04d  %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                      t.second);
        break;
    default:
        std::snprintf(text, sizeof text, "%04d-%02d-%02d  %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
        break;
    }
    return text;
}

std::string stillFileName(const StillTime& t, int channel, StillFormat format) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d_00%02d%s", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, channel + 1, stillExtension(format));
    return text;
}

std::optional<std::vector<std::uint8_t>> composeStill(const StillSource& source, const std::string& caption) {
    const int w = source.width;
    const int h = source.height;
    if (w < 32 || h < 32 || w > 4096 || h > 4096) return std::nullopt;
    const auto uw = static_cast<std::size_t>(w);
    const auto uh = static_cast<std::size_t>(h);

    // The picture as R, G, B, top row first.
    std::vector<std::uint8_t> rgb;
    std::span<const std::uint8_t> pixels;
    if (source.yuv) {
        if (source.picture.size() < YuvPlanes::packedSize(uw, uh)) return std::nullopt;
        YuvPlanes planes = YuvPlanes::packed(source.picture, uw, uh);
        if (source.chroma_swapped) std::swap(planes.u, planes.v);
        rgb.resize(uw * uh * 3);
        if (!yuv420ToRgb24(planes, rgb, PixelOrder::Rgb, RowOrder::TopDown)) return std::nullopt;
        pixels = rgb;
    } else {
        if (source.picture.size() < uw * uh * 3) return std::nullopt;
        pixels = source.picture;
    }

    const TrimRect trim = stillTrim(w, h);
    std::vector<std::uint8_t> bitmap(kStillBytes);
    for (int y = 0; y < kStillHeight; ++y) {
        const auto sy = static_cast<std::size_t>(trim.y + y * trim.height / kStillHeight);
        std::uint8_t* out = bitmap.data() + static_cast<std::size_t>(kStillHeight - 1 - y) * kStillWidth * 3;
        const std::uint8_t* row = pixels.data() + sy * uw * 3;
        for (int x = 0; x < kStillWidth; ++x) {
            const auto sx = static_cast<std::size_t>(trim.x + x * trim.width / kStillWidth);
            const std::uint8_t* p = row + sx * 3;
            out[0] = p[2];
            out[1] = p[1];
            out[2] = p[0];
            out += 3;
        }
    }
    burnCaption(bitmap, caption);
    return bitmap;
}

bool writeBmp(const std::filesystem::path& path, std::span<const std::uint8_t> bitmap, int width, int height) {
    if (!bitmapFits(bitmap, width, height)) return false;
    const auto image = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 3;
    std::array<std::uint8_t, 54> head{};
    head[0] = 'B';
    head[1] = 'M';
    putLe32(&head[2], image + 54);
    putLe32(&head[10], 54);
    putLe32(&head[14], 40);
    putLe32(&head[18], static_cast<std::uint32_t>(width));
    putLe32(&head[22], static_cast<std::uint32_t>(height));
    putLe16(&head[26], 1);
    putLe16(&head[28], 24);
    putLe32(&head[34], image);
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    const bool ok = std::fwrite(head.data(), 1, head.size(), f.get()) == head.size() &&
                    std::fwrite(bitmap.data(), 1, image, f.get()) == image;
    const bool closed = std::fclose(f.release()) == 0;
    if (ok && closed) return true;
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return false;
}

bool writeStill(const std::filesystem::path& path, StillFormat format, std::span<const std::uint8_t> bitmap,
                int width, int height) {
    switch (format) {
    case StillFormat::Jpeg: return writeJpeg(path, bitmap, width, height);
    case StillFormat::Bmp: return writeBmp(path, bitmap, width, height);
    case StillFormat::Tiff: return writeTiff(path, bitmap, width, height);
    }
    return false;
}

}  // namespace kalix::media
