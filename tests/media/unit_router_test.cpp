#include "media/unit_router.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"

namespace kalix::media {
namespace {

using protocol::MessageHeader;

MessageHeader lastFragment(std::uint32_t frame_time = 0x61000000) {
    MessageHeader h = MessageHeader::make(protocol::Code::LIVE_DATA, 1000, protocol::Fragment::Last);
    h.word3 = frame_time;
    return h;
}

void fillEncHeader(std::uint8_t* p, std::uint32_t coded_len, FrameKind kind, std::uint8_t channel,
                   std::uint8_t width_mb = 22, std::uint8_t height_mb = 18) {
    protocol::putLe16(p, static_cast<std::uint16_t>(coded_len));
    p[2] = static_cast<std::uint8_t>(((coded_len >> 16) & 0x0F) | (static_cast<unsigned>(kind) << 6));
    p[4] = height_mb;
    p[5] = width_mb;
    protocol::putLe32(p + 20, 0x61000000);
    protocol::putLe32(p + 24, 500'000);
    p[36] = channel;
}

// A live video unit of `size` bytes whose picture bytes count up from 0.
std::vector<std::uint8_t> liveVideo(std::size_t size, std::uint32_t coded_len, std::uint8_t channel,
                                    FrameKind kind = FrameKind::Key) {
    std::array<std::uint8_t, kLiveDataOffset> head{};
    protocol::putBe32(head.data() + 16, kTypeVideo);
    fillEncHeader(head.data() + kLiveEncHeaderOffset, coded_len, kind, channel);
    std::vector<std::uint8_t> unit(head.begin(), head.end());
    for (std::size_t i = kLiveDataOffset; i < size; ++i) unit.push_back(static_cast<std::uint8_t>(i - kLiveDataOffset));
    unit.resize(size);
    return unit;
}

// An audio unit whose block for channel c is filled with c + 1.
std::vector<std::uint8_t> audioUnit(std::uint32_t mask, TypeWordOrder order = TypeWordOrder::BigEndian) {
    std::array<std::uint8_t, kAudioFrameHeaderSize> head{};
    if (order == TypeWordOrder::BigEndian)
        protocol::putBe32(head.data() + 16, kTypeAudio);
    else
        protocol::putLe32(head.data() + 16, kTypeAudio);
    protocol::putBe32(head.data() + 40, mask);
    std::vector<std::uint8_t> unit(head.begin(), head.end());
    for (int c = 0; c < kChannelCount; ++c)
        if (mask & (1u << c)) unit.insert(unit.end(), kAudioBlockSize, static_cast<std::uint8_t>(c + 1));
    return unit;
}

std::vector<std::uint8_t> playbackVideo(std::uint32_t payload_len, std::size_t data_present, std::uint8_t channel,
                                        TypeWordOrder order = TypeWordOrder::BigEndian) {
    std::array<std::uint8_t, kVideoFrameHeaderSize> head{};
    if (order == TypeWordOrder::BigEndian)
        protocol::putBe32(head.data() + 16, kTypeVideo);
    else
        protocol::putLe32(head.data() + 16, kTypeVideo);
    protocol::putBe32(head.data() + 24, 0x62000000);
    protocol::putBe32(head.data() + 28, payload_len);
    std::memcpy(head.data() + 96, "Lobby", 5);
    protocol::putBe32(head.data() + 92, protocol::crc32(std::span(head).subspan(96, 32)));
    fillEncHeader(head.data() + 128, payload_len, FrameKind::Predicted, channel);
    std::vector<std::uint8_t> unit(head.begin(), head.end());
    unit.resize(kVideoFrameHeaderSize + data_present, 0xA5);
    return unit;
}

// --- live view ---------------------------------------------------------------

TEST(LiveUnit, VideoBecomesAnItemForItsChannel) {
    const auto unit = liveVideo(324 + 1000, 1000, 5);
    const MessageHeader last = lastFragment();
    const auto route = completeLiveUnit(unit, last, {.epoch = 7, .freeze = Freeze::Off});
    const auto* video = std::get_if<VideoRoute>(&route);
    ASSERT_NE(video, nullptr);
    const FrameItem& item = video->item;
    EXPECT_EQ(item.info.channel, 5);
    EXPECT_EQ(item.info.width, 352);
    EXPECT_EQ(item.info.height, 288);
    EXPECT_EQ(item.info.kind, FrameKind::Key);
    EXPECT_EQ(item.decode_len, 1000u);
    EXPECT_EQ(item.epoch, 7u);
    EXPECT_EQ(item.info.epoch, 7u);
    EXPECT_EQ(item.direction, Direction::Forward);
    EXPECT_EQ(item.decode_only, 0);
    EXPECT_EQ(titleText(item.info.title), "");
    // Our copy of the header carries the channel; the rest is as received.
    EXPECT_EQ(item.header.frameChannel(), 5);
    EXPECT_EQ(item.header.frameTime(), last.frameTime());
    EXPECT_EQ(item.header.code(), last.code());
    ASSERT_EQ(item.data.size(), 1000u);
    EXPECT_TRUE(std::equal(item.data.begin(), item.data.end(), unit.begin() + 324));
}

TEST(LiveUnit, CodedLengthIsCutToTheBytesThatArrived) {
    // 400 bytes whose header declares 100,000: 76 bytes are there.
    const auto route = completeLiveUnit(liveVideo(400, 100'000, 0), lastFragment(), {});
    const auto& item = std::get<VideoRoute>(route).item;
    EXPECT_EQ(item.info.available_len, 76u);
    EXPECT_EQ(item.info.coded_len, 76u);
    EXPECT_EQ(item.decode_len, 76u);
    EXPECT_EQ(item.data.size(), 76u);

    // Exactly the headers: an item with nothing to decode.
    const auto empty = completeLiveUnit(liveVideo(324, 5000, 3), lastFragment(), {});
    EXPECT_EQ(std::get<VideoRoute>(empty).item.decode_len, 0u);
    EXPECT_TRUE(std::get<VideoRoute>(empty).item.data.empty());

    // A shorter declaration than what arrived: decode only what is declared,
    // keep the rest as received.
    const auto padded = completeLiveUnit(liveVideo(324 + 50, 20, 3), lastFragment(), {});
    EXPECT_EQ(std::get<VideoRoute>(padded).item.decode_len, 20u);
    EXPECT_EQ(std::get<VideoRoute>(padded).item.data.size(), 50u);
}

TEST(LiveUnit, UnitsShorterThanTheirHeadersAreDropped) {
    for (std::size_t size : {0u, 19u, 63u, 64u, 200u, 323u}) {
        const auto unit = liveVideo(size, 10, 1);
        const auto route = completeLiveUnit(unit, lastFragment(), {});
        ASSERT_TRUE(std::holds_alternative<Dropped>(route)) << size;
        EXPECT_EQ(std::get<Dropped>(route).reason, DropReason::ShortUnit);
    }
    auto audio = audioUnit(0x1);
    audio.resize(63);
    EXPECT_TRUE(std::holds_alternative<Dropped>(completeLiveUnit(audio, lastFragment(), {})));
}

TEST(LiveUnit, FreezeDropsVideoButNotAudio) {
    const LiveContext frozen{.epoch = 1, .freeze = Freeze::On};
    const auto video = completeLiveUnit(liveVideo(500, 100, 2), lastFragment(), frozen);
    ASSERT_TRUE(std::holds_alternative<Dropped>(video));
    EXPECT_EQ(std::get<Dropped>(video).reason, DropReason::Frozen);
    EXPECT_TRUE(std::holds_alternative<AudioRoute>(completeLiveUnit(audioUnit(0x1), lastFragment(), frozen)));
}

TEST(LiveUnit, AudioHandsOverTheSelectedChannelsBlock) {
    const auto route = completeLiveUnit(audioUnit(0x0005), lastFragment(), {});
    const auto* audio = std::get_if<AudioRoute>(&route);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->blocks.mask(), 0x0005u);
    EXPECT_EQ(audio->blocks.count(), 2u);

    const auto second = audio->blocks.pick(2);  // index 1
    ASSERT_TRUE(second);
    EXPECT_EQ(second->channel, 2);
    EXPECT_EQ(second->block.front(), 3);
    EXPECT_EQ(second->block.back(), 3);

    const auto lowest = audio->blocks.pick(-1);
    ASSERT_TRUE(lowest);
    EXPECT_EQ(lowest->channel, 0);
    EXPECT_EQ(lowest->block.front(), 1);

    EXPECT_FALSE(audio->blocks.pick(1));  // channel 1 sent no sound
}

TEST(LiveUnit, AudioBlocksThatDidNotArriveAreNeverPicked) {
    auto unit = audioUnit(0x0015);  // channels 0, 2, 4
    unit.resize(64 + 48 * 2 + 47);  // the third block is one byte short
    const auto route = completeLiveUnit(unit, lastFragment(), {});
    const AudioBlocks& blocks = std::get<AudioRoute>(route).blocks;
    EXPECT_EQ(blocks.mask(), 0x0015u);  // the mask is still the recorder's
    EXPECT_EQ(blocks.count(), 2u);
    EXPECT_TRUE(blocks.pick(2));
    EXPECT_FALSE(blocks.pick(4));
}

TEST(LiveUnit, TypeWordIsBigEndianWhateverTheRecorder) {
    // The audio magic low byte first is not audio in live view: a video unit.
    auto unit = liveVideo(400, 10, 1);
    std::copy_n(std::array<std::uint8_t, 4>{0x49, 0xF0, 0x18, 0x25}.begin(), 4, unit.begin() + 16);
    EXPECT_TRUE(std::holds_alternative<VideoRoute>(completeLiveUnit(unit, lastFragment(), {})));
    // Any other type word is video too.
    std::copy_n(std::array<std::uint8_t, 4>{0x20, 0x10, 0x06, 0x11}.begin(), 4, unit.begin() + 16);
    EXPECT_TRUE(std::holds_alternative<VideoRoute>(completeLiveUnit(unit, lastFragment(), {})));
}

// --- remote playback ---------------------------------------------------------

TEST(PlaybackUnit, TypeWordOrderFollowsTheRecorderKind) {
    EXPECT_EQ(playbackTypeWordOrder(3), TypeWordOrder::BigEndian);
    EXPECT_EQ(playbackTypeWordOrder(5), TypeWordOrder::LowByteFirst);

    const PlaybackContext kind3{.type_order = playbackTypeWordOrder(3)};
    const PlaybackContext kind5{.type_order = playbackTypeWordOrder(5)};
    const auto last = lastFragment();
    const auto be = audioUnit(0x1, TypeWordOrder::BigEndian);
    const auto le = audioUnit(0x1, TypeWordOrder::LowByteFirst);
    EXPECT_TRUE(std::holds_alternative<AudioRoute>(completePlaybackUnit(be, last, kind3)));
    EXPECT_TRUE(std::holds_alternative<AudioRoute>(completePlaybackUnit(le, last, kind5)));
    // Read the other way round the magic is not recognised: both go as video,
    // and being shorter than a VideoFrameHeader they are dropped.
    EXPECT_TRUE(std::holds_alternative<Dropped>(completePlaybackUnit(le, last, kind3)));
    EXPECT_TRUE(std::holds_alternative<Dropped>(completePlaybackUnit(be, last, kind5)));

    const auto video5 = playbackVideo(100, 100, 1, TypeWordOrder::LowByteFirst);
    EXPECT_TRUE(std::holds_alternative<PlaybackVideoRoute>(completePlaybackUnit(video5, last, kind5)));
}

TEST(PlaybackUnit, AudioOnlyAtNormalForwardSpeed) {
    const auto unit = audioUnit(0x0006);
    const auto normal = completePlaybackUnit(unit, lastFragment(), {.speed = PlaySpeed::NormalForward});
    ASSERT_TRUE(std::holds_alternative<AudioRoute>(normal));
    EXPECT_EQ(std::get<AudioRoute>(normal).blocks.pick(-1)->channel, 1);
    const auto fast = completePlaybackUnit(unit, lastFragment(), {.speed = PlaySpeed::Other});
    ASSERT_TRUE(std::holds_alternative<Dropped>(fast));
    EXPECT_EQ(std::get<Dropped>(fast).reason, DropReason::AudioAtOtherSpeed);
}

TEST(PlaybackUnit, VideoItemCarriesTitleFlagsAndUnchangedHeader) {
    auto unit = playbackVideo(300, 300, 2);
    unit[52] = 1;  // decode-only
    const MessageHeader last = lastFragment(0);
    const PlaybackContext context{.epoch = 4, .direction = Direction::Backward};
    const auto route = completePlaybackUnit(unit, last, context);
    const auto& video = std::get<PlaybackVideoRoute>(route);
    EXPECT_EQ(video.pane_time, 0x62000000u);
    EXPECT_EQ(titleText(video.info.title), "Lobby");
    EXPECT_EQ(video.info.available_len, 300u);
    ASSERT_TRUE(video.item);
    const FrameItem& item = *video.item;
    EXPECT_EQ(item.epoch, 4u);
    EXPECT_EQ(item.direction, Direction::Backward);
    EXPECT_EQ(item.decode_only, 1);
    EXPECT_EQ(item.decode_len, 300u);
    EXPECT_EQ(item.header, last);  // no channel written in playback
    EXPECT_EQ(item.info.kind, FrameKind::Predicted);
    EXPECT_TRUE(std::equal(item.data.begin(), item.data.end(), unit.begin() + 192));

    unit[52] = 2;  // only the value 1 marks decode-only
    const auto again = completePlaybackUnit(unit, last, context);
    EXPECT_EQ(std::get<PlaybackVideoRoute>(again).item->decode_only, 0);
}

TEST(PlaybackUnit, BadTitleCrcGivesChannelCaption) {
    auto unit = playbackVideo(10, 10, 2);
    unit[96] ^= 0xFF;
    const auto route = completePlaybackUnit(unit, lastFragment(), {});
    EXPECT_EQ(titleText(std::get<PlaybackVideoRoute>(route).info.title), "CH3");
}

TEST(PlaybackUnit, PayloadLengthBeyondTheUnitIsCutToTheBytesPresent) {
    const auto unit = playbackVideo(1'000'000, 40, 0);
    const auto route = completePlaybackUnit(unit, lastFragment(), {});
    const auto& video = std::get<PlaybackVideoRoute>(route);
    EXPECT_EQ(video.info.available_len, 40u);
    EXPECT_EQ(video.info.coded_len, 40u);
    ASSERT_TRUE(video.item);
    EXPECT_EQ(video.item->data.size(), 40u);
}

TEST(PlaybackUnit, PausedOrSeekingKeepsTheDescriptionButQueuesNothing) {
    const auto unit = playbackVideo(64, 64, 9);
    const auto route = completePlaybackUnit(unit, lastFragment(), {.flow = PlayFlow::PausedOrSeeking});
    const auto& video = std::get<PlaybackVideoRoute>(route);
    EXPECT_FALSE(video.item);
    EXPECT_EQ(video.info.channel, 9);
    EXPECT_EQ(video.pane_time, 0x62000000u);
}

TEST(PlaybackUnit, ShortUnitsAreDropped) {
    for (std::size_t size : {0u, 19u, 20u, 191u}) {
        auto unit = playbackVideo(0, 0, 0);
        unit.resize(size);
        EXPECT_TRUE(std::holds_alternative<Dropped>(completePlaybackUnit(unit, lastFragment(), {}))) << size;
    }
    auto audio = audioUnit(0x1);
    audio.resize(40);
    EXPECT_TRUE(std::holds_alternative<Dropped>(completePlaybackUnit(audio, lastFragment(), {})));
}

}  // namespace
}  // namespace kalix::media
