#include "sim/h264_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "client_decoder.h"
#include "media/video/md5.h"
#include "sim/channel_picture.h"

namespace kalix::sim {
namespace {

using simtest::ClientDecoder;

std::string md5Of(const YuvPicture& p) { return media::md5Hex(p.bytes()); }

struct Size {
    int width;
    int height;
};

class WriterDecodesExactly : public ::testing::TestWithParam<Size> {};

// A run of the simulator's camera picture, with a second key frame in the
// middle: every picture decodes to exactly what was drawn, the checkerboard's
// macroblock edges untouched by the deblocking filter, and a predicted frame
// codes only the few macroblocks that changed.
TEST_P(WriterDecodesExactly, CameraRunThroughTheClientsParameterSets) {
    const auto [w, h] = GetParam();
    const ChannelPicture camera(5, w, h);
    H264Writer writer;
    ClientDecoder decoder;
    YuvPicture previous;
    const std::size_t macroblocks = static_cast<std::size_t>(w / 16) * static_cast<std::size_t>(h / 16);
    for (std::uint32_t i = 0; i < 24; ++i) {
        const YuvPicture picture = camera.picture(i);
        const bool key = i % 12 == 0;
        const auto coded = key ? writer.keyFrame(picture) : writer.predictedFrame(previous, picture);
        ASSERT_TRUE(coded) << "frame " << i;
        if (key) {
            EXPECT_EQ(coded->pcm_macroblocks, macroblocks);
        } else {
            EXPECT_GT(coded->pcm_macroblocks, 0u) << "frame " << i;
            EXPECT_LT(coded->pcm_macroblocks, macroblocks / 20) << "frame " << i;
        }
        ASSERT_EQ(decoder.decode(*coded, w, h), md5Of(picture)) << "frame " << i;
        previous = picture;
    }
}

INSTANTIATE_TEST_SUITE_P(RecorderSizes, WriterDecodesExactly,
                         ::testing::Values(Size{352, 240}, Size{352, 288}, Size{704, 576}, Size{720, 480},
                                           Size{720, 576}),
                         [](const ::testing::TestParamInfo<Size>& p) {
                             return std::to_string(p.param.width) + "x" + std::to_string(p.param.height);
                         });

YuvPicture noise(int w, int h, std::mt19937& random) {
    YuvPicture p(w, h);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : p.bytes()) b = static_cast<std::uint8_t>(byte(random));
    return p;
}

// Noise has a hard edge at every macroblock boundary, and the changed
// macroblocks lie next to skipped ones in every arrangement: neither the
// filter nor a predicted motion vector may alter a sample.
TEST(H264WriterTest, NoiseWithRandomChangesDecodesExactly) {
    constexpr int kW = 352, kH = 288;
    std::mt19937 random(7);
    H264Writer writer;
    ClientDecoder decoder;
    YuvPicture picture = noise(kW, kH, random);
    ASSERT_EQ(decoder.decode(*writer.keyFrame(picture), kW, kH), md5Of(picture));
    const YuvPicture fresh = noise(kW, kH, random);
    std::bernoulli_distribution changes(0.3);
    for (int frame = 1; frame < 8; ++frame) {
        const YuvPicture reference = picture;
        for (int mby = 0; mby < kH / 16; ++mby) {
            for (int mbx = 0; mbx < kW / 16; ++mbx) {
                if (!changes(random)) continue;
                const int shift = frame * 17;  // each change a new content
                for (int r = 0; r < 16; ++r)
                    for (int c = 0; c < 16; ++c) {
                        const auto at = static_cast<std::size_t>((mby * 16 + r) * kW + mbx * 16 + c);
                        picture.y()[at] = static_cast<std::uint8_t>(fresh.y()[at] + shift);
                    }
            }
        }
        const auto coded = writer.predictedFrame(reference, picture);
        ASSERT_TRUE(coded);
        ASSERT_EQ(decoder.decode(*coded, kW, kH), md5Of(picture)) << "frame " << frame;
    }
}

// frame_num (9 bits) and the POC lsb (10 bits, two a frame) both wrap within
// a long run between key frames.
TEST(H264WriterTest, LongRunWrapsFrameNumberAndOrderCount) {
    const ChannelPicture camera(0, 352, 240);
    H264Writer writer;
    ClientDecoder decoder;
    YuvPicture previous = camera.picture(0);
    ASSERT_EQ(decoder.decode(*writer.keyFrame(previous), 352, 240), md5Of(previous));
    for (std::uint32_t i = 1; i < 1100; ++i) {
        const YuvPicture picture = camera.picture(i);
        const auto coded = writer.predictedFrame(previous, picture);
        ASSERT_TRUE(coded);
        ASSERT_EQ(decoder.decode(*coded, 352, 240), md5Of(picture)) << "frame " << i;
        previous = picture;
    }
}

TEST(H264WriterTest, EscapesEveryStartCodePrefix) {
    struct Case {
        std::vector<std::uint8_t> rbsp, escaped;
    };
    const std::vector<Case> cases{
        {{0, 0, 0}, {0, 0, 3, 0}},
        {{0, 0, 1}, {0, 0, 3, 1}},
        {{0, 0, 2}, {0, 0, 3, 2}},
        {{0, 0, 3}, {0, 0, 3, 3}},
        {{0, 0, 4}, {0, 0, 4}},
        {{0, 0, 0, 0, 0, 0}, {0, 0, 3, 0, 0, 3, 0, 0}},
        {{0, 0}, {0, 0}},
        {{5, 0, 0, 0, 1}, {5, 0, 0, 3, 0, 1}},
        {{0, 1, 0, 0, 0xFF}, {0, 1, 0, 0, 0xFF}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> out;
        appendEscaped(out, c.rbsp);
        EXPECT_EQ(out, c.escaped);
    }
}

bool hasStartCodePrefixAfter(const std::vector<std::uint8_t>& unit, std::size_t from) {
    for (std::size_t i = from; i + 2 < unit.size(); ++i)
        if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] <= 2) return true;
    return false;
}

