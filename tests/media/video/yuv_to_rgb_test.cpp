#include "media/video/yuv_to_rgb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace kalix::media {
namespace {

using Rgb = std::array<std::uint8_t, 3>;

// A 4×4 picture of four 2×2 blocks, each block one Y value and one U, V pair:
//   (Y 100, U 150, V 90)  (Y 16, U 128, V 128)
//   (Y 81, U 90, V 240)   (Y 255, U 255, V 255)
struct BlockPicture {
    std::vector<std::uint8_t> bytes;
    static constexpr std::array<std::uint8_t, 4> kY{100, 16, 81, 255};
    static constexpr std::array<std::uint8_t, 4> kU{150, 128, 90, 255};
    static constexpr std::array<std::uint8_t, 4> kV{90, 128, 240, 255};
    // Worked by hand from the 6-bit formulas, saturated.
    static constexpr std::array<Rgb, 4> kExpected{Rgb{36, 119, 141}, Rgb{0, 0, 0}, Rgb{253, 0, 0},
                                                  Rgb{255, 123, 255}};

    BlockPicture() : bytes(YuvPlanes::packedSize(4, 4)) {
        for (std::size_t row = 0; row < 4; ++row)
            for (std::size_t col = 0; col < 4; ++col) bytes[row * 4 + col] = kY[(row / 2) * 2 + col / 2];
        for (std::size_t b = 0; b < 4; ++b) {
            bytes[16 + b] = kU[b];
            bytes[20 + b] = kV[b];
        }
    }
};

Rgb pixelAt(const std::vector<std::uint8_t>& out, std::size_t width, std::size_t row, std::size_t col) {
    const std::size_t at = (row * width + col) * 3;
    return {out[at], out[at + 1], out[at + 2]};
}

TEST(YuvToRgb, KnownValuesAndSharedChromaPerTwoByTwoBlock) {
    const BlockPicture picture;
    std::vector<std::uint8_t> out(4 * 4 * 3);
    ASSERT_TRUE(yuv420ToRgb24(YuvPlanes::packed(picture.bytes, 4, 4), out, PixelOrder::Rgb, RowOrder::TopDown));
    for (std::size_t row = 0; row < 4; ++row)
        for (std::size_t col = 0; col < 4; ++col)
            EXPECT_EQ(pixelAt(out, 4, row, col), BlockPicture::kExpected[(row / 2) * 2 + col / 2])
                << row << "," << col;
}

TEST(YuvToRgb, StudioWhiteAndBlack) {
    std::vector<std::uint8_t> picture(YuvPlanes::packedSize(2, 2), 128);
    picture[0] = 16;
    picture[1] = 235;
    picture[2] = 0;    // below black: clipped
    picture[3] = 255;
    std::vector<std::uint8_t> out(12);
    ASSERT_TRUE(yuv420ToRgb24(YuvPlanes::packed(picture, 2, 2), out, PixelOrder::Rgb, RowOrder::TopDown));
    EXPECT_EQ(pixelAt(out, 2, 0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(out, 2, 0, 1), (Rgb{253, 253, 253}));  // 74 × 219 >> 6
    EXPECT_EQ(pixelAt(out, 2, 1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(pixelAt(out, 2, 1, 1), (Rgb{255, 255, 255}));
}

TEST(YuvToRgb, BottomUpRowsAndBgrPixels) {
    const BlockPicture picture;
    std::vector<std::uint8_t> out(4 * 4 * 3);
    ASSERT_TRUE(yuv420ToRgb24(YuvPlanes::packed(picture.bytes, 4, 4), out, PixelOrder::Bgr, RowOrder::BottomUp));
    for (std::size_t row = 0; row < 4; ++row)
        for (std::size_t col = 0; col < 4; ++col) {
            const Rgb rgb = BlockPicture::kExpected[(row / 2) * 2 + col / 2];
            EXPECT_EQ(pixelAt(out, 4, 3 - row, col), (Rgb{rgb[2], rgb[1], rgb[0]})) << row << "," << col;
        }
}

TEST(YuvToRgb, StridedPlanesReadOnlyTheirPictures) {
    const BlockPicture picture;
    // The same picture in rows of 7 (Y) and 5 (U, V) bytes, padding set to 0.
    std::vector<std::uint8_t> y(7 * 3 + 4, 0), u(5 + 2, 0), v(5 + 2, 0);
    for (std::size_t row = 0; row < 4; ++row)
        for (std::size_t col = 0; col < 4; ++col) y[row * 7 + col] = picture.bytes[row * 4 + col];
    for (std::size_t r = 0; r < 2; ++r)
        for (std::size_t c = 0; c < 2; ++c) {
            u[r * 5 + c] = picture.bytes[16 + r * 2 + c];
            v[r * 5 + c] = picture.bytes[20 + r * 2 + c];
        }
    const YuvPlanes planes{.y = y, .u = u, .v = v, .width = 4, .height = 4, .y_stride = 7, .uv_stride = 5};
    std::vector<std::uint8_t> strided(48), packed(48);
    ASSERT_TRUE(yuv420ToRgb24(planes, strided, PixelOrder::Rgb, RowOrder::TopDown));
    ASSERT_TRUE(yuv420ToRgb24(YuvPlanes::packed(picture.bytes, 4, 4), packed, PixelOrder::Rgb, RowOrder::TopDown));
    EXPECT_EQ(strided, packed);
}

TEST(YuvToRgb, OddSizesUseRoundedUpChromaPlanes) {
    std::vector<std::uint8_t> picture(YuvPlanes::packedSize(3, 3));
    EXPECT_EQ(picture.size(), 9u + 2 * 4);
    std::fill(picture.begin(), picture.end(), 128);
    picture[9 + 3] = 255;   // U of the bottom-right sample
    std::vector<std::uint8_t> out(27);
    ASSERT_TRUE(yuv420ToRgb24(YuvPlanes::packed(picture, 3, 3), out, PixelOrder::Rgb, RowOrder::TopDown));
    EXPECT_EQ(pixelAt(out, 3, 2, 2), (Rgb{129, 79, 255}));
    EXPECT_EQ(pixelAt(out, 3, 1, 1), (Rgb{129, 129, 129}));
}

TEST(YuvToRgb, RefusesPlanesOrOutputTooSmallAndWritesNothing) {
    const BlockPicture picture;
    std::vector<std::uint8_t> out(47, 0xEE);
    EXPECT_FALSE(yuv420ToRgb24(YuvPlanes::packed(picture.bytes, 4, 4), out, PixelOrder::Rgb, RowOrder::TopDown));
    EXPECT_EQ(out, std::vector<std::uint8_t>(47, 0xEE));

    std::vector<std::uint8_t> big_out(48);
    const std::span<const std::uint8_t> short_picture(picture.bytes.data(), picture.bytes.size() - 1);
    EXPECT_FALSE(yuv420ToRgb24(YuvPlanes::packed(short_picture, 4, 4), big_out, PixelOrder::Rgb, RowOrder::TopDown));

    YuvPlanes narrow = YuvPlanes::packed(picture.bytes, 4, 4);
    narrow.y_stride = 3;  // rows would overlap
    EXPECT_FALSE(yuv420ToRgb24(narrow, big_out, PixelOrder::Rgb, RowOrder::TopDown));

    EXPECT_TRUE(yuv420ToRgb24(YuvPlanes{}, {}, PixelOrder::Rgb, RowOrder::TopDown));  // nothing to do
}

// The formula written out pixel by pixel, nothing shared between pixels.
std::vector<std::uint8_t> referenceConversion(const YuvPlanes& in, PixelOrder pixel_order, RowOrder row_order) {
    std::vector<std::uint8_t> out(in.width * in.height * 3);
    const auto clamp = [](int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); };
    for (std::size_t row = 0; row < in.height; ++row)
        for (std::size_t col = 0; col < in.width; ++col) {
            const int luma = int{in.y[row * in.y_stride + col]} - 16;
            const int cb = int{in.u[(row / 2) * in.uv_stride + col / 2]} - 128;
            const int cr = int{in.v[(row / 2) * in.uv_stride + col / 2]} - 128;
            const std::uint8_t r = clamp((74 * luma + 102 * cr) >> 6);
            const std::uint8_t g = clamp((74 * luma - 25 * cb - 52 * cr) >> 6);
            const std::uint8_t b = clamp((74 * luma + 129 * cb) >> 6);
            const std::size_t out_row = row_order == RowOrder::TopDown ? row : in.height - 1 - row;
            std::uint8_t* pixel = out.data() + (out_row * in.width + col) * 3;
            pixel[0] = pixel_order == PixelOrder::Rgb ? r : b;
            pixel[1] = g;
            pixel[2] = pixel_order == PixelOrder::Rgb ? b : r;
        }
    return out;
}

struct Orders {
    PixelOrder pixel;
    RowOrder row;
};
constexpr std::array<Orders, 4> kAllOrders{Orders{PixelOrder::Rgb, RowOrder::TopDown},
                                           Orders{PixelOrder::Rgb, RowOrder::BottomUp},
                                           Orders{PixelOrder::Bgr, RowOrder::TopDown},
                                           Orders{PixelOrder::Bgr, RowOrder::BottomUp}};

// Every (Y, U, V) triple once: chroma sample (column c, row k) carries U = c,
// V = k % 256, and its 2×2 block the four Y values 4 (k / 256) .. + 3.
TEST(YuvToRgb, EveryYuvTripleMatchesTheFormula) {
    constexpr std::size_t kChromaColumns = 256, kChromaRows = 256 * 64;
    constexpr std::size_t kWidth = 2 * kChromaColumns, kHeight = 2 * kChromaRows;
    std::vector<std::uint8_t> y(kWidth * kHeight), u(kChromaColumns * kChromaRows), v(u.size());
    for (std::size_t k = 0; k < kChromaRows; ++k)
        for (std::size_t c = 0; c < kChromaColumns; ++c) {
            u[k * kChromaColumns + c] = static_cast<std::uint8_t>(c);
            v[k * kChromaColumns + c] = static_cast<std::uint8_t>(k % 256);
            const std::size_t first_y = 4 * (k / 256);
            for (std::size_t corner = 0; corner < 4; ++corner)
                y[(2 * k + corner / 2) * kWidth + 2 * c + corner % 2] = static_cast<std::uint8_t>(first_y + corner);
        }
    const YuvPlanes planes{.y = y, .u = u, .v = v, .width = kWidth, .height = kHeight, .y_stride = kWidth,
                           .uv_stride = kChromaColumns};
    std::vector<std::uint8_t> out(kWidth * kHeight * 3);
    for (const Orders orders : kAllOrders) {
        const std::vector<std::uint8_t> expected = referenceConversion(planes, orders.pixel, orders.row);
        for (const RowKernel kernel : availableRowKernels()) {
            ASSERT_TRUE(yuv420ToRgb24(planes, out, orders.pixel, orders.row, kernel));
            const auto mismatch = std::mismatch(out.begin(), out.end(), expected.begin());
            EXPECT_TRUE(mismatch.first == out.end())
                << "pixel " << (mismatch.first - out.begin()) / 3 << " order " << static_cast<int>(orders.pixel)
                << "/" << static_cast<int>(orders.row) << " kernel " << static_cast<int>(kernel);
        }
    }
}

// Random planes of every width up to a few vector blocks and beyond, odd and
// even heights, rows padded or not; the bytes around the output stay as
// they were.
TEST(YuvToRgb, AnySizeAndStrideMatchesTheFormula) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::size_t> widths;
    for (std::size_t w = 1; w <= 70; ++w) widths.push_back(w);
    for (const std::size_t w : {127u, 129u, 352u, 703u, 704u, 705u}) widths.push_back(w);
    for (const std::size_t width : widths)
        for (const std::size_t height : {1u, 2u, 3u, 6u})
            for (const std::size_t padding : {0u, 1u, 13u}) {
                const std::size_t cw = (width + 1) / 2, ch = (height + 1) / 2;
                const std::size_t y_stride = width + padding, uv_stride = cw + padding;
                std::vector<std::uint8_t> y((height - 1) * y_stride + width);
                std::vector<std::uint8_t> u((ch - 1) * uv_stride + cw), v(u.size());
                for (auto* plane : {&y, &u, &v})
                    for (std::uint8_t& sample : *plane) sample = static_cast<std::uint8_t>(byte(random));
                const YuvPlanes planes{.y = y, .u = u, .v = v, .width = width, .height = height,
                                       .y_stride = y_stride, .uv_stride = uv_stride};
                for (const Orders orders : kAllOrders) {
                    const std::size_t bytes = width * height * 3;
                    std::vector<std::uint8_t> expected = referenceConversion(planes, orders.pixel, orders.row);
                    expected.resize(bytes + 8, 0xA5);
                    for (const RowKernel kernel : availableRowKernels()) {
                        std::vector<std::uint8_t> out(bytes + 8, 0xA5);
                        ASSERT_TRUE(
                            yuv420ToRgb24(planes, std::span(out).first(bytes), orders.pixel, orders.row, kernel));
                        EXPECT_EQ(out, expected) << width << "x" << height << " padding " << padding << " order "
                                                 << static_cast<int>(orders.pixel) << "/"
                                                 << static_cast<int>(orders.row) << " kernel "
                                                 << static_cast<int>(kernel);
                    }
                }
            }
}

TEST(YuvToRgb, PlainRowsAlwaysThereAndAnAbsentKernelIsRefused) {
    const auto kernels = availableRowKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_EQ(kernels.front(), RowKernel::Scalar);
    const BlockPicture picture;
    std::vector<std::uint8_t> out(48, 0xEE);
    for (const RowKernel kernel : {RowKernel::Sse2, RowKernel::Ssse3, RowKernel::Avx2}) {
        if (std::find(kernels.begin(), kernels.end(), kernel) != kernels.end()) continue;
        EXPECT_FALSE(
            yuv420ToRgb24(YuvPlanes::packed(picture.bytes, 4, 4), out, PixelOrder::Rgb, RowOrder::TopDown, kernel));
    }
    EXPECT_EQ(out, std::vector<std::uint8_t>(48, 0xEE));
}

}  // namespace
}  // namespace kalix::media
