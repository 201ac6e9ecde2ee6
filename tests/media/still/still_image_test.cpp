#include "media/still/still_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "media/video/yuv_to_rgb.h"

namespace kalix::media {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16) |
           (std::uint32_t{b[at + 3]} << 24);
}

fs::path tempDir(const std::string& name) {
    const auto dir = fs::path(::testing::TempDir()) / ("kalix_still_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// A YUV picture of one flat colour, with a white frame exactly where a
// 352-wide picture's trim cuts: 6 pixels left and top, 5 right, 4 bottom.
std::vector<std::uint8_t> flatYuv(int w, int h, std::uint8_t y, std::uint8_t u, std::uint8_t v, int border = 0) {
    std::vector<std::uint8_t> p(YuvPlanes::packedSize(static_cast<std::size_t>(w), static_cast<std::size_t>(h)));
    const auto ys = static_cast<std::size_t>(w * h);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            const bool edge = border > 0 && (row < border || col < border || row >= h - (border - 2) ||
                                              col >= w - (border - 1));
            p[static_cast<std::size_t>(row * w + col)] = edge ? 235 : y;
        }
    const auto cs = (p.size() - ys) / 2;
    std::fill_n(p.begin() + static_cast<std::ptrdiff_t>(ys), cs, u);
    std::fill_n(p.begin() + static_cast<std::ptrdiff_t>(ys + cs), cs, v);
    return p;
}

// Pixel (x, y from the top) of a composed bitmap, as B, G, R.
std::array<std::uint8_t, 3> pixel(const std::vector<std::uint8_t>& bmp, int x, int y) {
    const auto at = (static_cast<std::size_t>(kStillHeight - 1 - y) * kStillWidth + static_cast<std::size_t>(x)) * 3;
    return {bmp[at], bmp[at + 1], bmp[at + 2]};
}

TEST(StillTrim, SmallPicturesLoseSixPixelsLargeOnesTwelve) {
    EXPECT_EQ(stillTrim(352, 240), (TrimRect{6, 6, 341, 230}));
    EXPECT_EQ(stillTrim(704, 480), (TrimRect{12, 12, 682, 460}));
    EXPECT_EQ(stillTrim(700, 576), (TrimRect{6, 6, 689, 566}));
}

TEST(StillNames, FileNameAndCaptionFollowTheClockAndDateOrder) {
    const StillTime t{2011, 3, 10, 14, 25, 30};
    EXPECT_EQ(stillFileName(t, 3, StillFormat::Jpeg), "20110310142530_0004.jpg");
    EXPECT_EQ(stillFileName(t, 15, StillFormat::Tiff), "20110310142530_0016.tif");
    EXPECT_EQ(stillFileName(t, 0, StillFormat::Bmp), "20110310142530_0001.bmp");
    EXPECT_EQ(stillCaption(t, 0), "2011-03-10  14:25:30");
    EXPECT_EQ(stillCaption(t, 1), "03-10-2011  14:25:30");
    EXPECT_EQ(stillCaption(t, 2), "10-03-2011  14:25:30");
}

TEST(ComposeStill, TrimsTheBorderStretchesAndBurnsTheCaptionIn) {
    // Mid grey inside a white frame: the frame must not survive the trim.
    const auto picture = flatYuv(352, 240, 126, 128, 128, 6);
    const auto bmp = composeStill(StillSource{picture, 352, 240, true, false}, "2011-03-10  14:25:30");
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->size(), kStillBytes);
    const std::uint8_t grey = static_cast<std::uint8_t>((74 * (126 - 16)) >> 6);
    for (const auto& [x, y] : {std::pair{0, 0}, {799, 0}, {0, 560}, {799, 599}, {400, 300}})
        EXPECT_EQ(pixel(*bmp, x, y), (std::array<std::uint8_t, 3>{grey, grey, grey})) << x << "," << y;
    // The caption: cyan pixels on the line that starts at y 569, none above.
    int caption = 0, above = 0;
    for (int y = 0; y < kStillHeight; ++y)
        for (int x = 0; x < kStillWidth; ++x)
            if (pixel(*bmp, x, y) == std::array<std::uint8_t, 3>{0xFF, 0xFF, 0x00}) (y >= 569 && y < 590 ? caption : above)++;
    EXPECT_GT(caption, 500);
    EXPECT_EQ(above, 0);
}

TEST(ComposeStill, ChromaOrderAndRgbSourcesGiveTheSameColours) {
    // Strong blue as YUV, once with V first.
    const auto blue = flatYuv(352, 288, 41, 240, 110);
    const auto swapped = flatYuv(352, 288, 41, 110, 240);
    const auto a = composeStill(StillSource{blue, 352, 288, true, false}, "");
    const auto b = composeStill(StillSource{swapped, 352, 288, true, true}, "");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
    const auto p = pixel(*a, 100, 100);
    EXPECT_GT(p[0], 200);  // blue
    EXPECT_LT(p[2], 40);   // red

    std::vector<std::uint8_t> rgb(352 * 288 * 3);
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 10;
        rgb[i + 1] = 20;
        rgb[i + 2] = 30;
    }
    const auto c = composeStill(StillSource{rgb, 352, 288, false, false}, "");
    ASSERT_TRUE(c);
    EXPECT_EQ(pixel(*c, 5, 5), (std::array<std::uint8_t, 3>{30, 20, 10}));
}

