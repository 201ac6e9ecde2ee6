#pragma once
// What the main window asks of the session's remote playback. The
// controller speaks to its DvrSession through this; tests put a recording
// double in its place, so the playback bar's rules are checked without a
// recorder.

#include <cstdint>

#include "protocol/recorder_time.h"
#include "session/remote_playback.h"

namespace kalix::app {

class PlaybackSession {
public:
    virtual ~PlaybackSession() = default;
    virtual bool loggedIn() const = 0;
    virtual void playStart(const session::PlayStart& request) = 0;
    virtual void playAtEvent(const session::EventPlayStart& request) = 0;
    // Blocks up to about 0.6 s: the recorder needs its pauses.
    virtual void playControl(session::PlayMode mode) = 0;
    virtual void eventJump(session::JumpDirection direction, std::uint8_t event_kind) = 0;
    // The channels on screen (already limited to the playback's); the
    // session sends PLAY_VIEW_CH when the recorder takes it.
    virtual void playViewChange(std::uint32_t shown_mask) = 0;
    virtual void playStop() = 0;
    virtual bool playbackOn() const = 0;
    virtual bool playbackPending() const = 0;
    virtual session::PlayMode playMode() const = 0;
    virtual int playSpeed() const = 0;
    virtual protocol::RecorderTime playbackPosition() const = 0;
    virtual std::uint32_t playbackChannels() const = 0;
};

}  // namespace kalix::app