// Black samples are long zero runs inside I_PCM: the slice must carry
// emulation-prevention bytes and still decode to zeros.
TEST(H264WriterTest, ZeroSamplesAreEscapedAndDecode) {
    constexpr int kW = 352, kH = 288;
    YuvPicture black(kW, kH);
    H264Writer writer;
    ClientDecoder decoder;
    const auto key = writer.keyFrame(black);
    ASSERT_TRUE(key);
    EXPECT_FALSE(hasStartCodePrefixAfter(key->bytes, 4));
    EXPECT_GT(key->bytes.size(), black.bytes().size() * 3 / 2);  // one 0x03 every two zeros
    ASSERT_EQ(decoder.decode(*key, kW, kH), md5Of(black));

    YuvPicture dotted = black;
    dotted.y()[static_cast<std::size_t>(100 * kW + 200)] = 1;
    const auto predicted = writer.predictedFrame(black, dotted);
    ASSERT_TRUE(predicted);
    EXPECT_EQ(predicted->pcm_macroblocks, 1u);
    EXPECT_FALSE(hasStartCodePrefixAfter(predicted->bytes, 4));
    ASSERT_EQ(decoder.decode(*predicted, kW, kH), md5Of(dotted));
}

TEST(H264WriterTest, RefusesWhatItCannotCode) {
    H264Writer writer;
    const YuvPicture cif(352, 288);
    EXPECT_FALSE(writer.predictedFrame(cif, cif)) << "no key frame yet";
    EXPECT_FALSE(writer.keyFrame(YuvPicture(350, 288)));
    EXPECT_FALSE(writer.keyFrame(YuvPicture(0, 0)));
    EXPECT_FALSE(writer.keyFrame(YuvPicture(4096, 16))) << "more than 255 macroblocks wide";
    ASSERT_TRUE(writer.keyFrame(cif));
    EXPECT_FALSE(writer.predictedFrame(cif, YuvPicture(704, 576)));
    EXPECT_FALSE(writer.predictedFrame(YuvPicture(704, 576), cif));
    EXPECT_TRUE(writer.predictedFrame(cif, cif));
}

TEST(ChannelPictureTest, ChannelsDifferAndFramesChangeOnlyAFewMacroblocks) {
    const ChannelPicture one(0, 704, 576);
    const ChannelPicture two(1, 704, 576);
    EXPECT_NE(one.picture(0), two.picture(0));
    EXPECT_EQ(one.picture(42), one.picture(42));
    EXPECT_NE(one.picture(42), one.picture(43));
    EXPECT_NE(one.picture(7), one.picture(1'000'007)) << "the square moves on although the counter wraps";
}

}  // namespace
}  // namespace kalix::sim