TEST(ComposeStill, PicturesShorterThanTheirSizeSayAreRefused) {
    const auto picture = flatYuv(352, 240, 100, 128, 128);
    EXPECT_FALSE(composeStill(StillSource{std::span(picture).first(1000), 352, 240, true, false}, ""));
    EXPECT_FALSE(composeStill(StillSource{picture, 352, 240, false, false}, ""));  // too short for RGB
    EXPECT_FALSE(composeStill(StillSource{picture, 0, 240, true, false}, ""));
    EXPECT_FALSE(composeStill(StillSource{picture, 8, 8, true, false}, ""));
}

class StillFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const auto picture = flatYuv(704, 480, 81, 90, 240);
        bitmap = *composeStill(StillSource{picture, 704, 480, true, false}, "2011-03-10  14:25:30");
        dir = tempDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::vector<std::uint8_t> bitmap;
    fs::path dir;
};

TEST_F(StillFiles, BmpIsAlwaysTheSameSizeWithItsHeaders) {
    const auto path = dir / "a.bmp";
    ASSERT_TRUE(writeBmp(path, bitmap, kStillWidth, kStillHeight));
    const auto bytes = readAll(path);
    ASSERT_EQ(bytes.size(), 1'440'054u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(le32(bytes, 2), 1'440'054u);
    EXPECT_EQ(le32(bytes, 10), 54u);
    EXPECT_EQ(le32(bytes, 14), 40u);
    EXPECT_EQ(le32(bytes, 18), 800u);
    EXPECT_EQ(le32(bytes, 22), 600u);
    EXPECT_EQ(bytes[26] | (bytes[27] << 8), 1);
    EXPECT_EQ(bytes[28] | (bytes[29] << 8), 24);
    EXPECT_EQ(le32(bytes, 34), 1'440'000u);
    EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.end(), bytes.begin() + 54));
}

TEST_F(StillFiles, TiffReadsBackAsTheSamePictureTopRowFirst) {
    const auto path = dir / "a.tif";
    ASSERT_TRUE(writeTiff(path, bitmap, kStillWidth, kStillHeight));
    const auto bytes = readAll(path);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes[0], 'M');  // big-endian
    EXPECT_EQ(bytes[1], 'M');
    const auto image = readTiff(path);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 800);
    ASSERT_EQ(image->height, 600);
    for (const auto& [x, y] : {std::pair{0, 0}, {400, 575}, {799, 599}}) {
        const auto p = pixel(bitmap, x, y);
        const auto at = (static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)) * 3;
        EXPECT_EQ(image->rgb[at], p[2]);
        EXPECT_EQ(image->rgb[at + 1], p[1]);
        EXPECT_EQ(image->rgb[at + 2], p[0]);
    }
}

TEST_F(StillFiles, JpegStartsAndEndsAsJpegWithTheStillSize) {
    const auto path = dir / "a.jpg";
    ASSERT_TRUE(writeJpeg(path, bitmap, kStillWidth, kStillHeight));
    const auto b = readAll(path);
    ASSERT_GT(b.size(), 1000u);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xD8);
    EXPECT_EQ(b[b.size() - 2], 0xFF);
    EXPECT_EQ(b[b.size() - 1], 0xD9);
    // The baseline frame header carries height and width.
    bool found = false;
    for (std::size_t i = 0; i + 9 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xC0) {
            EXPECT_EQ((b[i + 5] << 8) | b[i + 6], 600);
            EXPECT_EQ((b[i + 7] << 8) | b[i + 8], 800);
            EXPECT_EQ(b[i + 9], 3);
            found = true;
            break;
        }
    EXPECT_TRUE(found);
}

TEST_F(StillFiles, UnwritablePlacesAndShortBitmapsLeaveNoFile) {
    for (auto format : {StillFormat::Jpeg, StillFormat::Bmp, StillFormat::Tiff}) {
        EXPECT_FALSE(writeStill(dir / "missing" / "x", format, bitmap, kStillWidth, kStillHeight));
        const auto path = dir / (std::string("short") + stillExtension(format));
        EXPECT_FALSE(writeStill(path, format, std::span(bitmap).first(100), kStillWidth, kStillHeight));
        EXPECT_FALSE(fs::exists(path));
    }
}

TEST_F(StillFiles, ReadingSomethingThatIsNoTiffGivesNothing) {
    EXPECT_FALSE(readTiff(dir / "none.tif"));
    const auto jpg = dir / "a.jpg";
    ASSERT_TRUE(writeJpeg(jpg, bitmap, kStillWidth, kStillHeight));
    EXPECT_FALSE(readTiff(jpg));
    // A TIFF cut short: its header is there, its pixels are not.
    const auto tif = dir / "a.tif";
    ASSERT_TRUE(writeTiff(tif, bitmap, kStillWidth, kStillHeight));
    fs::resize_file(tif, 200);
    EXPECT_FALSE(readTiff(tif));
}

}  // namespace
}  // namespace kalix::media
