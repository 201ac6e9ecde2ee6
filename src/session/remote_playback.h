#pragma once
// Remote playback: the start (at a time or at an event), the recorder's
// answers, the frame flow against credits with pacing to the wall clock,
// the playback bar's controls, event jumps, the view change and the stop.
//
// Threads: the receive thread runs the handlers and paces frames; the
// owner's thread (the user-interface thread, kalix-cli's main loop) starts,
// controls and stops. A control wakes a pacing wait at once (condition
// variable), and from a pause on no further frame is shown.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>

#include "protocol/message_header.h"
#include "protocol/recorder_time.h"
#include "session/live_view.h"
#include "session/login_state.h"
#include "session/media_pipeline.h"
#include "session/session_core.h"
#include "session/session_options.h"

namespace kalix::session {

// The playback bar's controls, by the number the recorder's protocol and
// the status strip use.
enum class PlayMode : std::uint8_t {
    None = 0,
    StepBackward = 1,
    Reverse = 2,
    Forward = 3,
    Pause = 4,
    StepForward = 7,
};

// Where the frames stand against the position the operator paused at.
enum class ResumeState : std::uint8_t { Streaming = 0, Paused = 1, Seeking = 2 };

// PLAY_ON_REQ: from the day timeline and the log viewers (kind filter 0)
// or the date-and-time search (0x3F).
struct PlayStart {
    std::uint32_t mask = kAllChannels;
    std::uint8_t kind_filter = 0;
    protocol::RecorderTime start = 0;
};

// EVENT_PLAY_REQ: an event record chosen in the event list.
struct EventPlayStart {
    std::uint32_t mask = kAllChannels;
    std::uint8_t event_kind = 1;               // 1, 2 or 7
    std::array<std::uint8_t, 8> token{};       // the record's bytes 8-15
    protocol::RecorderTime time = 0;
};

enum class JumpDirection : std::uint8_t { Backward = 1, Forward };

// Time stamps of frames in milliseconds (64-bit: 32 bits would wrap every
// 49.7 days).
using FrameMs = std::uint64_t;

class RemotePlayback {
public:
    RemotePlayback(SessionCore& core, MediaPipeline& media, LoginState& login, LiveView& live,
                   const SessionOptions& options);
    ~RemotePlayback();

    // Requests; each marks the request pending.
    void start(const PlayStart& request);
    void startAtEvent(const EventPlayStart& request);
    // One press of the playback bar, with its messages, pauses and the
    // settling wait (up to about 0.6 s on the caller's thread).
    void control(PlayMode mode);
    // Event-jump bar (playback started at an event): pause, then the jump.
    void eventJump(JumpDirection direction, std::uint8_t event_kind);
    // The channels on screen changed: PLAY_VIEW_CH when the recorder takes
    // it, and the mask PLAY_CH_CHANGE carries from now on.
    void viewChange(std::uint32_t shown_mask);
    // The playback stop (stop button, new live start, close, rights change).
    void stop();
    // The session closes: a frame waiting for its time is let go at once.
    void interrupt();

    bool on() const { return on_.load(); }
    bool pending() const { return pending_.load(); }
    PlayMode mode() const { return mode_.load(); }
    ResumeState resumeState() const { return resume_.load(); }
    int speed() const { return speed_.load(); }
    protocol::RecorderTime position() const { return position_.load(); }
    std::uint32_t channelMask() const { return channel_mask_.load(); }
    std::uint32_t shownMask() const { return shown_mask_.load(); }
    std::array<std::uint8_t, 8> eventToken() const;
    std::uint64_t framesReceived() const { return frames_received_.load(); }
    // The event kind of a playback started at an event; 0 otherwise.
    std::uint8_t eventKind() const { return event_kind_.load(); }

    // Handlers, fed by the dispatch table.
    void onAck(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onNack(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onFail(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onDone(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onOffNack(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onChannelInfo(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onDataFinish(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onAbsTimeChange(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onUnit(const protocol::MessageHeader& last, std::span<const std::uint8_t> unit);

private:
    bool pace(FrameMs frame_ms);
    void seekStep(FrameMs frame_ms);

    struct Impl;
    std::unique_ptr<Impl> impl_;

    std::atomic<bool> on_{false};
    std::atomic<bool> pending_{false};
    std::atomic<PlayMode> mode_{PlayMode::None};
    std::atomic<ResumeState> resume_{ResumeState::Streaming};
    std::atomic<int> speed_{0};
    std::atomic<protocol::RecorderTime> position_{0};
    std::atomic<std::uint32_t> channel_mask_{0};
    std::atomic<std::uint32_t> shown_mask_{0};
    std::atomic<std::uint64_t> frames_received_{0};
    std::atomic<std::uint8_t> event_kind_{0};
};

}  // namespace kalix::session
