#pragma once
// What becomes of a completed media unit: the session gathers the fragments
// of a LIVE_DATA or PLAY_DATA unit and hands the whole unit here. These
// functions do no I/O and own no queues; they say where the unit goes and
// build what is queued, and the session does the queueing (it knows which
// decoders and which audio player exist).
//
//   live unit, audio:  AudioFrameHeader (64) + one 48-byte block per channel
//                      of the mask at offset 40, ascending channel order
//   live unit, video:  260 bytes passed over, EncVideoHeader, picture from 324
//   playback unit:     AudioFrameHeader + blocks as above, or
//                      VideoFrameHeader (192) + picture from 192
//
// Only the audio type word is tested; any other word is video. In live view
// the type word is big-endian; in remote playback a kind-5 recorder sends it
// low byte first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "media/frame_formats.h"
#include "protocol/message_header.h"
#include "protocol/recorder_time.h"

namespace kalix::media {

enum class TypeWordOrder : std::uint8_t { BigEndian = 1, LowByteFirst };

// Kind 5 stores the playback type word low byte first, kind 3 big-endian.
TypeWordOrder playbackTypeWordOrder(std::int32_t recorder_kind);

enum class DropReason : std::uint8_t {
    ShortUnit = 1,          // fewer bytes than the unit's header
    Frozen,                 // live video while the freeze flag is set
    AudioAtOtherSpeed,      // playback audio away from normal forward speed
};

struct Dropped {
    DropReason reason = DropReason::ShortUnit;
};

// The blocks an audio unit carries, as far as they arrived.
class AudioBlocks {
public:
    struct Pick {
        AudioBlock block{};
        int channel = 0;  // the selected channel from now on (see audioBlockIndex)
    };

    AudioBlocks() = default;
    AudioBlocks(std::uint32_t mask, std::span<const std::uint8_t> payload);

    // The announced mask; the session keeps it as its current audio mask.
    std::uint32_t mask() const { return mask_; }
    std::size_t count() const { return count_; }

    // The block of `selected_channel` (−1: the lowest channel of the mask).
    // Nothing when that channel sent no block or its block did not arrive.
    std::optional<Pick> pick(int selected_channel) const;

private:
    std::uint32_t mask_ = 0;
    std::size_t count_ = 0;
    std::array<AudioBlock, kChannelCount> blocks_{};
};

// The caller stores the mask, lets the main window re-check its selected
// audio channel against it, then takes pick(selected) for the audio queue.
struct AudioRoute {
    AudioBlocks blocks;
};

// A live picture for the frame queue of channel item.info.channel.
struct VideoRoute {
    FrameItem item;
};

// A playback picture. The description and pane time are kept in every case;
// the item is there only while playback streams.
struct PlaybackVideoRoute {
    FrameInfo info;
    protocol::RecorderTime pane_time = 0;  // VideoFrameHeader frame time
    std::optional<FrameItem> item;
};

enum class Freeze : std::uint8_t { Off = 1, On };

struct LiveContext {
    std::uint32_t epoch = 0;  // the live generation count
    Freeze freeze = Freeze::Off;
};

using LiveRoute = std::variant<Dropped, AudioRoute, VideoRoute>;

// `last` is the header of the unit's last fragment; its copy in the item
// carries the frame's channel in frame_channel.
LiveRoute completeLiveUnit(std::span<const std::uint8_t> unit, const protocol::MessageHeader& last,
                           const LiveContext& context);

enum class PlaySpeed : std::uint8_t { NormalForward = 1, Other };
enum class PlayFlow : std::uint8_t { Streaming = 1, PausedOrSeeking };

struct PlaybackContext {
    TypeWordOrder type_order = TypeWordOrder::BigEndian;
    PlaySpeed speed = PlaySpeed::NormalForward;
    PlayFlow flow = PlayFlow::Streaming;
    std::uint32_t epoch = 0;  // the playback run's epoch
    // Backward in reverse play at a negative speed and in step-backward mode.
    Direction direction = Direction::Forward;
};

using PlaybackRoute = std::variant<Dropped, AudioRoute, PlaybackVideoRoute>;

// The payload length in the VideoFrameHeader is trusted only as far as the
// unit reaches: a longer claim is cut to the bytes present.
PlaybackRoute completePlaybackUnit(std::span<const std::uint8_t> unit,
                                   const protocol::MessageHeader& last,
                                   const PlaybackContext& context);

}  // namespace kalix::media
