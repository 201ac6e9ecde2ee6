#include "media/video/yuv_to_rgb.h"

#include <algorithm>

namespace kalix::media {

namespace {

inline std::uint8_t saturate(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// Rows `count` long at `stride` apart need (rows - 1) × stride + count bytes.
bool planeFits(std::span<const std::uint8_t> plane, std::size_t stride, std::size_t count, std::size_t rows) {
    if (rows == 0 || count == 0) return true;
    if (stride < count) return false;
    return plane.size() >= (rows - 1) * stride + count;
}

template <PixelOrder Order>
inline void putPixel(int luma, int r_add, int g_sub, int b_add, std::uint8_t* out) {
    const std::uint8_t r = saturate((luma + r_add) >> 6);
    const std::uint8_t g = saturate((luma - g_sub) >> 6);
    const std::uint8_t b = saturate((luma + b_add) >> 6);
    if constexpr (Order == PixelOrder::Rgb) {
        out[0] = r;
        out[1] = g;
        out[2] = b;
    } else {
        out[0] = b;
        out[1] = g;
        out[2] = r;
    }
}

// The chroma terms are worked out once per pair of pixels that share them.
template <PixelOrder Order>
void convertRow(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::size_t width,
                std::uint8_t* out) {
    for (std::size_t x = 0; x < width; x += 2) {
        const int cb = int{u[x / 2]} - 128;
        const int cr = int{v[x / 2]} - 128;
        const int r_add = 102 * cr;
        const int g_sub = 25 * cb + 52 * cr;
        const int b_add = 129 * cb;
        putPixel<Order>(74 * (int{y[x]} - 16), r_add, g_sub, b_add, out + 3 * x);
        if (x + 1 < width) putPixel<Order>(74 * (int{y[x + 1]} - 16), r_add, g_sub, b_add, out + 3 * x + 3);
    }
}

}  // namespace

YuvPlanes YuvPlanes::packed(std::span<const std::uint8_t> picture, std::size_t width, std::size_t height) {
    YuvPlanes planes;
    planes.width = width;
    planes.height = height;
    planes.y_stride = width;
    planes.uv_stride = (width + 1) / 2;
    const std::size_t luma = width * height;
    const std::size_t chroma = planes.uv_stride * ((height + 1) / 2);
    if (picture.size() < packedSize(width, height)) {
        planes.y = picture.first(std::min(picture.size(), luma));
        return planes;  // too short: the conversion refuses it
    }
    planes.y = picture.first(luma);
    planes.u = picture.subspan(luma, chroma);
    planes.v = picture.subspan(luma + chroma, chroma);
    return planes;
}

bool yuv420ToRgb24(const YuvPlanes& in, std::span<std::uint8_t> out, PixelOrder pixel_order,
                   RowOrder row_order) {
    const std::size_t w = in.width;
    const std::size_t h = in.height;
    const std::size_t cw = (w + 1) / 2;
    const std::size_t ch = (h + 1) / 2;
    const std::size_t row_bytes = w * 3;
    if (!planeFits(in.y, in.y_stride, w, h) || !planeFits(in.u, in.uv_stride, cw, ch) ||
        !planeFits(in.v, in.uv_stride, cw, ch) || out.size() < row_bytes * h)
        return false;

    for (std::size_t row = 0; row < h; ++row) {
        const std::uint8_t* y = in.y.data() + row * in.y_stride;
        const std::uint8_t* u = in.u.data() + (row / 2) * in.uv_stride;
        const std::uint8_t* v = in.v.data() + (row / 2) * in.uv_stride;
        const std::size_t out_row = row_order == RowOrder::TopDown ? row : h - 1 - row;
        std::uint8_t* dst = out.data() + out_row * row_bytes;
        if (pixel_order == PixelOrder::Rgb)
            convertRow<PixelOrder::Rgb>(y, u, v, w, dst);
        else
            convertRow<PixelOrder::Bgr>(y, u, v, w, dst);
    }
    return true;
}

}  // namespace kalix::media
