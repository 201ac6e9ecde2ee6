#include "session/remote_playback.h"

#include <algorithm>
#include <optional>
#include <thread>
#include <variant>

#include "media/unit_router.h"
#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kFirstCredit = 93;
constexpr std::uint32_t kCreditBatch = 48;
// The end time an event playback asks for: 2037-12-31 23:59:59.
constexpr protocol::RecorderTime kEventPlayEnd = 0x7FE8177F;
// The pacing shows the first frame of a run this much ahead of its time.
constexpr FrameMs kPacingLead = 100;
constexpr auto kLateLimit = std::chrono::milliseconds(1000);
constexpr auto kWaitLimit = std::chrono::milliseconds(3000);
// The playback stop lets the audio queue run down to this many blocks.
constexpr std::size_t kAudioTail = 2;
constexpr auto kAudioTailLimit = std::chrono::seconds(2);

// play_speed in the header of PLAY_DATA, as a signed speed: −6 … −1
// reverse, 0 none, 1 normal forward, 2 … 6 faster forward.
int speedOf(int raw) {
    if (raw >= 4 && raw <= 9) return raw - 10;
    if (raw >= 11 && raw <= 16) return raw - 10;
    return 0;
}

bool isStepOrPause(PlayMode m) { return m == PlayMode::StepBackward || m == PlayMode::Pause || m == PlayMode::StepForward; }
bool isBackward(PlayMode m) { return m == PlayMode::StepBackward || m == PlayMode::Reverse; }
bool isForward(PlayMode m) { return m == PlayMode::Forward || m == PlayMode::StepForward; }

std::array<std::uint8_t, 4> word(std::uint32_t value) {
    std::array<std::uint8_t, 4> out{};
    protocol::putBe32(out.data(), value);
    return out;
}

// The playback bar's buttons, by control mode.
ControlId buttonOf(PlayMode m) {
    switch (m) {
    case PlayMode::StepBackward: return ControlId::Play1;
    case PlayMode::Reverse: return static_cast<ControlId>(static_cast<int>(ControlId::Play1) + 1);
    case PlayMode::Forward: return static_cast<ControlId>(static_cast<int>(ControlId::Play1) + 2);
    case PlayMode::Pause: return ControlId::Freeze;
    case PlayMode::StepForward: return static_cast<ControlId>(static_cast<int>(ControlId::Play1) + 6);
    case PlayMode::None: break;
    }
    return ControlId::Play1;
}

constexpr ControlId kStopButton = static_cast<ControlId>(static_cast<int>(ControlId::Play1) + 5);

}  // namespace

// Direction memory: which way the last change of direction went.
enum class Turn : std::uint8_t { None = 0, ToForward = 1, ToBackward = 2 };

struct RemotePlayback::Impl {
    Impl(SessionCore& c, MediaPipeline& m, LoginState& l, LiveView& v, const SessionOptions& o)
        : core(c), media(m), login(l), live(v), options(o) {}

    SessionCore& core;
    MediaPipeline& media;
    LoginState& login;
    LiveView& live;
    const SessionOptions& options;

    // Serialises the controls, the stop and the start against each other.
    std::mutex control_mutex;

    // The state machine shared by the controls and the frame path, and the
    // pacing wait's wake-up.
    std::mutex mutex;
    std::condition_variable wake;
    // -- guarded by mutex --
    std::uint64_t interrupts = 0;  // one more for every control and the stop
    bool stepping = false;
    bool closing = false;
    Turn turn = Turn::None;
    FrameMs target_ms = 0;         // the frame at which the pause happened
    FrameMs last_queued_ms = 0;
    bool have_queued = false;
    std::uint32_t step_credit = 0;
    bool rebase = true;            // the next frame starts the pacing anew
    std::uint32_t epoch = 0;
    std::array<std::uint8_t, 8> token{};
    // -- receive thread only --
    int last_speed_index = -1;
    std::uint32_t credit_count = 0;
    FrameMs base_ms = 0;
    Clock::time_point base_tick{};

    void pause(std::chrono::milliseconds d) const {
        if (d.count() > 0) std::this_thread::sleep_for(d);
    }
    // One control message and the pause the recorder needs after it.
    void sendPaused(Code code, std::span<const std::uint8_t> payload = {}) {
        core.send(code, payload);
        pause(options.control_pause);
    }
    std::uint32_t channelNum() const { return static_cast<std::uint32_t>(std::clamp(login.channelCount(), 1, 16)); }
};

