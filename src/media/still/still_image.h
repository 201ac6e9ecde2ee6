#pragma once
// Still pictures from the video: one pane's picture trimmed of its border,
// stretched to 800 × 600 with its date and time burned in, and written as
// JPEG, BMP or TIFF into the Saved folder; and the way back, a saved file
// read for the viewer.
//
// The composed picture is a device-independent bitmap: 24 bits per pixel,
// bytes B, G, R, the bottom row first.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kalix::media {

inline constexpr int kStillWidth = 800;
inline constexpr int kStillHeight = 600;
inline constexpr std::size_t kStillBytes = std::size_t{kStillWidth} * kStillHeight * 3;
inline constexpr std::size_t kBmpStillFileSize = kStillBytes + 54;

// The order matches the SaveFormat setting.
enum class StillFormat : std::uint8_t { Jpeg = 0, Bmp = 1, Tiff = 2 };

// ".jpg", ".bmp", ".tif".
const char* stillExtension(StillFormat format);

// A picture as the wall holds it: 24-bit RGB (w × h × 3, top row first,
// bytes R, G, B) or planar YUV 4:2:0 (Y, then the two chroma planes; with
// `chroma_swapped` the plane after Y is V).
struct StillSource {
    std::span<const std::uint8_t> picture;
    int width = 0;
    int height = 0;
    bool yuv = true;
    bool chroma_swapped = false;
};

// The part of the picture that is kept: the border the camera leaves is
// trimmed, more of it on large pictures.
struct TrimRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const TrimRect&, const TrimRect&) = default;
};
TrimRect stillTrim(int width, int height);

// "2011-03-10  14:25:30": the date in the order of `date_format` (0 year
// first, 1 month first, 2 day first), two spaces, the time.
struct StillTime {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;  // month 1-12, day 1-31
};
std::string stillCaption(const StillTime& time, int date_format);
// "20110310142530_0004.jpg" for channel 3 (0-15).
std::string stillFileName(const StillTime& time, int channel, StillFormat format);

// The 800 × 600 bitmap with the caption burned in near the bottom edge.
// Nothing when the source is smaller than its size says, or too small to
// trim.
std::optional<std::vector<std::uint8_t>> composeStill(const StillSource& source, const std::string& caption);

// Writers of a 24-bit bitmap (B, G, R, bottom row first). False, and no file
// left behind, when the file cannot be written.
bool writeBmp(const std::filesystem::path& path, std::span<const std::uint8_t> bitmap, int width, int height);
bool writeJpeg(const std::filesystem::path& path, std::span<const std::uint8_t> bitmap, int width, int height);
bool writeTiff(const std::filesystem::path& path, std::span<const std::uint8_t> bitmap, int width, int height);
bool writeStill(const std::filesystem::path& path, StillFormat format, std::span<const std::uint8_t> bitmap,
                int width, int height);

// A TIFF file read for display: R, G, B bytes, top row first. Nothing when
// the file is no TIFF the library can read.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};
std::optional<RgbImage> readTiff(const std::filesystem::path& path);

}  // namespace kalix::media
