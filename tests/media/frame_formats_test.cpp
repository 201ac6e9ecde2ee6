#include "media/frame_formats.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"

namespace kalix::media {
namespace {

TEST(EncVideoHeader, RecorderExampleGivesLengthKindAndSize) {
    std::array<std::uint8_t, kEncVideoHeaderSize> bytes{0x10, 0x27, 0xC3, 0x00, 0x0B, 0x16};
    const auto h = parseEncVideoHeader(bytes);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->coded_len, 0x32710u);
    EXPECT_EQ(h->kind, FrameKind::NeverDecoded);
    EXPECT_EQ(h->height(), 176);
    EXPECT_EQ(h->width(), 352);
    EXPECT_EQ(h->carried_flag, 0);
}

TEST(EncVideoHeader, ReadsLittleEndianTimesChannelAndFlag) {
    std::array<std::uint8_t, kEncVideoHeaderSize> bytes{};
    bytes[2] = 0x4F;  // length bits 16-19 all set, kind 1, bits 4-5 ignored
    bytes[2] |= 0x30;
    bytes[3] = 0x40;
    protocol::putLe32(bytes.data() + 20, 0x5F000001);
    protocol::putLe32(bytes.data() + 24, 999'424);
    bytes[36] = 0xF7;  // upper nibble is not the channel
    const auto h = parseEncVideoHeader(bytes);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->coded_len, 0xF0000u);
    EXPECT_EQ(h->kind, FrameKind::Predicted);
    EXPECT_EQ(h->carried_flag, 1);
    EXPECT_EQ(h->seconds, 0x5F000001u);
    EXPECT_EQ(h->microseconds, 999'424u);
    EXPECT_EQ(h->channel, 7);

    const FrameInfo info = buildFrameInfo(*h);
    EXPECT_EQ(info.timeMs(), std::uint64_t{0x5F000001} * 1000 + 976);
    EXPECT_EQ(info.channel, 7);
    EXPECT_EQ(info.coded_len, 0xF0000u);
}

TEST(FrameHeaders, ShortInputIsRefusedNotRead) {
    const std::vector<std::uint8_t> bytes(191, 0xFF);
    EXPECT_EQ(parseVideoFrameHeader(bytes).error(), FrameError::ShortHeader);
    EXPECT_EQ(parseEncVideoHeader(std::span(bytes).first(63)).error(), FrameError::ShortHeader);
    EXPECT_EQ(parseAudioFrameHeader(std::span(bytes).first(63)).error(), FrameError::ShortHeader);
    EXPECT_TRUE(parseAudioFrameHeader(std::span(bytes).first(64)));
}

TEST(VideoFrameHeader, ReadsEveryFieldInItsOwnByteOrder) {
    std::array<std::uint8_t, kVideoFrameHeaderSize> b{};
    protocol::putBe32(b.data() + 16, kTypeVideo);
    protocol::putBe32(b.data() + 24, 0x60000010);
    protocol::putBe32(b.data() + 28, 4321);
    protocol::putBe32(b.data() + 32, 0x01020304);
    protocol::putBe32(b.data() + 40, 0x0A0B0C0D);
    b[50] = 0x21;
    b[51] = 2;
    b[52] = 1;
    b[53] = 0x34;  // watermark, low byte first
    b[54] = 0x12;
    protocol::putBe32(b.data() + 92, 0xCAFEBABE);
    std::memcpy(b.data() + 96, "Gate", 4);
    b[128 + 5] = 44;
    b[128 + 36] = 9;
    const auto h = parseVideoFrameHeader(b);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->type_word, kTypeVideo);
    EXPECT_EQ(h->frame_time, 0x60000010u);
    EXPECT_EQ(h->payload_len, 4321u);
    EXPECT_EQ(h->previous_link, 0x01020304u);
    EXPECT_EQ(h->segment_key, 0x0A0B0C0Du);
    EXPECT_EQ(h->event_flags, 0x21);
    EXPECT_EQ(h->watermark_kind, 2);
    EXPECT_EQ(h->decode_only, 1);
    EXPECT_EQ(h->watermark_value, 0x1234);
    EXPECT_EQ(h->title_crc, 0xCAFEBABEu);
    EXPECT_EQ(h->title[0], 'G');
    EXPECT_EQ(h->enc.width(), 704);
    EXPECT_EQ(h->enc.channel, 9);
}

TEST(AudioFrameHeader, ReadsBothMasksBigEndian) {
    std::array<std::uint8_t, kAudioFrameHeaderSize> b{};
    protocol::putBe32(b.data() + 16, kTypeAudio);
    protocol::putBe32(b.data() + 28, 112);
    protocol::putBe32(b.data() + 40, 0x0015);
    protocol::putBe32(b.data() + 52, 0x8001);
    const auto h = parseAudioFrameHeader(b);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->type_word, kTypeAudio);
    EXPECT_EQ(h->payload_len, 112u);
    EXPECT_EQ(h->channel_mask, 0x0015u);
    EXPECT_EQ(h->archive_channel_mask, 0x8001u);
}

TEST(CheckedTitle, MatchingCrcKeepsAllThirtyTwoBytes) {
    std::array<std::uint8_t, kTitleSize> title{};
    title.fill('x');  // no terminating zero
    const Title caption = checkedTitle(title, protocol::crc32(title), 2);
    EXPECT_EQ(titleText(caption), std::string(32, 'x'));
}

TEST(CheckedTitle, MismatchGivesChannelPlusOne) {
    std::array<std::uint8_t, kTitleSize> title{'D', 'o', 'o', 'r'};
    EXPECT_EQ(titleText(checkedTitle(title, protocol::crc32(title) ^ 1, 2)), "CH3");
    EXPECT_EQ(titleText(checkedTitle(title, 0, 15)), "CH16");
    // An all-zero title with a zero CRC word does not pass: its CRC is not 0.
    std::array<std::uint8_t, kTitleSize> empty{};
    EXPECT_EQ(titleText(checkedTitle(empty, 0, 0)), "CH1");
}

struct BlockIndexCase {
    std::uint32_t mask;
    int selected;
    bool found;
    std::size_t index;
    int channel;
};

class AudioBlockIndex : public testing::TestWithParam<BlockIndexCase> {};

TEST_P(AudioBlockIndex, CountsSetChannelsBeforeTheSelectedOne) {
    const auto& c = GetParam();
    const auto choice = audioBlockIndex(c.mask, c.selected);
    ASSERT_EQ(choice.has_value(), c.found);
    if (!c.found) return;
    EXPECT_EQ(choice->index, c.index);
    EXPECT_EQ(choice->channel, c.channel);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, AudioBlockIndex,
    testing::Values(BlockIndexCase{0x0015, 4, true, 2, 4},   // channels 0, 2, 4
                    BlockIndexCase{0x0015, -1, true, 0, 0},  // none selected: the lowest
                    BlockIndexCase{0x0005, 2, true, 1, 2},
                    BlockIndexCase{0x8000, -1, true, 0, 15},
                    BlockIndexCase{0xFFFF, 15, true, 15, 15},
                    BlockIndexCase{0x0005, 1, false, 0, 0},    // selected channel sent nothing
                    BlockIndexCase{0x0001, 5, false, 0, 0},    // would point past the blocks
                    BlockIndexCase{0x0000, -1, false, 0, 0},
                    BlockIndexCase{0x10000, -1, false, 0, 0},  // only channels 0-15 count
                    BlockIndexCase{0x0003, 16, false, 0, 0}));

}  // namespace
}  // namespace kalix::media