RemotePlayback::RemotePlayback(SessionCore& core, MediaPipeline& media, LoginState& login, LiveView& live,
                               const SessionOptions& options)
    : impl_(std::make_unique<Impl>(core, media, login, live, options)) {
    DispatchTable& table = core.handlers();
    table.on(Code::PLAY_ON_ACK, [this](const auto& h, auto p) { onAck(h, p); });
    table.on(Code::PLAY_ON_NACK, [this](const auto& h, auto p) { onNack(h, p); });
    table.on(Code::PLAY_ON_FAIL, [this](const auto& h, auto p) { onFail(h, p); });
    table.on(Code::PLAY_ON_DONE, [this](const auto& h, auto p) { onDone(h, p); });
    table.on(Code::PLAY_OFF_NACK, [this](const auto& h, auto p) { onOffNack(h, p); });
    table.on(Code::PLAY_CHANNEL_INFO, [this](const auto& h, auto p) { onChannelInfo(h, p); });
    table.on(Code::PLAY_DATA_FINISH, [this](const auto& h, auto p) { onDataFinish(h, p); });
    table.on(Code::PLAY_ABSTIME_CHANGE, [this](const auto& h, auto p) { onAbsTimeChange(h, p); });
    table.onUnit(Code::PLAY_DATA, media.frameBuffer(), [this](const auto& h, auto p) { onUnit(h, p); });
}

RemotePlayback::~RemotePlayback() = default;

std::array<std::uint8_t, 8> RemotePlayback::eventToken() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->token;
}

// ---- requests (owner's thread) ----

void RemotePlayback::start(const PlayStart& request) {
    std::array<std::uint8_t, 24> payload{};
    protocol::putBe32(payload.data(), request.mask);
    payload[4] = request.kind_filter;
    protocol::putBe32(payload.data() + 16, request.start);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->token = {};
    }
    event_kind_ = 0;
    channel_mask_ = request.mask;
    shown_mask_ = request.mask & kAllChannels;
    position_ = request.start;
    pending_ = true;
    impl_->core.send(Code::PLAY_ON_REQ, payload);
}

void RemotePlayback::startAtEvent(const EventPlayStart& request) {
    std::array<std::uint8_t, 24> payload{};
    protocol::putBe32(payload.data(), request.mask);
    payload[4] = static_cast<std::uint8_t>(1u << (request.event_kind & 7u));
    std::copy(request.token.begin(), request.token.end(), payload.begin() + 8);
    protocol::putBe32(payload.data() + 16, request.time);
    protocol::putBe32(payload.data() + 20, kEventPlayEnd);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->token = request.token;
    }
    event_kind_ = request.event_kind;
    channel_mask_ = request.mask;
    shown_mask_ = request.mask & kAllChannels;
    position_ = request.time;
    pending_ = true;
    impl_->core.send(Code::EVENT_PLAY_REQ, payload);
}

