#include "media/video/h264_decoder_library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "h264_test_clips.h"
#include "media/video/md5.h"

namespace kalix::media {
namespace {

using testing::accessUnits;
using testing::readFile;
using testing::readLines;

const std::string kClip = std::string(KALIX_TEST_DATA_DIR) + "/h264/clip352x288.264";
const std::string kMd5 = std::string(KALIX_TEST_DATA_DIR) + "/h264/clip352x288.md5";

TEST(H264DecoderLibrary, EveryPictureMatchesTheReferenceDecoderBitForBit) {
    const auto units = accessUnits(readFile(kClip));
    const auto expected = readLines(kMd5);
    ASSERT_EQ(units.size(), expected.size());
    DecoderContext ctx;
    ASSERT_EQ(PT_H264dec_Init(ctx), 0);
    EXPECT_NE(ctx.initialised, 0u);
    std::vector<std::uint8_t> picture(1'244'160);
    for (std::size_t i = 0; i < units.size(); ++i) {
        ASSERT_EQ(PT_H264dec_GetOneFrame(ctx, units[i].data(), static_cast<int>(units[i].size()), picture),
                  kDecodedPicture)
            << i;
        EXPECT_EQ(ctx.width, 352);
        EXPECT_EQ(ctx.height, 288);
        EXPECT_EQ(md5Hex({picture.data(), 352 * 288 * 3 / 2}), expected[i]) << "picture " << i;
    }
    PT_H264dec_Uninit(ctx);
    EXPECT_EQ(ctx.initialised, 0u);
}

TEST(H264DecoderLibrary, RgbOutputUsesStudioRangeFixedPoint) {
    const auto units = accessUnits(readFile(kClip));
    DecoderContext yuv_ctx;
    DecoderContext rgb_ctx;
    rgb_ctx.output = DecoderOutput::Rgb24;
    ASSERT_EQ(PT_H264dec_Init(yuv_ctx), 0);
    ASSERT_EQ(PT_H264dec_Init(rgb_ctx), 0);
    std::vector<std::uint8_t> yuv(1'244'160);
    std::vector<std::uint8_t> rgb(1'244'160);
    const auto& u0 = units[0];
    ASSERT_EQ(PT_H264dec_GetOneFrame(yuv_ctx, u0.data(), static_cast<int>(u0.size()), yuv), kDecodedPicture);
    ASSERT_EQ(PT_H264dec_GetOneFrame(rgb_ctx, u0.data(), static_cast<int>(u0.size()), rgb), kDecodedPicture);
    const int w = 352;
    const int h = 288;
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    for (const auto& [x, y] : {std::pair{0, 0}, {100, 50}, {351, 287}, {200, 201}}) {
        const int c = 74 * (yuv[static_cast<std::size_t>(y * w + x)] - 16);
        const int u = yuv[static_cast<std::size_t>(w * h + (y / 2) * (w / 2) + x / 2)] - 128;
        const int v = yuv[static_cast<std::size_t>(w * h + (w / 2) * (h / 2) + (y / 2) * (w / 2) + x / 2)] - 128;
        const std::uint8_t* p = &rgb[static_cast<std::size_t>((y * w + x) * 3)];
        EXPECT_EQ(p[0], clamp((c + 102 * v) >> 6));
        EXPECT_EQ(p[1], clamp((c - 25 * u - 52 * v) >> 6));
        EXPECT_EQ(p[2], clamp((c + 129 * u) >> 6));
    }
}

TEST(H264DecoderLibrary, PictureThatDoesNotFitIsRefusedWithoutWriting) {
    const auto units = accessUnits(readFile(kClip));
    DecoderContext ctx;
    ASSERT_EQ(PT_H264dec_Init(ctx), 0);
    std::vector<std::uint8_t> small(1000, 0xAB);
    EXPECT_EQ(PT_H264dec_GetOneFrame(ctx, units[0].data(), static_cast<int>(units[0].size()),
                                     std::span(small).first(999)),
              kDecodeNoRoom);
    EXPECT_EQ(small[999], 0xAB);
}

TEST(H264DecoderLibrary, GarbageIsRefusedAndTheNextKeyFrameRecovers) {
    const auto units = accessUnits(readFile(kClip));
    const auto expected = readLines(kMd5);
    DecoderContext ctx;
    ASSERT_EQ(PT_H264dec_Init(ctx), 0);
    std::vector<std::uint8_t> picture(1'244'160);
    std::vector<std::uint8_t> garbage(5000);
    std::uint32_t x = 12345;
    for (auto& b : garbage) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
    for (int i = 0; i < 5; ++i) {
        const int r = PT_H264dec_GetOneFrame(ctx, garbage.data(), static_cast<int>(garbage.size()), picture);
        EXPECT_NE(r, kDecodedPicture);
    }
    EXPECT_EQ(PT_H264dec_GetOneFrame(ctx, nullptr, 0, picture), kDecodeNoPicture);
    // Picture 6 is the second key frame of the clip.
    ASSERT_EQ(PT_H264dec_GetOneFrame(ctx, units[6].data(), static_cast<int>(units[6].size()), picture),
              kDecodedPicture);
    EXPECT_EQ(md5Hex({picture.data(), 352 * 288 * 3 / 2}), expected[6]);
}

TEST(H264DecoderLibrary, WithoutInitTheCallerIsToldToReset) {
    DecoderContext ctx;
    std::vector<std::uint8_t> picture(16);
    const std::uint8_t unit[] = {0, 0, 0, 1, 0x65};
    EXPECT_EQ(PT_H264dec_GetOneFrame(ctx, unit, 5, picture), kDecodeNeedsReset);
}

}  // namespace
}  // namespace kalix::media
