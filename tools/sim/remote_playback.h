#pragma once
// Remote playback from the recorder's side.
//
// Start: PLAY_ON_REQ (channels, kind filter, start time) or EVENT_PLAY_REQ
// (channels, the event's token and time) is answered with PLAY_ON_ACK and
// PLAY_CHANNEL_INFO: the asked-for channels that hold recordings at or after
// the start. Nothing there: PLAY_ON_NACK with reason 83.
//
// Frames: every channel starts at the key frame at or before the start and
// goes on frame by frame through its recorded stretches, gaps skipped; the
// channels are merged by frame time. Each frame is one PLAY_DATA unit (see
// recorded_video.h) whose every fragment carries the speed index in
// play_speed and the channel in frame_channel. With audio on, audio units
// go along at normal forward speed; they need no credit.
//
// Credits: PLAY_STEP_DATA adds its count to the frames we may send; every
// video unit takes one. When the credit runs out PLAY_DATA_FINISH goes out.
// A step is the one exception: it sends one frame per shown channel on the
// first grant that follows it, however small, and spends that grant.
//
// Pacing: frame times are kept at real time × speed; a frame more than a
// second late, or after a gap in the recordings, starts the clock afresh.
// Speed index in play_speed: 11 normal forward, 12-16 forward 2x-6x, 9-4
// reverse 1x-6x, 10 none (unpaced; --play-speed 0).
//
// Controls:
//   PLAY_PAUSE            stop sending; the credit is dropped
//   PLAY_FORWARD          with 24 bytes: from the time at 16 (channels at 0,
//                         when not 0, become the shown ones) at the start
//                         speed; without: forward from where each channel
//                         is, and when already playing forward, the next
//                         speed: 1x → 2x → … → 6x → 1x
//   PLAY_BACKWARD         the same backwards: key frames only, newest first
//   PLAY_NEXT_STEP        the next frame of every shown channel
//   PLAY_PREV_STEP        the previous frame of every shown channel: its key
//                         frame and the frames up to it, all but the last
//                         marked decode-only (byte 52)
//   PLAY_CH_CHANGE, PLAY_VIEW_CH   the channels shown (within the playback's)
//   EVENT_JUMP_FORWARD / _BACKWARD  to the next (previous) event of the kind
//                         named in the payload on the playback's channels:
//                         PLAY_ABSTIME_CHANGE with its token, then forward
//                         from its time
//   RPLAY_STOP            PLAY_OFF_ACK; nothing of the playback follows it
// At the end of the recordings in the playing direction: PLAY_ON_DONE.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <thread>
#include <vector>

#include "sim/client_link.h"
#include "sim/live_audio.h"
#include "sim/recorded_video.h"
#include "sim/recording_schedule.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

enum class PlayDirection : std::uint8_t { Forward, Backward };

// The play_speed index of a speed (0 none, 1-6) in a direction.
std::uint8_t playSpeedIndex(PlayDirection direction, std::uint8_t speed);

// Sends one playback's units on its own thread; the feature's handlers steer
// it. Lock order: the streamer's lock, then the link's send mutex; whatever
// a control answers goes out under the streamer's lock, so no unit of an
// older state follows it.
class PlaybackStreamer {
public:
    PlaybackStreamer(ClientLink& link, std::shared_ptr<const RecordingSchedule> schedule);
    ~PlaybackStreamer();  // stops and joins the thread
    PlaybackStreamer(const PlaybackStreamer&) = delete;
    PlaybackStreamer& operator=(const PlaybackStreamer&) = delete;

    // Answers the start (ACK and channel info, or the refusal) and starts.
    void start(std::uint32_t mask, RecorderSeconds start, std::uint8_t kind_filter,
               std::optional<EventToken> token);
    void grant(std::uint32_t frames);
    void pause();
    // `resume`: the 24-byte resume payload, or nothing.
    void play(PlayDirection direction, std::optional<std::pair<std::uint32_t, RecorderSeconds>> resume);
    void step(PlayDirection direction);
    void show(std::uint32_t mask);
    void jump(PlayDirection direction, RecorderSeconds position, std::uint8_t kind);
    void stop();

    std::uint64_t unitsSent() const;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending;

    void run(std::stop_token stop);
    // The steps of run(), under the lock; each returns false when the
    // connection failed.
    bool sendStep();
    bool sendFrame(std::uint8_t channel, const FrameRef& frame, bool decode_only);
    bool sendAudio();
    void seek(PlayDirection direction, std::uint64_t micros);
    void continueFrom(PlayDirection direction);
    std::optional<FrameRef> keyBefore(std::uint8_t channel, const FrameRef& frame) const;
    std::optional<FrameRef> cursorFrom(std::uint8_t channel, PlayDirection direction, std::uint64_t micros) const;
    bool recordedAt(std::uint8_t channel, std::uint64_t micros) const;
    std::uint16_t streamed() const { return static_cast<std::uint16_t>(mask_ & shown_); }
    void changed();

    ClientLink& link_;
    const std::shared_ptr<const RecordingSchedule> schedule_;
    const TypeWordOrder order_;
    const bool audio_;
    const std::uint16_t audio_mask_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    // -- guarded by mutex_ --
    bool active_ = false;
    bool paused_ = false;
    bool done_sent_ = false;
    bool finish_owed_ = false;
    bool rebase_ = true;
    bool step_armed_ = false;
    PlayDirection direction_ = PlayDirection::Forward;
    PlayDirection step_direction_ = PlayDirection::Forward;
    std::uint8_t speed_ = 1;
    std::uint16_t mask_ = 0;
    std::uint16_t shown_ = 0;
    std::uint64_t credits_ = 0;
    std::uint64_t units_sent_ = 0;
    std::uint64_t generation_ = 0;
    std::uint64_t position_ = 0;  // micros of the last frame sent, or where a run starts
    std::uint64_t audio_micros_ = 0;
    Clock::time_point base_clock_{};
    std::uint64_t base_micros_ = 0;
    EventToken token_{};
    std::array<std::optional<ChannelTimeline>, kVideoChannels> timelines_;
    std::array<std::optional<RecordedChannel>, kVideoChannels> coders_;
    std::array<std::optional<FrameRef>, kVideoChannels> cursor_;
    std::array<std::optional<FrameRef>, kVideoChannels> last_sent_;
    std::vector<ChannelTone> tones_;

    std::jthread thread_;  // last: joined before the members it uses go
};

class RemotePlayback final : public SimFeature {
public:
    RemotePlayback(ClientLink& link, std::shared_ptr<const RecordingSchedule> schedule)
        : link_(link), schedule_(std::move(schedule)) {}

    void registerHandlers(HandlerTable& table) override;
    void onDisconnect() override { streamer_.reset(); }

private:
    void onPlayOn(std::span<const std::uint8_t> payload);
    void onEventPlay(std::span<const std::uint8_t> payload);
    void onPlay(PlayDirection direction, std::span<const std::uint8_t> payload);
    void onJump(PlayDirection direction, std::span<const std::uint8_t> payload);
    void onStop();
    // Nothing before the first start: the controls of no playback are
    // logged and dropped.
    PlaybackStreamer* playing(const char* what);

    ClientLink& link_;
    std::shared_ptr<const RecordingSchedule> schedule_;  // never null
    std::unique_ptr<PlaybackStreamer> streamer_;         // made at the first start
};

}  // namespace kalix::sim
