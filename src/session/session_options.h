#pragma once
// What the owner of a session decides: the recorder, the account, the
// timings, and where live pictures and sound go.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "media/audio/audio_player.h"
#include "media/video/channel_decoder.h"
#include "media/audio/sound_output.h"
#include "media/video/video_wall.h"
#include "protocol/transport.h"
#include "session/audio_channel_owner.h"

namespace kalix::session {

using namespace std::chrono_literals;

inline constexpr std::uint16_t kDefaultPort = 2000;
inline constexpr std::uint32_t kAllChannels = 0xFFFF;

// What the owner gives the session for live pictures. Without a wall the
// session logs in and keeps live view running, but decodes nothing.
struct LiveVideo {
    media::VideoWall* wall = nullptr;
    // Whether 480- and 576-line pictures of a channel are line-doubled (the
    // channel's Deinterlace byte is 0).
    std::function<bool(int channel)> line_doubling;
    std::function<int(std::string_view text)> text_width;
    // The audio icon of a channel, or nothing to leave it.
    std::function<std::optional<media::AudioIcon>(int channel)> audio_icon;
    // Every live frame handed to the media pipeline, in order, whether or
    // not its channel has a decoder.
    std::function<void(const media::FrameItem& item)> frame_handed_over;
    // Every remote playback frame queued for a decoder, in order.
    std::function<void(const media::FrameItem& item)> playback_frame_queued;
    // Every decoded picture as planar YUV, before post-processing (YUV path).
    std::function<void(const media::DecodedPicture& picture)> picture_decoded;
};

// What the owner gives the session for sound. Without make_output the PC
// has no sound output: no audio thread, no audio switch, no talk.
struct LiveAudio {
    std::function<std::unique_ptr<media::SoundOutput>()> make_output;
    std::uint8_t audio_buf = 2;           // the live view slot of the audio buffer setting
    std::uint8_t playback_audio_buf = 2;  // the remote playback slot
    AudioChannelOwner* channels = nullptr;
    // Every block handed to the audio thread, in order.
    std::function<void(const media::AudioBlock& block)> block_queued;
};

struct SessionOptions {
    std::string address;  // dotted IPv4 text
    std::uint16_t port = kDefaultPort;
    std::string user;
    std::string password;
    std::string description;

    std::chrono::milliseconds keep_alive_interval = 10s;
    // Pause between noticing the recorder's close and shutting our side.
    std::chrono::milliseconds close_grace = 1000ms;
    std::chrono::milliseconds connect_limit = 21s;
    std::chrono::milliseconds receive_limit = protocol::kReceiveLimit;
    // Pause after LIVE_STOP before the consumers are stopped.
    std::chrono::milliseconds live_stop_pause = 50ms;

    // Remote playback: the pause after each control message and the waits
    // after a whole control (reverse and forward; the others), and the
    // pacing's lead on the first frame.
    std::chrono::milliseconds control_pause = 50ms;
    std::chrono::milliseconds control_settle_play = 100ms;
    std::chrono::milliseconds control_settle_other = 500ms;
    std::chrono::milliseconds play_fail_pause = 100ms;
    // Normal-speed playback frames wait for their time on the wall clock.
    // Off only where time does not matter (fuzzing).
    bool play_pacing = true;

    LiveVideo live_video;
    LiveAudio live_audio;
};

}  // namespace kalix::session
