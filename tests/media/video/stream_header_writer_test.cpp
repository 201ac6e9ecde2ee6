#include "media/video/stream_header_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kalix::media {
namespace {

std::vector<std::uint8_t> toVector(std::span<const std::uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

TEST(StreamHeaderWriter, ParameterSetsFor352x288) {
    StreamHeaderWriter writer;
    const std::vector<std::uint8_t> expected{0x00, 0x00, 0x00, 0x01, 0x67, 0x42, 0x00, 0x1E, 0x9A, 0x74, 0x0B,
                                             0x04, 0xB2, 0x00, 0x00, 0x00, 0x01, 0x68, 0xCE, 0x32, 0x28};
    EXPECT_EQ(toVector(writer.writeParameterSets(352, 288)), expected);
}

TEST(StreamHeaderWriter, ParameterSetsFor704x576) {
    StreamHeaderWriter writer;
    const std::vector<std::uint8_t> expected{0x00, 0x00, 0x00, 0x01, 0x67, 0x42, 0x00, 0x1E, 0x9A, 0x74, 0x05,
                                             0x80, 0x93, 0x20, 0x00, 0x00, 0x00, 0x01, 0x68, 0xCE, 0x32, 0x28};
    // A previous run's header must not leak into the next.
    writer.writeParameterSets(352, 288);
    EXPECT_EQ(toVector(writer.writeParameterSets(704, 576)), expected);
}

struct GolombCase {
    std::int64_t value;
    bool is_signed;
    std::uint32_t bits;  // the code, left-aligned in `length` bits
    unsigned length;
};

class ExpGolomb : public testing::TestWithParam<GolombCase> {};

TEST_P(ExpGolomb, WritesTheStandardCode) {
    const auto& c = GetParam();
    StreamHeaderWriter writer;
    if (c.is_signed)
        writer.writeSe(static_cast<std::int32_t>(c.value));
    else
        writer.writeUe(static_cast<std::uint32_t>(c.value));
    // Pad with ones so the code's own length shows.
    writer.writeBits(32 - c.length % 32, 0xFFFFFFFF);
    const auto bytes = writer.bytes();
    ASSERT_GE(bytes.size(), 4u);
    const std::uint32_t word = std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
                               std::uint32_t{bytes[2]} << 8 | bytes[3];
    const std::uint32_t pad = c.length >= 32 ? 0 : (0xFFFFFFFFu >> c.length);
    EXPECT_EQ(word, (c.bits << (32 - c.length)) | pad);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ExpGolomb,
    testing::Values(GolombCase{0, false, 0b1, 1}, GolombCase{1, false, 0b010, 3},
                    GolombCase{2, false, 0b011, 3}, GolombCase{5, false, 0b00110, 5},
                    GolombCase{6, false, 0b00111, 5}, GolombCase{21, false, 0b000010110, 9},
                    GolombCase{0, true, 0b1, 1}, GolombCase{1, true, 0b010, 3},
                    GolombCase{-1, true, 0b011, 3}, GolombCase{2, true, 0b00100, 5},
                    GolombCase{-2, true, 0b00101, 5}));

TEST(StreamHeaderWriter, LargeGolombValuesKeepTheirLength) {
    StreamHeaderWriter writer;
    writer.writeUe(0xFFFFFFFE);  // code 2^32 - 1: 31 zeros and 32 value bits
    writer.writeTrailingBits();
    EXPECT_EQ(writer.bytes().size(), 8u);
    EXPECT_FALSE(writer.overflowed());
}

TEST(StreamHeaderWriter, RefusesSizesThatAreNotWholeMacroblocks) {
    StreamHeaderWriter writer;
    EXPECT_TRUE(writer.writeParameterSets(0, 288).empty());
    EXPECT_TRUE(writer.writeParameterSets(352, 0).empty());
    EXPECT_TRUE(writer.writeParameterSets(350, 288).empty());
    EXPECT_TRUE(writer.writeParameterSets(256 * 16, 288).empty());
    EXPECT_FALSE(writer.writeParameterSets(255 * 16, 255 * 16).empty());
}

TEST(StreamHeaderWriter, NoSizeNeedsEmulationPrevention) {
    StreamHeaderWriter writer;
    for (unsigned w = 16; w <= 255 * 16; w += 16) {
        for (unsigned h : {16u, 240u, 288u, 480u, 576u, 4080u}) {
            const auto bytes = writer.writeParameterSets(w, h);
            ASSERT_FALSE(bytes.empty());
            // Past each start code no 00 00 0x (x <= 3) may appear.
            for (std::size_t i = 4; i + 2 < bytes.size(); ++i) {
                if (i + 3 < bytes.size() && bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 0 &&
                    bytes[i + 3] == 1)
                    i += 3;  // the PPS start code
                else
                    ASSERT_FALSE(bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] <= 3) << w << "x" << h;
            }
        }
    }
}

TEST(StreamHeaderWriter, StopsAtItsBufferAndSaysSo) {
    StreamHeaderWriter writer;
    for (int i = 0; i < 40; ++i) writer.writeBits(32, 0xFFFFFFFF);
    EXPECT_TRUE(writer.overflowed());
    EXPECT_EQ(writer.bytes().size(), StreamHeaderWriter::kCapacity);
    writer.reset();
    EXPECT_FALSE(writer.overflowed());
    EXPECT_TRUE(writer.bytes().empty());
}

}  // namespace
}  // namespace kalix::media
