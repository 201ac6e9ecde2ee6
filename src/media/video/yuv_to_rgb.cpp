#include "media/video/yuv_to_rgb.h"

#include <algorithm>

// SSE2 is part of every x86-64 processor; elsewhere the scalar rows are used.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KALIX_YUV_SSE2 1
#else
#define KALIX_YUV_SSE2 0
#endif

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
// Handles any width; the vector path below leaves it the last few pixels.
template <PixelOrder Order>
void convertRowScalar(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::size_t width,
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

#if KALIX_YUV_SSE2

// Sixteen pixels at a time in 16-bit lanes, giving exactly the values of
// the scalar formula. The sums for R and G stay within int16 (-14240..30640
// and -10963..27542), so an arithmetic shift floors them as >> does. The sum
// for B spans -17696..34069: it is lifted by 277 × 64 into 32..51797, shifted
// as unsigned and lowered by 277 again, which is the same floor. Packing to
// bytes saturates to 0..255.
constexpr std::size_t kVectorPixels = 16;

// Four pixels of four bytes each (the fourth one spare) to twelve packed
// bytes at the bottom of the register.
inline __m128i packFourPixels(__m128i pixels) {
    const __m128i even = _mm_and_si128(pixels, _mm_set_epi32(0, -1, 0, -1));
    const __m128i odd = _mm_srli_epi64(_mm_andnot_si128(_mm_set_epi32(0, -1, 0, -1), pixels), 8);
    const __m128i pairs = _mm_or_si128(even, odd);  // six bytes at the bottom of each 64-bit half
    return _mm_or_si128(_mm_move_epi64(pairs), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
}

template <PixelOrder Order>
void convertRowSse2(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::size_t width,
                    std::uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i c16 = _mm_set1_epi16(16);
    const __m128i k74 = _mm_set1_epi16(74);
    const __m128i k102 = _mm_set1_epi16(102);
    const __m128i k25 = _mm_set1_epi16(25);
    const __m128i k52 = _mm_set1_epi16(52);
    const __m128i k129 = _mm_set1_epi16(129);
    const __m128i b_lift = _mm_set1_epi16(277 * 64);
    const __m128i b_lower = _mm_set1_epi16(277);

    std::size_t x = 0;
    for (; x + kVectorPixels <= width; x += kVectorPixels) {
        const __m128i cb = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2)), zero), c128);
        const __m128i cr = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2)), zero), c128);
        const __m128i r_add = _mm_mullo_epi16(cr, k102);
        const __m128i g_sub = _mm_add_epi16(_mm_mullo_epi16(cb, k25), _mm_mullo_epi16(cr, k52));
        const __m128i b_add = _mm_mullo_epi16(cb, k129);

        const __m128i luma_bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        const __m128i luma[2] = {
            _mm_mullo_epi16(_mm_sub_epi16(_mm_unpacklo_epi8(luma_bytes, zero), c16), k74),
            _mm_mullo_epi16(_mm_sub_epi16(_mm_unpackhi_epi8(luma_bytes, zero), c16), k74)};
        // Each chroma term serves two neighbouring pixels.
        const __m128i r_adds[2] = {_mm_unpacklo_epi16(r_add, r_add), _mm_unpackhi_epi16(r_add, r_add)};
        const __m128i g_subs[2] = {_mm_unpacklo_epi16(g_sub, g_sub), _mm_unpackhi_epi16(g_sub, g_sub)};
        const __m128i b_adds[2] = {_mm_unpacklo_epi16(b_add, b_add), _mm_unpackhi_epi16(b_add, b_add)};

        __m128i r16[2], g16[2], b16[2];
        for (int half = 0; half < 2; ++half) {
            r16[half] = _mm_srai_epi16(_mm_add_epi16(luma[half], r_adds[half]), 6);
            g16[half] = _mm_srai_epi16(_mm_sub_epi16(luma[half], g_subs[half]), 6);
            const __m128i lifted = _mm_add_epi16(_mm_add_epi16(luma[half], b_adds[half]), b_lift);
            b16[half] = _mm_sub_epi16(_mm_srli_epi16(lifted, 6), b_lower);
        }
        const __m128i r = _mm_packus_epi16(r16[0], r16[1]);
        const __m128i g = _mm_packus_epi16(g16[0], g16[1]);
        const __m128i b = _mm_packus_epi16(b16[0], b16[1]);
        const __m128i first = Order == PixelOrder::Rgb ? r : b;
        const __m128i third = Order == PixelOrder::Rgb ? b : r;

        const __m128i pairs_lo = _mm_unpacklo_epi8(first, g);
        const __m128i pairs_hi = _mm_unpackhi_epi8(first, g);
        const __m128i third_lo = _mm_unpacklo_epi8(third, zero);
        const __m128i third_hi = _mm_unpackhi_epi8(third, zero);
        const __m128i p0 = packFourPixels(_mm_unpacklo_epi16(pairs_lo, third_lo));
        const __m128i p1 = packFourPixels(_mm_unpackhi_epi16(pairs_lo, third_lo));
        const __m128i p2 = packFourPixels(_mm_unpacklo_epi16(pairs_hi, third_hi));
        const __m128i p3 = packFourPixels(_mm_unpackhi_epi16(pairs_hi, third_hi));
        std::uint8_t* dst = out + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
    }
    convertRowScalar<Order>(y + x, u + x / 2, v + x / 2, width - x, out + 3 * x);
}

#endif

template <PixelOrder Order>
void convertRow(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::size_t width,
                std::uint8_t* out) {
#if KALIX_YUV_SSE2
    convertRowSse2<Order>(y, u, v, width, out);
#else
    convertRowScalar<Order>(y, u, v, width, out);
#endif
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
