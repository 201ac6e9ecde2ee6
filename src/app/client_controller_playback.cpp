// The main window's remote-playback side: the playback bar, the start
// requests from the search dialog, the time display and status strip, the
// event-jump bar and the channel view change during playback.

#include <algorithm>

#include "app/client_controller.h"

namespace kalix::app {
namespace {

using session::ButtonLook;

bool pausedMode(session::PlayMode mode) {
    using session::PlayMode;
    return mode == PlayMode::Pause || mode == PlayMode::StepBackward || mode == PlayMode::StepForward;
}
bool runningMode(session::PlayMode mode) {
    return mode == session::PlayMode::Reverse || mode == session::PlayMode::Forward;
}

constexpr int kRecordIndex = 4;  // 344 among the playback buttons
// Event kinds are sent as one bit of a byte.
constexpr std::uint8_t kMaxEventKind = 7;

}  // namespace

void ClientController::pressPlayback(int index) {
    const ControlId control = playbackButton(index);
    if (control == ControlId::Record) return pressRecord();  // the same in every display mode
    switch (wall_.displayMode()) {
        case media::DisplayMode::RemotePlayback: return pressRemotePlayback(control);
        case media::DisplayMode::Live: break;
        case media::DisplayMode::LocalPlayback: return pressLocalPlayback(control);
        default: return;
    }
    // In live view the fourth button freezes and thaws the pictures; the
    // other playback buttons do nothing.
    if (control != ControlId::Freeze || !liveOn()) return;
    const bool freeze = !session_->frozen();
    session_->setFreeze(freeze);
    ++freeze_presses_;
    setPressed(ControlId::Freeze, freeze);
    view_.buttonsChanged();
}

// The playback bar against the recorder. Steps go only from a paused
// picture (after a step the playback is still paused, so steps follow each
// other); pause only from running play.
void ClientController::pressRemotePlayback(ControlId control) {
    PlaybackSession* p = playbackSession();
    if (!p || !p->playbackOn()) return;
    using session::PlayMode;
    const PlayMode now = p->playMode();
    std::optional<PlayMode> mode;
    switch (static_cast<int>(control) - static_cast<int>(ControlId::Play1)) {
        case 0: if (pausedMode(now)) mode = PlayMode::StepBackward; break;
        case 1: mode = PlayMode::Reverse; break;
        case 2: if (runningMode(now) || pausedMode(now)) mode = PlayMode::Forward; break;
        case 3: if (runningMode(now)) mode = PlayMode::Pause; break;
        case 5: return stopRemotePlayback();
        case 6: if (pausedMode(now)) mode = PlayMode::StepForward; break;
        default: return;  // record: not offered by this client
    }
    if (!mode) return;
    p->playControl(*mode);
    showPlayLooks(p->playMode());
    view_.buttonsChanged();
    view_.playbackChanged();
    view_.repaintWall();
}

void ClientController::stopRemotePlayback() {
    if (PlaybackSession* p = playbackSession()) p->playStop();
    audio_choice_.select(-1);
    playbackEnded();
}

// The reverse, forward and pause buttons show which of those modes runs.
void ClientController::showPlayLooks(session::PlayMode mode) {
    setPressed(playbackButton(1), mode == session::PlayMode::Reverse);
    setPressed(playbackButton(2), mode == session::PlayMode::Forward);
    setPressed(playbackButton(3), mode == session::PlayMode::Pause);
}

// The recorder accepted a start: the playback bar is the recorder's now.
void ClientController::playbackBegan() {
    wall_.setDisplayMode(media::DisplayMode::RemotePlayback);
    for (int i = 0; i < kPlaybackButtons; ++i)
        if (i != kRecordIndex) setEnabled(playbackButton(i), true);
    showPlayLooks(session::PlayMode::Forward);
    view_.buttonsChanged();
    view_.playbackChanged();
}

// The playback stopped (stop button, refusal, rights change, close): bar
// disabled and released, 16 empty panes, the playback's windows closed.
// The operator goes back to live view with the Live button. Safe to run
// more than once.
void ClientController::playbackEnded() {
    if (wall_.displayMode() == media::DisplayMode::RemotePlayback && !liveOn())
        wall_.setDisplayMode(media::DisplayMode::None);
    for (int i = 0; i < kPlaybackButtons; ++i)
        if (i != kRecordIndex) setEnabled(playbackButton(i), false);
    showPlayLooks(session::PlayMode::None);
    if (!liveOn() && wall_.view().selectLayout(kSixteenPaneLayout)) {
        for (int i = 0; i < kSplitButtons; ++i) setPressed(splitButton(i), i == kSplitButtons - 1);
        highlightShownChannel();
    }
    if (time_display_open_) {
        time_display_open_ = false;
        view_.closeTimeDisplay();
    }
    if (event_jump_bar_open_) {
        event_jump_bar_open_ = false;
        view_.closeEventJumpBar();
    }
    view_.buttonsChanged();
    view_.playbackChanged();
    view_.repaintWall();
}

PlaybackSession* ClientController::playbackSession() const {
    return playback_override_ ? playback_override_ : session_playback_.get();
}

bool ClientController::remotePlaybackShown() const {
    return wall_.displayMode() == media::DisplayMode::RemotePlayback;
}

bool ClientController::localPlaybackActive() const { return wall_.displayMode() == media::DisplayMode::LocalPlayback; }

std::optional<protocol::RecorderTime> ClientController::runningPlaybackPosition() const {
    const PlaybackSession* p = playbackSession();
    if (!remotePlaybackShown() || !p || !p->playbackOn()) return std::nullopt;
    if (const protocol::RecorderTime t = p->playbackPosition(); t != 0) return t;
    // No frame yet: the start time, while the state still holds it.
    if (play_state_.active()) return play_state_.position();
    return std::nullopt;
}

// ---------------------------------------------------------------- remote playback

bool ClientController::startRemotePlayback(const session::PlayStart& request, RemotePlayInit init) {
    PlaybackSession* p = playbackSession();
    if (!p || !p->loggedIn() || p->playbackPending()) return false;
    if (localPlaybackActive()) return false;
    p->playStart(request);
    play_state_.begin(std::move(init));
    view_.playbackChanged();
    return true;
}

bool ClientController::startEventPlayback(const session::EventPlayStart& request, RemotePlayInit init) {
    PlaybackSession* p = playbackSession();
    if (!p || !p->loggedIn() || p->playbackPending()) return false;
    if (localPlaybackActive()) return false;
    if (request.event_kind > kMaxEventKind) return false;
    p->playAtEvent(request);
    play_state_.begin(std::move(init), request.event_kind);
    view_.playbackChanged();
    return true;
}

void ClientController::clearRemotePlayState() {
    play_state_.clear();
    view_.playbackChanged();
}

std::optional<PlaybackStatus> ClientController::playbackStatus() const {
    if (const auto local = localStatus()) {
        PlaybackStatus status;
        status.origin = PlayOrigin::TimeSearch;
        status.mode = localPlayMode(local->state);
        status.speed = std::clamp(local->speed, -6, 6);
        status.position = local->time;
        return status;
    }
    if (!remotePlaybackShown()) return std::nullopt;
    PlaybackStatus status;
    status.origin = play_state_.origin();
    status.position = play_state_.position();
    if (const PlaybackSession* p = playbackSession()) {
        status.mode = p->playMode();
        status.speed = std::clamp(p->playSpeed(), -6, 6);
    }
    return status;
}

void ClientController::playbackTick() {
    const PlaybackSession* p = playbackSession();
    if (!p || !p->playbackOn()) return;
    // No frame yet: the start time stands.
    if (const protocol::RecorderTime t = p->playbackPosition(); t != 0) play_state_.setPosition(t);
}

ButtonState ClientController::eventJumpState(EventJumpButton button) const {
    if (local_) {
        switch (button) {
            case EventJumpButton::SlowBackward:
            case EventJumpButton::SlowForward: return ButtonState{true, false};
            case EventJumpButton::PreviousEvent:
            case EventJumpButton::NextEvent: return ButtonState{!local_events_.empty(), false};
            default: return ButtonState{false, false};
        }
    }
    const bool jump = button == EventJumpButton::PreviousEvent || button == EventJumpButton::NextEvent;
    const PlaybackSession* p = playbackSession();
    const bool available = jump && remotePlaybackShown() && play_state_.eventKind() && p && p->playbackOn();
    return ButtonState{available, false};
}

void ClientController::pressEventJump(EventJumpButton button) {
    if (!eventJumpState(button).enabled) return;
    if (local_) return pressLocalEventJump(button);
    PlaybackSession* p = playbackSession();
    const auto direction = button == EventJumpButton::PreviousEvent ? session::JumpDirection::Backward
                                                                     : session::JumpDirection::Forward;
    p->eventJump(direction, *play_state_.eventKind());
    showPlayLooks(p->playMode());
    view_.buttonsChanged();
    view_.playbackChanged();
    view_.repaintWall();
}

}  // namespace kalix::app
