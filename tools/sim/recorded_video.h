#pragma once
// The recorded pictures of the simulated recorder and the playback units
// around them.
//
// Frame k of a recorded stretch of channel c shows what live view shows as
// frame k of a run: ChannelPicture(c, size).picture(k) through the H.264
// writer, a key frame every key_interval frames from k = 0; or, with a clip,
// the clip's picture k modulo its length. A playback starts each channel at
// a key frame, so the client decodes exactly these pictures.
//
// A playback video unit is the 192-byte VideoFrameHeader and the coded
// picture:
//
//     0  16 zero bytes
//    16  type word 0x20061123: big-endian, or low byte first from a recorder
//        of kind 5 (product 12)
//    24  frame time, seconds (BE)       28  coded length (BE)
//    52  decode-only mark (0: we never send frames to be decoded unseen)
//    92  CRC-32 of the title (BE); off by one for a title that should fail
//    96  title, 32 bytes zero-filled
//   128  EncVideoHeader, exactly as live view writes it
//   192  the coded picture
// A playback audio unit is live view's audio unit with the type word in the
// playback byte order.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/channel_picture.h"
#include "sim/clip_rewriter.h"
#include "sim/h264_writer.h"
#include "sim/live_video.h"
#include "sim/recording_schedule.h"
#include "sim/sim_config.h"

namespace kalix::sim {

inline constexpr std::size_t kPlaybackVideoHeaderSize = 192;
inline constexpr std::size_t kDecodeOnlyOffset = 52;

enum class TypeWordOrder : std::uint8_t { BigEndian, LowByteFirst };

// How the playback type word goes for a recorder of this product number.
TypeWordOrder playbackTypeWordOrder(std::uint8_t product_number);

// Turns a live video unit into a playback unit; empty for a unit too short.
std::vector<std::uint8_t> playbackVideoUnit(std::span<const std::uint8_t> live_unit, std::uint32_t seconds,
                                            const ChannelTitle& title, TypeWordOrder order);
// Rewrites the type word of a live audio unit in the playback order.
void setPlaybackAudioOrder(std::vector<std::uint8_t>& unit, TypeWordOrder order);

// One channel's recorded pictures, coded on demand in the order a playback
// asks for them: forward from a key frame, or key frames alone.
class RecordedChannel {
public:
    RecordedChannel(std::uint8_t channel, const VideoSettings& settings);

    std::uint8_t channel() const { return channel_; }
    bool isKey(std::uint32_t index) const;
    // The largest key frame index at or before `index`.
    std::uint32_t keyAtOrBefore(std::uint32_t index) const;
    // The coded unit of frame `index` (key, or predicted from frame index − 1,
    // which must have been the previous frame asked for); empty when it
    // cannot be coded.
    std::vector<std::uint8_t> liveUnit(std::uint32_t index, std::uint64_t micros);

private:
    std::uint8_t channel_;
    PictureSize size_;
    std::uint32_t key_interval_;
    std::shared_ptr<const std::vector<ClipPicture>> clip_;
    std::vector<std::uint32_t> clip_keys_;  // indexes of the clip's key pictures
    std::optional<ChannelPicture> camera_;
    H264Writer writer_;
    YuvPicture previous_;
    YuvPicture current_;
    std::optional<std::uint32_t> previous_index_;
};

}  // namespace kalix::sim