void RemotePlayback::control(PlayMode mode) {
    Impl& d = *impl_;
    std::lock_guard serial(d.control_mutex);
    if (!on_) return;
    const PlayMode previous = mode_.load();

    bool paused_at_known_position = false;
    std::array<std::uint8_t, 24> resume{};
    {
        std::lock_guard lock(d.mutex);
        paused_at_known_position = resume_ == ResumeState::Paused;
        // Direction memory and the stepping flag.
        if (isBackward(mode))
            d.turn = isForward(previous) ? Turn::ToBackward : Turn::None;
        else if (isForward(mode))
            d.turn = isBackward(previous) ? Turn::ToForward : Turn::None;
        else
            d.turn = Turn::None;
        d.stepping = isStepOrPause(mode);
        if (mode == PlayMode::Pause) {
            // The pause holds from the press: no further frame is shown,
            // and the position to come back to is the last frame shown.
            resume_ = ResumeState::Paused;
            d.target_ms = d.last_queued_ms;
        }
        ++d.interrupts;
        mode_ = mode;
        // The resume payload: the playback's channels (those on screen when
        // the recorder takes the view change) and the position.
        std::uint32_t mask = channel_mask_;
        if (d.login.playback_view_change) mask &= shown_mask_ | ~kAllChannels;
        protocol::putBe32(resume.data(), mask);
        const protocol::RecorderTime at = position_ + (isBackward(mode) ? 1u : 0u);
        protocol::putBe32(resume.data() + 16, at);
    }
    d.wake.notify_all();

    const auto shown = word(shown_mask_ & kAllChannels);
    const std::uint32_t channels = d.channelNum();
    auto seek = [&] {
        std::lock_guard lock(d.mutex);
        resume_ = ResumeState::Seeking;
        ++d.epoch;
        d.rebase = true;
    };
    auto stream = [&] {
        std::lock_guard lock(d.mutex);
        resume_ = ResumeState::Streaming;
        if (isBackward(mode) != isBackward(previous)) ++d.epoch;
        d.rebase = true;
    };
    auto stepCredit = [&](std::uint32_t n) {
        std::lock_guard lock(d.mutex);
        d.step_credit = n;
    };

    switch (mode) {
    case PlayMode::StepBackward:
        if (paused_at_known_position) {
            d.sendPaused(Code::PLAY_BACKWARD, resume);
            seek();
            stepCredit(channels);
            d.sendPaused(Code::PLAY_STEP_DATA, word(channels));
        } else {
            d.sendPaused(Code::PLAY_PAUSE);
            d.sendPaused(Code::PLAY_PREV_STEP);
            d.sendPaused(Code::PLAY_CH_CHANGE, shown);
            d.sendPaused(Code::PLAY_STEP_DATA, word(1));
        }
        break;
    case PlayMode::Reverse:
        if (paused_at_known_position) {
            d.sendPaused(Code::PLAY_BACKWARD, resume);
            seek();
        } else {
            d.sendPaused(Code::PLAY_BACKWARD);
            stream();
        }
        d.sendPaused(Code::PLAY_STEP_DATA, word(kFirstCredit));
        break;
    case PlayMode::Forward:
        if (paused_at_known_position) {
            d.sendPaused(Code::PLAY_PAUSE);
            d.sendPaused(Code::PLAY_FORWARD, resume);
            seek();
        } else {
            d.sendPaused(Code::PLAY_FORWARD);
            stream();
        }
        d.sendPaused(Code::PLAY_STEP_DATA, word(kFirstCredit));
        break;
    case PlayMode::Pause:
        if (!paused_at_known_position) {
            d.media.clearAudioQueue();
            d.sendPaused(Code::PLAY_PAUSE);
        }
        break;
    case PlayMode::StepForward:
        if (paused_at_known_position) {
            d.sendPaused(Code::PLAY_FORWARD, resume);
            seek();
            stepCredit(1);
            d.sendPaused(Code::PLAY_STEP_DATA, word(1));
        } else {
            d.sendPaused(Code::PLAY_PAUSE);
            d.sendPaused(Code::PLAY_NEXT_STEP);
            d.sendPaused(Code::PLAY_CH_CHANGE, shown);
            d.sendPaused(Code::PLAY_STEP_DATA, word(1));
        }
        break;
    case PlayMode::None: break;
    }

    if (mode == PlayMode::Reverse || mode == PlayMode::Forward || mode == PlayMode::Pause) {
        for (PlayMode m : {PlayMode::Reverse, PlayMode::Forward, PlayMode::Pause})
            d.core.post(ControlState{buttonOf(m), m == mode ? ButtonLook::Pressed : ButtonLook::Released});
    }
    d.pause(mode == PlayMode::Reverse || mode == PlayMode::Forward ? d.options.control_settle_play
                                                                    : d.options.control_settle_other);
}

void RemotePlayback::eventJump(JumpDirection direction, std::uint8_t event_kind) {
    if (!on_) return;
    control(PlayMode::Pause);
    std::this_thread::yield();
    std::array<std::uint8_t, 16> payload{};
    {
        std::lock_guard lock(impl_->mutex);
        std::copy(impl_->token.begin(), impl_->token.end(), payload.begin());
    }
    protocol::putBe32(payload.data() + 8, position_);
    payload[12] = event_kind;
    impl_->core.send(direction == JumpDirection::Forward ? Code::EVENT_JUMP_FORWARD : Code::EVENT_JUMP_BACKWARD,
                     payload);
}

