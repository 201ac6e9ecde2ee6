#include "media/video/yuv_to_rgb.h"

#include <algorithm>

#include <array>

// SSE2 is part of every x86-64 processor; elsewhere the scalar rows are used.
// SSSE3 and AVX2 are asked of the processor at run time where the compiler
// lets one function be built for them (GCC and clang).
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KALIX_YUV_SSE2 1
#else
#define KALIX_YUV_SSE2 0
#endif
#if KALIX_YUV_SSE2 && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KALIX_YUV_SSSE3 1
#define KALIX_TARGET_SSSE3 __attribute__((target("ssse3")))
#define KALIX_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define KALIX_YUV_SSSE3 0
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
// the scalar formula. 74 × 16 is taken off the chroma terms rather than off
// every Y. The sums for R and G stay within int16 (-14240..30640 and
// -10963..27542), so an arithmetic shift floors them as >> does. The sum for
// B spans -17696..34069: it is lifted by 277 × 64 into 32..51797 (the lifted
// chroma term wraps past 32767, which the unsigned sum puts right), shifted
// as unsigned and lowered by 277 again, which is the same floor. Packing to
// bytes saturates to 0..255.
constexpr std::size_t kVectorPixels = 16;

struct SixteenPixels {
    __m128i first, g, third;  // R or B first, as the pixel order has it
};

template <PixelOrder Order>
inline SixteenPixels convertSixteen(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    const __m128i cb =
        _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u)), zero), c128);
    const __m128i cr =
        _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v)), zero), c128);
    const __m128i r_add = _mm_sub_epi16(_mm_mullo_epi16(cr, _mm_set1_epi16(102)), _mm_set1_epi16(74 * 16));
    const __m128i g_sub =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(cb, _mm_set1_epi16(25)), _mm_mullo_epi16(cr, _mm_set1_epi16(52))),
                      _mm_set1_epi16(74 * 16));
    const __m128i b_add = _mm_add_epi16(_mm_mullo_epi16(cb, _mm_set1_epi16(129)), _mm_set1_epi16(277 * 64 - 74 * 16));

    const __m128i luma_bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i k74 = _mm_set1_epi16(74);
    const __m128i luma[2] = {_mm_mullo_epi16(_mm_unpacklo_epi8(luma_bytes, zero), k74),
                             _mm_mullo_epi16(_mm_unpackhi_epi8(luma_bytes, zero), k74)};
    // Each chroma term serves two neighbouring pixels.
    const __m128i r_adds[2] = {_mm_unpacklo_epi16(r_add, r_add), _mm_unpackhi_epi16(r_add, r_add)};
    const __m128i g_subs[2] = {_mm_unpacklo_epi16(g_sub, g_sub), _mm_unpackhi_epi16(g_sub, g_sub)};
    const __m128i b_adds[2] = {_mm_unpacklo_epi16(b_add, b_add), _mm_unpackhi_epi16(b_add, b_add)};

    const __m128i b_lower = _mm_set1_epi16(277);
    __m128i r16[2], g16[2], b16[2];
    for (int half = 0; half < 2; ++half) {
        r16[half] = _mm_srai_epi16(_mm_add_epi16(luma[half], r_adds[half]), 6);
        g16[half] = _mm_srai_epi16(_mm_sub_epi16(luma[half], g_subs[half]), 6);
        b16[half] = _mm_sub_epi16(_mm_srli_epi16(_mm_add_epi16(luma[half], b_adds[half]), 6), b_lower);
    }
    const __m128i r = _mm_packus_epi16(r16[0], r16[1]);
    const __m128i g = _mm_packus_epi16(g16[0], g16[1]);
    const __m128i b = _mm_packus_epi16(b16[0], b16[1]);
    if constexpr (Order == PixelOrder::Rgb)
        return {r, g, b};
    else
        return {b, g, r};
}

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
    std::size_t x = 0;
    for (; x + kVectorPixels <= width; x += kVectorPixels) {
        const SixteenPixels px = convertSixteen<Order>(y + x, u + x / 2, v + x / 2);
        const __m128i pairs_lo = _mm_unpacklo_epi8(px.first, px.g);
        const __m128i pairs_hi = _mm_unpackhi_epi8(px.first, px.g);
        const __m128i third_lo = _mm_unpacklo_epi8(px.third, zero);
        const __m128i third_hi = _mm_unpackhi_epi8(px.third, zero);
        const __m128i p0 = packFourPixels(_mm_unpacklo_epi16(pairs_lo, third_lo));
        const __m128i p1 = packFourPixels(_mm_unpackhi_epi16(pairs_lo, third_lo));
        const __m128i p2 = packFourPixels(_mm_unpacklo_epi16(pairs_hi, third_hi));
        const __m128i p3 = packFourPixels(_mm_unpackhi_epi16(pairs_hi, third_hi));
        std::uint8_t* dst = out + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16),
                         _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32),
                         _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
    }
    convertRowScalar<Order>(y + x, u + x / 2, v + x / 2, width - x, out + 3 * x);
}

