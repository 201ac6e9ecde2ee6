#pragma once
// Where the session's pictures and sound go: one decoder per channel, the
// audio player with its block queue, and the frame reassembly buffer.
// Live view feeds it today; remote playback will feed the same pipeline.
//
// Threads: the receive thread hands frames and blocks over; the owner's
// thread creates and destroys the consumers. Each consumer is guarded by its
// own mutex (decoders_mutex_, audio_mutex_); the two never nest.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "media/audio/audio_block_queue.h"
#include "media/audio/audio_player.h"
#include "media/video/channel_decoder.h"
#include "media/unit_router.h"
#include "session/event_sink.h"
#include "session/reassembly_buffer.h"
#include "session/session_options.h"

namespace kalix::session {

class MediaPipeline {
public:
    MediaPipeline(const SessionOptions& options, EventSink& sink);
    ~MediaPipeline();
    MediaPipeline(const MediaPipeline&) = delete;
    MediaPipeline& operator=(const MediaPipeline&) = delete;

    // Fragments of LIVE_DATA (and of playback data) are gathered here.
    // -- receive thread only --
    ReassemblyBuffer& frameBuffer() { return frame_buffer_; }

    bool hasWall() const { return options_.live_video.wall != nullptr; }

    // Decoders for channels 0 .. count-1 that have none yet (only with a wall).
    void createDecoders(int channel_count);
    // Lets every decoder finish what it has, then stops and destroys it.
    void destroyDecoders();
    // A frame to its channel's decoder; dropped when that channel has none.
    void queueVideo(media::FrameItem item);
    // The video-loss mask from a channel mask whose bits 16-31 mark the
    // channels in video loss; only channels with a decoder count.
    std::uint32_t setVideoLoss(std::uint32_t channel_info_mask);
    std::uint32_t videoLossMask() const { return video_loss_mask_.load(); }
    std::array<std::uint64_t, 16> picturesShown() const;
    // The live caption titles ("CH<n>" until the recorder names them) and
    // the channels hidden from the user: their live frames are dropped
    // before decoding.
    void setLiveTitles(const std::array<std::string, 16>& titles);
    void setHiddenMask(std::uint32_t mask) { hidden_mask_ = mask; }
    std::uint32_t hiddenMask() const { return hidden_mask_.load(); }
    // Remote playback: the time the panes show (the last frame's header
    // time); nothing outside playback, where each picture shows its own.
    void setPlaybackPaneTime(std::optional<std::int64_t> time) { playback_pane_time_ = time.value_or(-1); }

    // Only when the PC has a sound output. Live view plays with its audio
    // buffer slot; remote playback with its own, in the alternate mode.
    enum class AudioUse : std::uint8_t { Live = 1, RemotePlayback };
    void startAudio(AudioUse use = AudioUse::Live);
    // Remote playback away from normal speed: blocks are dropped and the
    // queue emptied.
    void setAudioDiscard(bool on);
    void clearAudioQueue();
    std::size_t audioQueueLength() const;
    void stopAudio(media::PlayerStop how);
    // The selected channel's block of an audio unit to the audio player.
    void queueAudio(const media::AudioBlocks& blocks);
    std::uint32_t audioMask() const { return audio_mask_.load(); }

private:
    class DecoderHost;

    const SessionOptions& options_;
    EventSink& sink_;
    std::unique_ptr<DecoderHost> host_;

    // -- receive thread only --
    ReassemblyBuffer frame_buffer_;

    // -- guarded by decoders_mutex_ --
    mutable std::mutex decoders_mutex_;
    std::array<std::unique_ptr<media::ChannelDecoder>, 16> decoders_;

    // -- guarded by audio_mutex_ --
    mutable std::mutex audio_mutex_;
    std::unique_ptr<media::AudioPlayer> audio_player_;
    media::AudioBlockQueue audio_queue_;

    // -- guarded by titles_mutex_ --
    mutable std::mutex titles_mutex_;
    std::array<std::string, 16> titles_;
    bool titles_named_ = false;

    std::atomic<std::uint32_t> video_loss_mask_{0};
    std::atomic<std::uint32_t> hidden_mask_{0};
    std::atomic<std::uint32_t> audio_mask_{0};
    std::atomic<std::int64_t> playback_pane_time_{-1};
};

}  // namespace kalix::session