void RemotePlayback::viewChange(std::uint32_t shown_mask) {
    shown_mask_ = shown_mask & kAllChannels;
    if (!on_ || !impl_->login.playback_view_change) return;
    impl_->core.send(Code::PLAY_VIEW_CH, word(shown_mask & channel_mask_ & kAllChannels));
}

void RemotePlayback::stop() {
    Impl& d = *impl_;
    std::lock_guard serial(d.control_mutex);
    if (!on_.exchange(false)) return;
    {
        std::lock_guard lock(d.mutex);
        ++d.interrupts;
        d.stepping = false;
        d.step_credit = 0;
    }
    d.wake.notify_all();
    mode_ = PlayMode::None;
    resume_ = ResumeState::Streaming;
    d.core.send(Code::RPLAY_STOP);

    // Let the sound already queued play out, then stop the audio thread.
    const auto give_up = Clock::now() + kAudioTailLimit;
    while (d.media.audioQueueLength() > kAudioTail && Clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    d.media.stopAudio(media::PlayerStop::Immediate);

    d.media.destroyDecoders();
    d.media.setPlaybackPaneTime(std::nullopt);
    media::VideoWall* wall = d.options.live_video.wall;
    if (wall != nullptr) wall->clearPictures();
    for (PlayMode m : {PlayMode::Reverse, PlayMode::Forward, PlayMode::Pause})
        d.core.post(ControlState{buttonOf(m), ButtonLook::Released});
    for (PlayMode m : {PlayMode::StepBackward, PlayMode::Reverse, PlayMode::Forward, PlayMode::Pause,
                       PlayMode::StepForward})
        d.core.post(ControlState{buttonOf(m), ButtonLook::Disabled});
    d.core.post(ControlState{kStopButton, ButtonLook::Disabled});
    if (wall != nullptr) {
        wall->resetView();
        wall->setDisplayMode(media::DisplayMode::None);
    }
    d.core.post(PlaybackChanged{false});
}

void RemotePlayback::interrupt() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->closing = true;
        ++impl_->interrupts;
    }
    impl_->wake.notify_all();
}

// ---- answers (receive thread) ----

void RemotePlayback::onAck(const MessageHeader&, std::span<const std::uint8_t>) {
    Impl& d = *impl_;
    pending_ = false;
    if (d.live.on()) d.live.stop();
    d.core.post(ControlState{ControlId::Live, ButtonLook::Released});

    const int channels = d.login.channelCount();
    {
        std::lock_guard lock(d.mutex);
        d.stepping = false;
        d.turn = Turn::None;
        d.step_credit = 0;
        d.rebase = true;
        d.have_queued = false;
        d.last_queued_ms = 0;
        d.target_ms = 0;
        ++d.epoch;
        ++d.interrupts;
    }
    d.credit_count = 0;
    d.last_speed_index = -1;
    frames_received_ = 0;
    d.media.frameBuffer().reset();
    if (media::VideoWall* wall = d.options.live_video.wall) {
        // No channel shown until PLAY_CHANNEL_INFO says which ones come.
        wall->clearPictures();
        wall->startView(channels);
        wall->setDisplayMode(media::DisplayMode::RemotePlayback);
    }
    d.media.createDecoders(channels);
    d.core.send(Code::PLAY_STEP_DATA, word(kFirstCredit));

    mode_ = PlayMode::Forward;
    resume_ = ResumeState::Streaming;
    speed_ = 1;
    on_ = true;
    for (PlayMode m : {PlayMode::StepBackward, PlayMode::StepForward})
        d.core.post(ControlState{buttonOf(m), ButtonLook::Released});
    d.core.post(ControlState{kStopButton, ButtonLook::Released});
    d.core.post(ControlState{buttonOf(PlayMode::Forward), ButtonLook::Pressed});
    d.core.post(ControlState{buttonOf(PlayMode::Reverse), ButtonLook::Released});
    d.core.post(ControlState{buttonOf(PlayMode::Pause), ButtonLook::Released});
    d.core.post(WindowPost{WindowMessage::CreateAuxiliaryWindow});
    d.core.post(PlaybackChanged{true});
    d.media.startAudio(MediaPipeline::AudioUse::RemotePlayback);
    d.core.post(WindowPost{WindowMessage::OpenEventJumpBar});
}

void RemotePlayback::onNack(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (const auto notice = noticeForReason(header.code(), reason)) impl_->core.post(Notice::fromLParam(*notice));
    if (on_) {
        impl_->media.stopAudio(media::PlayerStop::Immediate);
        stop();
    }
    pending_ = false;
    impl_->core.post(PlaybackRefused{false});
}