#endif

#if KALIX_YUV_SSSE3

// One 16-byte piece of the 48 output bytes, its bytes taken from the three
// channel registers.
KALIX_TARGET_SSSE3 inline __m128i outputPiece(const SixteenPixels& px, __m128i from_first, __m128i from_g,
                                              __m128i from_third) {
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(px.first, from_first), _mm_shuffle_epi8(px.g, from_g)),
                        _mm_shuffle_epi8(px.third, from_third));
}

// The same sixteen pixels, interleaved by byte shuffles.
template <PixelOrder Order>
KALIX_TARGET_SSSE3 void convertRowSsse3(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                                        std::size_t width, std::uint8_t* out) {
    const __m128i first0 = _mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5);
    const __m128i g0 = _mm_setr_epi8(-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1);
    const __m128i third0 = _mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1);
    const __m128i first1 = _mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1);
    const __m128i g1 = _mm_setr_epi8(5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10);
    const __m128i third1 = _mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1);
    const __m128i first2 = _mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1);
    const __m128i g2 = _mm_setr_epi8(-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1);
    const __m128i third2 = _mm_setr_epi8(10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15);
    std::size_t x = 0;
    for (; x + kVectorPixels <= width; x += kVectorPixels) {
        const SixteenPixels px = convertSixteen<Order>(y + x, u + x / 2, v + x / 2);
        std::uint8_t* dst = out + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), outputPiece(px, first0, g0, third0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), outputPiece(px, first1, g1, third1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), outputPiece(px, first2, g2, third2));
    }
    convertRowScalar<Order>(y + x, u + x / 2, v + x / 2, width - x, out + 3 * x);
}

// Thirty-two pixels a step in 256-bit registers. The 8-bit to 16-bit unpacks
// work inside each 128-bit half, so the low Y lanes are pixels 0..7 and
// 16..23 and meet the chroma of 0..3 and 8..11 the same way; the packs put
// the pixels back in order, each half shuffled like sixteen SSSE3 pixels.
template <PixelOrder Order>
KALIX_TARGET_AVX2 void convertRowAvx2(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v,
                                      std::size_t width, std::uint8_t* out) {
    constexpr std::size_t kStep = 32;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c128 = _mm256_set1_epi16(128);
    const __m256i k74 = _mm256_set1_epi16(74);
    const __m256i b_lower = _mm256_set1_epi16(277);
    const __m256i first0 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5));
    const __m256i g0 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(-1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1));
    const __m256i third0 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1));
    const __m256i first1 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1));
    const __m256i g1 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10));
    const __m256i third1 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1));
    const __m256i first2 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1));
    const __m256i g2 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(-1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1));
    const __m256i third2 =
        _mm256_broadcastsi128_si256(_mm_setr_epi8(10, -1, -1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15));
    std::size_t x = 0;
    for (; x + kStep <= width; x += kStep) {
        const __m256i cb =
            _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(u + x / 2))), c128);
        const __m256i cr =
            _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + x / 2))), c128);
        const __m256i r_add =
            _mm256_sub_epi16(_mm256_mullo_epi16(cr, _mm256_set1_epi16(102)), _mm256_set1_epi16(74 * 16));
        const __m256i g_sub = _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(cb, _mm256_set1_epi16(25)),
                                                                _mm256_mullo_epi16(cr, _mm256_set1_epi16(52))),
                                               _mm256_set1_epi16(74 * 16));
        const __m256i b_add =
            _mm256_add_epi16(_mm256_mullo_epi16(cb, _mm256_set1_epi16(129)), _mm256_set1_epi16(277 * 64 - 74 * 16));

        const __m256i luma_bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + x));
        const __m256i luma[2] = {_mm256_mullo_epi16(_mm256_unpacklo_epi8(luma_bytes, zero), k74),
                                 _mm256_mullo_epi16(_mm256_unpackhi_epi8(luma_bytes, zero), k74)};
        const __m256i r_adds[2] = {_mm256_unpacklo_epi16(r_add, r_add), _mm256_unpackhi_epi16(r_add, r_add)};
        const __m256i g_subs[2] = {_mm256_unpacklo_epi16(g_sub, g_sub), _mm256_unpackhi_epi16(g_sub, g_sub)};
        const __m256i b_adds[2] = {_mm256_unpacklo_epi16(b_add, b_add), _mm256_unpackhi_epi16(b_add, b_add)};
        __m256i r16[2], g16[2], b16[2];
        for (int half = 0; half < 2; ++half) {
            r16[half] = _mm256_srai_epi16(_mm256_add_epi16(luma[half], r_adds[half]), 6);
            g16[half] = _mm256_srai_epi16(_mm256_sub_epi16(luma[half], g_subs[half]), 6);
            b16[half] = _mm256_sub_epi16(_mm256_srli_epi16(_mm256_add_epi16(luma[half], b_adds[half]), 6), b_lower);
        }
        const __m256i r = _mm256_packus_epi16(r16[0], r16[1]);
        const __m256i g = _mm256_packus_epi16(g16[0], g16[1]);
        const __m256i b = _mm256_packus_epi16(b16[0], b16[1]);
        const __m256i first = Order == PixelOrder::Rgb ? r : b;
        const __m256i third = Order == PixelOrder::Rgb ? b : r;
        // Each half of a piece holds sixteen bytes of its own sixteen pixels.
        const __m256i piece0 =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, first0), _mm256_shuffle_epi8(g, g0)),
                            _mm256_shuffle_epi8(third, third0));
        const __m256i piece1 =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, first1), _mm256_shuffle_epi8(g, g1)),
                            _mm256_shuffle_epi8(third, third1));
        const __m256i piece2 =
            _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(first, first2), _mm256_shuffle_epi8(g, g2)),
                            _mm256_shuffle_epi8(third, third2));
        std::uint8_t* dst = out + 3 * x;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_permute2x128_si256(piece0, piece1, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32), _mm256_permute2x128_si256(piece2, piece0, 0x30));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 64), _mm256_permute2x128_si256(piece1, piece2, 0x31));
    }
    convertRowSsse3<Order>(y + x, u + x / 2, v + x / 2, width - x, out + 3 * x);
}

