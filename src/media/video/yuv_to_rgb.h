#pragma once
// Planar YUV 4:2:0 to 24-bit pixels, the one conversion shared by the wall's
// RGB drawing, the motion-event picture and picture export:
//
//   R = (74 (Y - 16) + 102 (V - 128)) >> 6
//   G = (74 (Y - 16) - 25 (U - 128) - 52 (V - 128)) >> 6
//   B = (74 (Y - 16) + 129 (U - 128)) >> 6
//
// each saturated to 0..255; every 2×2 block of Y shares one U and one V.

#include <cstddef>
#include <cstdint>
#include <span>

namespace kalix::media {

// A view of one picture's three planes. Chroma planes are (width + 1) / 2 by
// (height + 1) / 2 samples.
struct YuvPlanes {
    std::span<const std::uint8_t> y, u, v;
    std::size_t width = 0;
    std::size_t height = 0;
    std::size_t y_stride = 0;   // bytes per Y row
    std::size_t uv_stride = 0;  // bytes per U or V row

    // The planes packed back to back (Y, U, V) as a decoder writes them.
    static YuvPlanes packed(std::span<const std::uint8_t> picture, std::size_t width, std::size_t height);
    static constexpr std::size_t packedSize(std::size_t width, std::size_t height) {
        return width * height + 2 * ((width + 1) / 2) * ((height + 1) / 2);
    }
};

enum class PixelOrder : std::uint8_t { Rgb = 1, Bgr };        // byte order inside a pixel
enum class RowOrder : std::uint8_t { TopDown = 1, BottomUp };  // BottomUp: the first row is written last

// Writes width × height pixels, 3 bytes each, rows packed. False, with
// nothing written, when a plane or the output is too small for the size.
bool yuv420ToRgb24(const YuvPlanes& in, std::span<std::uint8_t> out, PixelOrder pixel_order,
                   RowOrder row_order);

// The row converters behind it: plain C++, and the vector ones this build
// and processor offer. All give the same bytes; the last one available is
// the one used. Naming one that is not available is refused like a short
// plane. For tests and measurements.
enum class RowKernel : std::uint8_t { Scalar = 1, Sse2, Ssse3, Avx2 };
std::span<const RowKernel> availableRowKernels();
bool yuv420ToRgb24(const YuvPlanes& in, std::span<std::uint8_t> out, PixelOrder pixel_order, RowOrder row_order,
                   RowKernel kernel);

}  // namespace kalix::media