void RemotePlayback::onFail(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (const auto notice = noticeForReason(header.code(), reason)) impl_->core.post(Notice::fromLParam(*notice));
    pending_ = false;
    if (on_) {
        stop();
        impl_->media.stopAudio(media::PlayerStop::Immediate);
        impl_->pause(impl_->options.play_fail_pause);
        impl_->live.loginStart();
    }
    impl_->core.post(PlaybackRefused{true});
}

void RemotePlayback::onDone(const MessageHeader&, std::span<const std::uint8_t>) {
    if (!on_) return;
    control(PlayMode::Pause);
    resume_ = ResumeState::Streaming;
}

void RemotePlayback::onOffNack(const MessageHeader& header, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (const auto notice = noticeForReason(header.code(), reason)) impl_->core.post(Notice::fromLParam(*notice));
}

void RemotePlayback::onChannelInfo(const MessageHeader&, std::span<const std::uint8_t> payload) {
    const std::uint32_t mask = protocol::be32(payload.data());
    channel_mask_ = mask;
    shown_mask_ = mask & kAllChannels;
    if (media::VideoWall* wall = impl_->options.live_video.wall)
        wall->setActiveChannels(mask & kAllChannels, media::MapReset::IdentityWhenEmpty);
    impl_->core.post(PlayChannels{mask});
}

void RemotePlayback::onDataFinish(const MessageHeader&, std::span<const std::uint8_t>) {
    if (on_ && resume_ == ResumeState::Seeking) impl_->core.send(Code::PLAY_STEP_DATA, word(1));
}

void RemotePlayback::onAbsTimeChange(const MessageHeader&, std::span<const std::uint8_t> payload) {
    if (payload.size() != 8) return;
    std::lock_guard lock(impl_->mutex);
    std::copy(payload.begin(), payload.end(), impl_->token.begin());
}

void RemotePlayback::onUnit(const MessageHeader& last, std::span<const std::uint8_t> unit) {
    Impl& d = *impl_;
    if (!on_) return;
    ++frames_received_;

    // The speed, from the last fragment's header.
    const int raw_speed = last.playSpeed();
    if (raw_speed != d.last_speed_index) {
        d.last_speed_index = raw_speed;
        const int speed = speedOf(raw_speed);
        const bool was_normal = speed_.exchange(speed) == 1;
        if ((speed == 1) != was_normal) d.media.setAudioDiscard(speed != 1);
    }
    const int speed = speed_.load();

    // Credits: another batch every 48 frames, except while stepping.
    bool stepping = false;
    media::PlaybackContext context;
    {
        std::lock_guard lock(d.mutex);
        stepping = d.stepping;
        context.flow = resume_ == ResumeState::Streaming ? media::PlayFlow::Streaming
                                                         : media::PlayFlow::PausedOrSeeking;
        context.epoch = d.epoch;
    }
    if (!stepping && ++d.credit_count >= kCreditBatch) {
        d.core.send(Code::PLAY_STEP_DATA, word(kCreditBatch));
        d.credit_count = 0;
    }

    context.type_order = media::playbackTypeWordOrder(d.login.recorder_kind.load());
    context.speed = speed == 1 ? media::PlaySpeed::NormalForward : media::PlaySpeed::Other;
    const PlayMode mode = mode_.load();
    context.direction = (mode == PlayMode::Reverse && speed < 0) || mode == PlayMode::StepBackward
                            ? media::Direction::Backward
                            : media::Direction::Forward;

    auto route = media::completePlaybackUnit(unit, last, context);
    if (auto* audio = std::get_if<media::AudioRoute>(&route)) {
        if (resume_ == ResumeState::Streaming) d.media.queueAudio(audio->blocks);
        return;
    }
    auto* video = std::get_if<media::PlaybackVideoRoute>(&route);
    if (video == nullptr) return;
    d.media.setPlaybackPaneTime(video->pane_time);
    const FrameMs frame_ms = video->info.timeMs();

    if (!video->item) {
        seekStep(frame_ms);
        return;
    }

    // Streaming: pace normal-speed frames to the wall clock.
    if (speed == 1 && !stepping && d.options.play_pacing && !pace(frame_ms)) return;

    std::lock_guard lock(d.mutex);
    // A pause or the stop pressed while the frame waited: it is not shown.
    if (!on_ || resume_ != ResumeState::Streaming || d.closing) return;
    if (d.options.live_video.playback_frame_queued) d.options.live_video.playback_frame_queued(*video->item);
    d.media.queueVideo(std::move(*video->item));
    position_ = video->pane_time;
    d.last_queued_ms = frame_ms;
    d.have_queued = true;
}

