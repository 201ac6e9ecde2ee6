#include "media/frame_formats.h"

#include <algorithm>
#include <cstdio>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"

namespace kalix::media {

using protocol::be32;
using protocol::le16;
using protocol::le32;

const char* toString(FrameError error) {
    switch (error) {
    case FrameError::ShortHeader: return "short header";
    }
    return "unknown";
}

Parsed<EncVideoHeader> parseEncVideoHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kEncVideoHeaderSize) return FrameError::ShortHeader;
    const std::uint8_t* p = bytes.data();
    EncVideoHeader h;
    h.coded_len = std::uint32_t{le16(p)} | (std::uint32_t{p[2] & 0x0Fu} << 16);
    h.kind = static_cast<FrameKind>((p[2] >> 6) & 0x3u);
    h.carried_flag = static_cast<std::uint8_t>((p[3] >> 6) & 0x1u);
    h.height_mb = p[4];
    h.width_mb = p[5];
    h.seconds = le32(p + 20);
    h.microseconds = le32(p + 24);
    h.channel = static_cast<std::uint8_t>(p[36] & 0x0Fu);
    return h;
}

Parsed<VideoFrameHeader> parseVideoFrameHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kVideoFrameHeaderSize) return FrameError::ShortHeader;
    const std::uint8_t* p = bytes.data();
    VideoFrameHeader h;
    h.type_word = be32(p + 16);
    h.frame_time = be32(p + 24);
    h.payload_len = be32(p + 28);
    h.previous_link = be32(p + 32);
    h.segment_key = be32(p + 40);
    h.event_flags = p[50];
    h.watermark_kind = p[51];
    h.decode_only = p[52];
    h.watermark_value = le16(p + 53);
    h.title_crc = be32(p + 92);
    std::copy_n(p + 96, kTitleSize, h.title.begin());
    h.enc = *parseEncVideoHeader(bytes.subspan(kEncVideoHeaderInVideoHeader, kEncVideoHeaderSize));
    return h;
}

Parsed<AudioFrameHeader> parseAudioFrameHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kAudioFrameHeaderSize) return FrameError::ShortHeader;
    const std::uint8_t* p = bytes.data();
    AudioFrameHeader h;
    h.type_word = be32(p + 16);
    h.payload_len = be32(p + 28);
    h.previous_link = be32(p + 32);
    h.channel_mask = be32(p + 40);
    h.archive_channel_mask = be32(p + 52);
    return h;
}

Title checkedTitle(std::span<const std::uint8_t, kTitleSize> title, std::uint32_t stored_crc,
                   std::uint8_t channel) {
    Title caption{};
    if (protocol::crc32(title) == stored_crc) {
        std::transform(title.begin(), title.end(), caption.begin(),
                       [](std::uint8_t b) { return static_cast<char>(b); });
    } else {
        std::snprintf(caption.data(), caption.size(), "CH%d", channel + 1);
    }
    return caption;
}

std::string titleText(const Title& title) {
    const auto end = std::find(title.begin(), title.end(), '\0');
    return {title.begin(), end};
}

FrameInfo buildFrameInfo(const EncVideoHeader& enc) {
    FrameInfo info;
    info.channel = enc.channel;
    info.kind = enc.kind;
    info.carried_flag = enc.carried_flag;
    info.seconds = enc.seconds;
    info.microseconds = enc.microseconds;
    info.width = enc.width();
    info.height = enc.height();
    info.coded_len = enc.coded_len;
    return info;
}

void setAvailable(FrameInfo& info, std::uint32_t available_len) {
    info.available_len = available_len;
    info.coded_len = std::min(info.coded_len, available_len);
}

std::optional<AudioBlockChoice> audioBlockIndex(std::uint32_t mask, int selected_channel) {
    std::size_t index = 0;
    for (int channel = 0; channel < kChannelCount; ++channel) {
        if ((mask & (1u << channel)) == 0) continue;
        if (selected_channel == -1 || selected_channel == channel) return AudioBlockChoice{index, channel};
        ++index;
    }
    return std::nullopt;
}

}  // namespace kalix::media
