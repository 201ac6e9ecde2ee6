#include "media/unit_router.h"

#include <algorithm>
#include <bit>

#include "protocol/byte_order.h"

namespace kalix::media {

namespace {

std::uint32_t typeWord(std::span<const std::uint8_t> unit, TypeWordOrder order) {
    const std::uint8_t* p = unit.data() + kTypeWordOffset;
    return order == TypeWordOrder::BigEndian ? protocol::be32(p) : protocol::le32(p);
}

AudioRoute audioRoute(std::span<const std::uint8_t> unit) {
    const AudioFrameHeader header = *parseAudioFrameHeader(unit);
    return AudioRoute{AudioBlocks(header.channel_mask, unit.subspan(kAudioFrameHeaderSize))};
}

// The item owns a copy of the picture so the reassembly buffer can be reused
// at once.
FrameItem makeItem(const FrameInfo& info, const protocol::MessageHeader& header,
                   std::span<const std::uint8_t> data) {
    FrameItem item;
    item.decode_len = info.coded_len;
    item.epoch = info.epoch;
    item.info = info;
    item.header = header;
    item.data.assign(data.begin(), data.begin() + info.available_len);
    return item;
}

}  // namespace

TypeWordOrder playbackTypeWordOrder(std::int32_t recorder_kind) {
    return recorder_kind == 5 ? TypeWordOrder::LowByteFirst : TypeWordOrder::BigEndian;
}

AudioBlocks::AudioBlocks(std::uint32_t mask, std::span<const std::uint8_t> payload) : mask_(mask) {
    const auto announced = static_cast<std::size_t>(std::popcount(mask & 0xFFFFu));
    count_ = std::min(announced, payload.size() / kAudioBlockSize);
    for (std::size_t i = 0; i < count_; ++i)
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(i * kAudioBlockSize), kAudioBlockSize,
                    blocks_[i].begin());
}

std::optional<AudioBlocks::Pick> AudioBlocks::pick(int selected_channel) const {
    const auto choice = audioBlockIndex(mask_, selected_channel);
    if (!choice || choice->index >= count_) return std::nullopt;
    return Pick{blocks_[choice->index], choice->channel};
}

LiveRoute completeLiveUnit(std::span<const std::uint8_t> unit, const protocol::MessageHeader& last,
                           const LiveContext& context) {
    if (unit.size() < kAudioFrameHeaderSize) return Dropped{DropReason::ShortUnit};
    if (typeWord(unit, TypeWordOrder::BigEndian) == kTypeAudio) return audioRoute(unit);

    if (unit.size() < kLiveDataOffset) return Dropped{DropReason::ShortUnit};
    FrameInfo info = buildFrameInfo(*parseEncVideoHeader(unit.subspan(kLiveEncHeaderOffset, kEncVideoHeaderSize)));
    setAvailable(info, static_cast<std::uint32_t>(unit.size() - kLiveDataOffset));
    info.epoch = context.epoch;
    if (context.freeze == Freeze::On) return Dropped{DropReason::Frozen};

    protocol::MessageHeader header = last;
    header.setFrameChannel(info.channel);
    return VideoRoute{makeItem(info, header, unit.subspan(kLiveDataOffset))};
}

PlaybackRoute completePlaybackUnit(std::span<const std::uint8_t> unit,
                                   const protocol::MessageHeader& last,
                                   const PlaybackContext& context) {
    if (unit.size() < kTypeWordOffset + 4) return Dropped{DropReason::ShortUnit};
    if (typeWord(unit, context.type_order) == kTypeAudio) {
        if (context.speed != PlaySpeed::NormalForward) return Dropped{DropReason::AudioAtOtherSpeed};
        if (unit.size() < kAudioFrameHeaderSize) return Dropped{DropReason::ShortUnit};
        return audioRoute(unit);
    }

    const auto parsed = parseVideoFrameHeader(unit);
    if (!parsed) return Dropped{DropReason::ShortUnit};
    const VideoFrameHeader& header = *parsed;
    const std::span<const std::uint8_t> data = unit.subspan(kVideoFrameHeaderSize);

    PlaybackVideoRoute route;
    route.info = buildFrameInfo(header.enc);
    setAvailable(route.info,
                 static_cast<std::uint32_t>(std::min<std::size_t>(header.payload_len, data.size())));
    route.info.epoch = context.epoch;
    route.info.title = checkedTitle(header.title, header.title_crc, route.info.channel);
    route.pane_time = header.frame_time;

    if (context.flow == PlayFlow::Streaming) {
        FrameItem item = makeItem(route.info, last, data);
        item.direction = context.direction;
        item.decode_only = header.decode_only == 1 ? 1 : 0;
        route.item = std::move(item);
    }
    return route;
}

}  // namespace kalix::media