bool processorHasSsse3() {
#if defined(__SSSE3__)
    return true;
#else
    __builtin_cpu_init();  // needed when the first conversion runs from a static initialiser
    return __builtin_cpu_supports("ssse3") != 0;
#endif
}

bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}

#endif

using RowConverter = void (*)(const std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::size_t,
                              std::uint8_t*);

template <PixelOrder Order>
RowConverter rowConverter(RowKernel kernel) {
    switch (kernel) {
#if KALIX_YUV_SSSE3
    case RowKernel::Avx2: return convertRowAvx2<Order>;
    case RowKernel::Ssse3: return convertRowSsse3<Order>;
#endif
#if KALIX_YUV_SSE2
    case RowKernel::Sse2: return convertRowSse2<Order>;
#endif
    default: return convertRowScalar<Order>;
    }
}

struct Kernels {
    std::array<RowKernel, 4> list{};
    std::size_t count = 0;
};

Kernels detectKernels() {
    Kernels kernels;
    kernels.list[kernels.count++] = RowKernel::Scalar;
#if KALIX_YUV_SSE2
    kernels.list[kernels.count++] = RowKernel::Sse2;
#endif
#if KALIX_YUV_SSSE3
    if (processorHasSsse3()) kernels.list[kernels.count++] = RowKernel::Ssse3;
    if (processorHasSsse3() && processorHasAvx2()) kernels.list[kernels.count++] = RowKernel::Avx2;
#endif
    return kernels;
}

const Kernels& kernels() {
    static const Kernels detected = detectKernels();
    return detected;
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

std::span<const RowKernel> availableRowKernels() { return {kernels().list.data(), kernels().count}; }

bool yuv420ToRgb24(const YuvPlanes& in, std::span<std::uint8_t> out, PixelOrder pixel_order,
                   RowOrder row_order) {
    return yuv420ToRgb24(in, out, pixel_order, row_order, kernels().list[kernels().count - 1]);
}

bool yuv420ToRgb24(const YuvPlanes& in, std::span<std::uint8_t> out, PixelOrder pixel_order, RowOrder row_order,
                   RowKernel kernel) {
    const std::size_t w = in.width;
    const std::size_t h = in.height;
    const std::size_t cw = (w + 1) / 2;
    const std::size_t ch = (h + 1) / 2;
    const std::size_t row_bytes = w * 3;
    if (!planeFits(in.y, in.y_stride, w, h) || !planeFits(in.u, in.uv_stride, cw, ch) ||
        !planeFits(in.v, in.uv_stride, cw, ch) || out.size() < row_bytes * h)
        return false;
    const auto available = availableRowKernels();
    if (std::find(available.begin(), available.end(), kernel) == available.end()) return false;

    const RowConverter convert =
        pixel_order == PixelOrder::Rgb ? rowConverter<PixelOrder::Rgb>(kernel) : rowConverter<PixelOrder::Bgr>(kernel);
    for (std::size_t row = 0; row < h; ++row) {
        const std::uint8_t* y = in.y.data() + row * in.y_stride;
        const std::uint8_t* u = in.u.data() + (row / 2) * in.uv_stride;
        const std::uint8_t* v = in.v.data() + (row / 2) * in.uv_stride;
        const std::size_t out_row = row_order == RowOrder::TopDown ? row : h - 1 - row;
        convert(y, u, v, w, out.data() + out_row * row_bytes);
    }
    return true;
}

}  // namespace kalix::media