// Waits until the frame is due. False when the frame is not to be shown
// (the playback stopped, the session closes, a pause or step came).
bool RemotePlayback::pace(FrameMs frame_ms) {
    Impl& d = *impl_;
    std::unique_lock lock(d.mutex);
    Clock::time_point now = Clock::now();
    if (d.rebase) {
        d.rebase = false;
        d.base_ms = frame_ms > kPacingLead ? frame_ms - kPacingLead : 0;
        d.base_tick = now;
    }
    const auto rebaseHere = [&](Clock::time_point at) {
        d.base_ms = frame_ms;
        d.base_tick = at;
    };
    // A frame before the base (a jump back in time) is due at once.
    const auto offset = frame_ms >= d.base_ms ? std::chrono::milliseconds(frame_ms - d.base_ms)
                                              : std::chrono::milliseconds(0);
    const Clock::time_point due = d.base_tick + offset;
    if (now >= due) {
        if (now - due > kLateLimit) rebaseHere(now);
        return true;
    }
    const std::uint64_t interrupts = d.interrupts;
    const Clock::time_point give_up = now + kWaitLimit;
    const bool interrupted = d.wake.wait_until(lock, std::min(due, give_up), [&] {
        return d.interrupts != interrupts || d.closing || !on_ || d.stepping;
    });
    if (interrupted) return on_ && !d.closing && resume_ == ResumeState::Streaming && !d.stepping;
    if (due > give_up) rebaseHere(Clock::now());
    return true;
}

// A frame while paused or seeking: never shown; a seek ends at the first
// frame at or past the target in its direction.
void RemotePlayback::seekStep(FrameMs frame_ms) {
    Impl& d = *impl_;
    enum class Then : std::uint8_t { Nothing, TopUp, RepeatNext, RepeatPrev };
    Then then = Then::Nothing;
    std::uint32_t top_up = 0;
    {
        std::lock_guard lock(d.mutex);
        if (resume_ != ResumeState::Seeking) return;  // paused: dropped
        const PlayMode mode = mode_.load();
        const bool forward = d.turn == Turn::ToForward || (d.turn == Turn::None && isForward(mode));
        const bool backward = d.turn == Turn::ToBackward || (d.turn == Turn::None && isBackward(mode));
        const auto topUp = [&] {
            const std::uint32_t before = d.step_credit;
            if (d.step_credit > 0) --d.step_credit;
            if (before < 2) {
                top_up = d.channelNum();
                d.step_credit = top_up;
                then = Then::TopUp;
            }
        };
        if (forward) {
            if (frame_ms < d.target_ms) {
                // A single step forward has one frame of credit: without a
                // top-up a step that starts before the target never ends.
                if (mode == PlayMode::StepForward) topUp();
            } else {
                resume_ = ResumeState::Streaming;
                d.rebase = true;
                if (mode == PlayMode::StepForward) then = Then::RepeatNext;
            }
        } else if (backward) {
            if (frame_ms > d.target_ms) {
                if (mode == PlayMode::StepBackward) topUp();
            } else {
                resume_ = ResumeState::Streaming;
                d.rebase = true;
                if (mode == PlayMode::StepBackward) then = Then::RepeatPrev;
            }
        }
    }
    switch (then) {
    case Then::Nothing: break;
    case Then::TopUp: d.core.send(Code::PLAY_STEP_DATA, word(top_up)); break;
    case Then::RepeatNext:
    case Then::RepeatPrev:
        d.sendPaused(Code::PLAY_PAUSE);
        d.sendPaused(then == Then::RepeatNext ? Code::PLAY_NEXT_STEP : Code::PLAY_PREV_STEP);
        d.sendPaused(Code::PLAY_CH_CHANGE, word(shown_mask_ & kAllChannels));
        d.sendPaused(Code::PLAY_STEP_DATA, word(1));
        break;
    }
}

}  // namespace kalix::session
