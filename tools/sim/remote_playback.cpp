#include "sim/remote_playback.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <string>

#include "protocol/byte_order.h"
#include "sim/fault_injection.h"
#include "sim/hello_reply.h"

namespace kalix::sim {
namespace {

using protocol::Code;
using namespace std::chrono_literals;

constexpr std::int32_t kReasonNothingRecorded = 83;
constexpr std::uint8_t kMaxSpeed = 6;
constexpr std::uint8_t kNoSpeedIndex = 10;
constexpr std::uint64_t kMicrosPerSecond = 1'000'000;
constexpr std::uint64_t kAudioUnitMicros = 8'000;
// A frame this much later than its time on the clock is sent at once and
// the clock starts afresh from it.
constexpr auto kMaxLateness = 1s;
// Frame times further apart than this (forward) are a gap in the
// recordings, skipped without waiting.
constexpr std::uint64_t kGapMicros = 2 * kMicrosPerSecond;
constexpr std::size_t kResumeTimeOffset = 16;
constexpr std::size_t kResumeSize = 24;
constexpr std::size_t kEventPlayKindOffset = 4;
constexpr std::size_t kEventPlayTokenOffset = 8;
constexpr std::size_t kEventPlayTimeOffset = 16;
constexpr std::size_t kJumpSize = 16;
constexpr std::size_t kJumpPositionOffset = 8;
constexpr std::size_t kJumpKindOffset = 12;

bool has(std::uint32_t mask, std::size_t channel) { return (mask >> channel & 1u) != 0; }

std::vector<ChannelTone> allTones() {
    std::vector<ChannelTone> tones;
    tones.reserve(kVideoChannels);
    for (std::size_t c = 0; c < kVideoChannels; ++c) tones.emplace_back(static_cast<std::uint8_t>(c));
    return tones;
}

std::string timeText(std::uint64_t micros) { return std::to_string(micros / kMicrosPerSecond); }

}  // namespace

std::uint8_t playSpeedIndex(PlayDirection direction, std::uint8_t speed) {
    if (speed == 0) return kNoSpeedIndex;
    speed = std::min(speed, kMaxSpeed);
    return static_cast<std::uint8_t>(direction == PlayDirection::Forward ? kNoSpeedIndex + speed
                                                                         : kNoSpeedIndex - speed);
}

// --- PlaybackStreamer ---

PlaybackStreamer::PlaybackStreamer(ClientLink& link, std::shared_ptr<const RecordingSchedule> schedule)
    : link_(link), schedule_(std::move(schedule)),
      order_(playbackTypeWordOrder(link.config().product_number)), audio_(link.config().audio.enabled),
      audio_mask_(link.config().audio.mask.value_or(0xFFFF)), tones_(allTones()),
      thread_([this](std::stop_token stop) { run(stop); }) {}

PlaybackStreamer::~PlaybackStreamer() = default;

std::uint64_t PlaybackStreamer::unitsSent() const {
    std::lock_guard lock(mutex_);
    return units_sent_;
}

void PlaybackStreamer::changed() {
    ++generation_;
    wake_.notify_all();
}

void PlaybackStreamer::start(std::uint32_t mask, RecorderSeconds start, std::uint8_t kind_filter,
                             std::optional<EventToken> token) {
    const SimConfig& config = link_.config();
    std::lock_guard lock(mutex_);
    active_ = false;
    std::uint16_t playable = 0;
    const auto wanted = static_cast<std::uint16_t>(mask & channelBits(config.channel_num));
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        timelines_[c].reset();
        if (!has(wanted, c)) continue;
        std::vector<RecordedStretch> stretches;
        for (const RecordedStretch& s : schedule_->channelStretches(c)) {
            if (kind_filter == 0 || (s.kind & kind_filter) != 0) stretches.push_back(s);
        }
        timelines_[c].emplace(stretches, config.video.frames_per_second[c]);
        if (timelines_[c]->firstAtOrAfter(std::uint64_t{start} * kMicrosPerSecond)) {
            playable = static_cast<std::uint16_t>(playable | 1u << c);
        }
    }
    if (playable == 0) {
        std::array<std::uint8_t, 4> reason{};
        protocol::putBe32(reason.data(), kReasonNothingRecorded);
        link_.sendMessage(Code::PLAY_ON_NACK, reason);
        link_.logEvent("nothing recorded from " + std::to_string(start) + " on channels " + hexMask(wanted));
        changed();
        return;
    }
    if (!link_.sendMessage(Code::PLAY_ON_ACK)) return;
    std::array<std::uint8_t, 4> info{};
    protocol::putBe32(info.data(), playable);
    if (!link_.sendMessage(Code::PLAY_CHANNEL_INFO, info)) return;

    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (has(playable, c) && !coders_[c]) coders_[c].emplace(c, config.video);
        last_sent_[c].reset();
    }
    for (ChannelTone& tone : tones_) tone.restart();
    active_ = true;
    mask_ = playable;
    shown_ = playable;
    speed_ = config.recordings.start_speed;
    paused_ = false;
    step_armed_ = false;
    credits_ = 0;
    finish_owed_ = false;
    units_sent_ = 0;
    token_ = token.value_or(EventToken{});
    seek(PlayDirection::Forward, std::uint64_t{start} * kMicrosPerSecond);
    link_.logEvent("playback from " + std::to_string(start) + " on channels " + hexMask(playable));
    changed();
}

void PlaybackStreamer::grant(std::uint32_t frames) {
    std::lock_guard lock(mutex_);
    credits_ = std::min(credits_ + frames, std::uint64_t{std::numeric_limits<std::uint32_t>::max()} * 4);
    changed();
}

void PlaybackStreamer::pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
    step_armed_ = false;
    credits_ = 0;
    finish_owed_ = false;
    changed();
}

void PlaybackStreamer::play(PlayDirection direction, std::optional<std::pair<std::uint32_t, RecorderSeconds>> resume) {
    std::lock_guard lock(mutex_);
    if (!active_) return;
    const std::uint8_t start_speed = link_.config().recordings.start_speed;
    step_armed_ = false;
    if (resume) {
        if ((resume->first & mask_) != 0) shown_ = static_cast<std::uint16_t>(resume->first & mask_);
        speed_ = start_speed;
        seek(direction, std::uint64_t{resume->second} * kMicrosPerSecond);
    } else if (direction == direction_ && !paused_) {
        // Pressed again while playing that way: the next speed.
        if (speed_ != 0) speed_ = static_cast<std::uint8_t>(speed_ % kMaxSpeed + 1);
        rebase_ = true;
    } else {
        if (direction != direction_) speed_ = start_speed;
        continueFrom(direction);
    }
    paused_ = false;
    done_sent_ = false;
    link_.logEvent(std::string(direction == PlayDirection::Forward ? "forward" : "backward") + " at speed index " +
                   std::to_string(playSpeedIndex(direction, speed_)) + " from " + timeText(position_));
    changed();
}

void PlaybackStreamer::step(PlayDirection direction) {
    std::lock_guard lock(mutex_);
    if (!active_) return;
    paused_ = true;
    credits_ = 0;
    finish_owed_ = false;
    step_armed_ = true;
    step_direction_ = direction;
    changed();
}

void PlaybackStreamer::show(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    if (!active_) return;
    const auto shown = static_cast<std::uint16_t>(mask & mask_);
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        // A channel that comes into view starts at a key frame near where
        // the playback is.
        if (has(shown, c) && !has(shown_, c)) {
            cursor_[c] = cursorFrom(c, direction_, position_);
            last_sent_[c].reset();
        }
    }
    shown_ = shown;
    changed();
}

void PlaybackStreamer::jump(PlayDirection direction, RecorderSeconds position, std::uint8_t kind) {
    std::lock_guard lock(mutex_);
    if (!active_) return;
    const bool any_kind = kind != 1 && kind != 2 && kind != 7;
    const RecordedEvent* target = nullptr;
    for (const RecordedEvent& e : schedule_->events()) {
        if ((!any_kind && e.kind != kind) || (e.mask & mask_) == 0) continue;
        if (direction == PlayDirection::Forward && e.time > position) {
            target = &e;
            break;
        }
        if (direction == PlayDirection::Backward && e.time < position) target = &e;
    }
    if (target == nullptr) {
        link_.logEvent("no event to jump to from " + std::to_string(position));
        return;
    }
    token_ = target->token;
    link_.sendMessage(Code::PLAY_ABSTIME_CHANGE, token_);
    speed_ = link_.config().recordings.start_speed;
    step_armed_ = false;
    paused_ = false;
    done_sent_ = false;
    seek(PlayDirection::Forward, std::uint64_t{target->time} * kMicrosPerSecond);
    link_.logEvent("jump to the event at " + std::to_string(target->time));
    changed();
}

void PlaybackStreamer::stop() {
    std::lock_guard lock(mutex_);
    const bool was_active = active_;
    active_ = false;
    link_.sendMessage(Code::PLAY_OFF_ACK);
    if (was_active) link_.logEvent("playback stopped, " + std::to_string(units_sent_) + " units sent");
    changed();
}

// Where a channel's frames go on from `micros`: forward from the key frame
// at or before the first frame there, backward from the key frame at or
// before the last frame there.
std::optional<FrameRef> PlaybackStreamer::cursorFrom(std::uint8_t channel, PlayDirection direction,
                                                     std::uint64_t micros) const {
    const ChannelTimeline& timeline = *timelines_[channel];
    const auto frame =
        direction == PlayDirection::Forward ? timeline.firstAtOrAfter(micros) : timeline.lastAtOrBefore(micros);
    if (!frame) return std::nullopt;
    return timeline.at(frame->stretch, coders_[channel]->keyAtOrBefore(frame->index));
}

void PlaybackStreamer::seek(PlayDirection direction, std::uint64_t micros) {
    direction_ = direction;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        cursor_[c].reset();
        last_sent_[c].reset();
        if (has(mask_, c)) cursor_[c] = cursorFrom(c, direction, micros);
    }
    position_ = micros;
    audio_micros_ = micros;
    // Frames before the asked-for time (back to their key frame) go at once.
    base_clock_ = Clock::now();
    base_micros_ = micros;
    rebase_ = false;
    done_sent_ = false;
}

// On from each channel's last frame sent, which the client has decoded:
// forward the frame after it, backward the key frame before it.
void PlaybackStreamer::continueFrom(PlayDirection direction) {
    direction_ = direction;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (!has(mask_, c)) continue;
        if (!last_sent_[c]) {
            cursor_[c] = cursorFrom(c, direction, position_);
        } else if (direction == PlayDirection::Forward) {
            cursor_[c] = timelines_[c]->next(*last_sent_[c]);
        } else {
            cursor_[c] = keyBefore(c, *last_sent_[c]);
        }
    }
    audio_micros_ = position_;
    rebase_ = true;
}

std::optional<FrameRef> PlaybackStreamer::keyBefore(std::uint8_t channel, const FrameRef& frame) const {
    const auto previous = timelines_[channel]->previous(frame);
    if (!previous) return std::nullopt;
    return timelines_[channel]->at(previous->stretch, coders_[channel]->keyAtOrBefore(previous->index));
}

bool PlaybackStreamer::recordedAt(std::uint8_t channel, std::uint64_t micros) const {
    if (!timelines_[channel]) return false;
    const auto frame = timelines_[channel]->lastAtOrBefore(micros);
    return frame && micros < std::uint64_t{timelines_[channel]->stretches()[frame->stretch].end} * kMicrosPerSecond;
}

bool PlaybackStreamer::sendFrame(std::uint8_t channel, const FrameRef& frame, bool decode_only) {
    const auto live = coders_[channel]->liveUnit(frame.index, frame.micros);
    const auto seconds = static_cast<std::uint32_t>(frame.micros / kMicrosPerSecond);
    auto unit = playbackVideoUnit(live, seconds, schedule_->title(channel), order_);
    last_sent_[channel] = frame;
    position_ = frame.micros;
    if (unit.empty()) return true;  // cannot be coded: nothing to send
    unit[kDecodeOnlyOffset] = decode_only ? 1 : 0;
    const UnitMarks marks{playSpeedIndex(direction_, speed_), channel};
    if (!link_.sendUnit(Code::PLAY_DATA, unit, 0, Logging::Quiet, marks)) return false;
    ++units_sent_;
    return true;
}

bool PlaybackStreamer::sendAudio() {
    std::uint16_t mask = 0;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (has(streamed() & audio_mask_, c) && recordedAt(c, audio_micros_)) mask = static_cast<std::uint16_t>(mask | 1u << c);
    }
    audio_micros_ += kAudioUnitMicros;
    if (mask == 0) return true;
    std::vector<AudioBlockBytes> blocks;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (has(mask, c)) blocks.push_back(tones_[c].nextBlock());
    }
    auto unit = buildLiveAudioUnit(mask, blocks);
    setPlaybackAudioOrder(unit, order_);
    return link_.sendUnit(Code::PLAY_DATA, unit, 0, Logging::Quiet, {playSpeedIndex(direction_, speed_), 0});
}

// One frame per shown channel, next or previous to its last frame sent. A
// previous frame that is not a key frame comes with its key frame and the
// frames between, decode-only.
bool PlaybackStreamer::sendStep() {
    step_armed_ = false;
    credits_ = 0;
    for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
        if (!has(streamed(), c)) continue;
        const ChannelTimeline& timeline = *timelines_[c];
        std::optional<FrameRef> target;
        if (step_direction_ == PlayDirection::Forward) {
            target = last_sent_[c] ? timeline.next(*last_sent_[c]) : cursorFrom(c, PlayDirection::Forward, position_);
        } else {
            target = last_sent_[c] ? timeline.previous(*last_sent_[c]) : cursorFrom(c, PlayDirection::Backward, position_);
        }
        if (!target) continue;
        if (step_direction_ == PlayDirection::Backward) {
            for (std::uint32_t k = coders_[c]->keyAtOrBefore(target->index); k < target->index; ++k) {
                if (!sendFrame(c, timeline.at(target->stretch, k), true)) return false;
            }
        }
        if (!sendFrame(c, *target, false)) return false;
        cursor_[c] = direction_ == PlayDirection::Forward ? timeline.next(*target) : keyBefore(c, *target);
    }
    return link_.sendMessage(Code::PLAY_DATA_FINISH);
}

void PlaybackStreamer::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    const auto wait = [&] {
        const std::uint64_t generation = generation_;
        wake_.wait(lock, stop, [&] { return generation_ != generation; });
    };
    while (!stop.stop_requested()) {
        if (!active_) {
            wait();
            continue;
        }
        if (step_armed_) {
            if (credits_ == 0) {
                wait();
                continue;
            }
            if (!sendStep()) active_ = false;
            continue;
        }
        if (paused_ || streamed() == 0) {
            wait();
            continue;
        }
        if (credits_ == 0) {
            if (finish_owed_) {
                finish_owed_ = false;
                if (!link_.sendMessage(Code::PLAY_DATA_FINISH)) active_ = false;
                continue;
            }
            wait();
            continue;
        }

        // The next frame: the earliest of the streamed channels forward,
        // the latest backward.
        std::optional<std::uint8_t> next;
        for (std::uint8_t c = 0; c < kVideoChannels; ++c) {
            if (!has(streamed(), c) || !cursor_[c]) continue;
            if (!next) {
                next = c;
                continue;
            }
            const bool better = direction_ == PlayDirection::Forward ? cursor_[c]->micros < cursor_[*next]->micros
                                                                     : cursor_[c]->micros > cursor_[*next]->micros;
            if (better) next = c;
        }
        if (!next) {
            if (!done_sent_) {
                done_sent_ = true;
                if (!link_.sendMessage(Code::PLAY_ON_DONE)) active_ = false;
                link_.logEvent("playback done at " + timeText(position_) + ", " + std::to_string(units_sent_) +
                               " units sent");
            }
            wait();
            continue;
        }
        const FrameRef frame = *cursor_[*next];
        const bool forward = direction_ == PlayDirection::Forward;
        const bool audio_first = audio_ && forward && speed_ == 1 && audio_micros_ <= frame.micros;

        // Pacing.
        const std::uint64_t item_micros = audio_first ? audio_micros_ : frame.micros;
        const auto now = Clock::now();
        if (speed_ != 0) {
            const bool gap = forward ? frame.micros > position_ + kGapMicros
                                     : frame.micros + kGapMicros < position_ &&
                                           (!last_sent_[*next] || last_sent_[*next]->stretch != frame.stretch);
            if (rebase_ || gap) {
                base_clock_ = now;
                base_micros_ = frame.micros;
                if (audio_micros_ < frame.micros) audio_micros_ = frame.micros;
                rebase_ = false;
                continue;
            }
            const std::uint64_t ahead = forward ? (item_micros > base_micros_ ? item_micros - base_micros_ : 0)
                                                : (base_micros_ > item_micros ? base_micros_ - item_micros : 0);
            const auto due = base_clock_ + std::chrono::microseconds(ahead / speed_);
            if (now < due) {
                const std::uint64_t generation = generation_;
                wake_.wait_until(lock, stop, due, [&] { return generation_ != generation; });
                continue;
            }
            if (now - due > kMaxLateness) rebase_ = true;
        }

        if (audio_first) {
            if (!sendAudio()) active_ = false;
            continue;
        }
        if (!sendFrame(*next, frame, false)) {
            active_ = false;
            continue;
        }
        cursor_[*next] = forward ? timelines_[*next]->next(frame) : keyBefore(*next, frame);
        --credits_;
        finish_owed_ = true;
        if (const auto fail = link_.config().recordings.fail_after; fail && units_sent_ >= fail->first) {
            std::array<std::uint8_t, 4> reason{};
            protocol::putBe32(reason.data(), static_cast<std::uint32_t>(fail->second));
            link_.sendMessage(Code::PLAY_ON_FAIL, reason);
            link_.logEvent("playback failed after " + std::to_string(units_sent_) + " units");
            active_ = false;
        }
    }
}

// --- RemotePlayback ---

void RemotePlayback::registerHandlers(HandlerTable& table) {
    using Payload = std::span<const std::uint8_t>;
    const auto add = [&](Code code, auto handler) {
        table.add(code, LoginRule::Needed,
                  [this, handler](const protocol::MessageHeader&, Payload payload) { handler(this, payload); });
    };
    add(Code::PLAY_ON_REQ, [](RemotePlayback* self, Payload p) { self->onPlayOn(p); });
    add(Code::EVENT_PLAY_REQ, [](RemotePlayback* self, Payload p) { self->onEventPlay(p); });
    add(Code::PLAY_STEP_DATA, [](RemotePlayback* self, Payload p) {
        if (p.size() < 4) return;
        if (auto* s = self->playing("PLAY_STEP_DATA")) s->grant(protocol::be32(p.data()));
    });
    add(Code::PLAY_PAUSE, [](RemotePlayback* self, Payload) {
        if (auto* s = self->playing("PLAY_PAUSE")) s->pause();
    });
    add(Code::PLAY_FORWARD, [](RemotePlayback* self, Payload p) { self->onPlay(PlayDirection::Forward, p); });
    add(Code::PLAY_BACKWARD, [](RemotePlayback* self, Payload p) { self->onPlay(PlayDirection::Backward, p); });
    add(Code::PLAY_NEXT_STEP, [](RemotePlayback* self, Payload) {
        if (auto* s = self->playing("PLAY_NEXT_STEP")) s->step(PlayDirection::Forward);
    });
    add(Code::PLAY_PREV_STEP, [](RemotePlayback* self, Payload) {
        if (auto* s = self->playing("PLAY_PREV_STEP")) s->step(PlayDirection::Backward);
    });
    for (const Code code : {Code::PLAY_CH_CHANGE, Code::PLAY_VIEW_CH}) {
        add(code, [](RemotePlayback* self, Payload p) {
            if (p.size() < 4) return;
            if (auto* s = self->playing("a channel change")) s->show(protocol::be32(p.data()));
        });
    }
    add(Code::EVENT_JUMP_FORWARD, [](RemotePlayback* self, Payload p) { self->onJump(PlayDirection::Forward, p); });
    add(Code::EVENT_JUMP_BACKWARD, [](RemotePlayback* self, Payload p) { self->onJump(PlayDirection::Backward, p); });
    add(Code::RPLAY_STOP, [](RemotePlayback* self, Payload) { self->onStop(); });
}

PlaybackStreamer* RemotePlayback::playing(const char* what) {
    if (!streamer_) link_.event(std::string(what) + " without a playback ignored");
    return streamer_.get();
}

void RemotePlayback::onPlayOn(std::span<const std::uint8_t> payload) {
    if (payload.size() < kResumeSize) return;
    if (refuseOnDemand(link_, Code::PLAY_ON_REQ)) return;
    if (!streamer_) streamer_ = std::make_unique<PlaybackStreamer>(link_, schedule_);
    streamer_->start(protocol::be32(payload.data()), protocol::be32(payload.data() + kResumeTimeOffset), payload[4],
                     std::nullopt);
}

void RemotePlayback::onEventPlay(std::span<const std::uint8_t> payload) {
    if (payload.size() < kResumeSize) return;
    if (refuseOnDemand(link_, Code::EVENT_PLAY_REQ)) return;
    EventToken token{};
    std::copy_n(payload.begin() + kEventPlayTokenOffset, token.size(), token.begin());
    // The token names the event; a token we never gave out falls back on the
    // time in the request.
    const RecordedEvent* event = schedule_->findEvent(token);
    const RecorderSeconds start = event ? event->time : protocol::be32(payload.data() + kEventPlayTimeOffset);
    if (!streamer_) streamer_ = std::make_unique<PlaybackStreamer>(link_, schedule_);
    link_.event("event playback, kind bits " + std::to_string(payload[kEventPlayKindOffset]));
    streamer_->start(protocol::be32(payload.data()), start, 0, event ? std::optional(token) : std::nullopt);
}

void RemotePlayback::onPlay(PlayDirection direction, std::span<const std::uint8_t> payload) {
    auto* streamer = playing(direction == PlayDirection::Forward ? "PLAY_FORWARD" : "PLAY_BACKWARD");
    if (streamer == nullptr) return;
    if (payload.size() >= kResumeSize) {
        streamer->play(direction, std::pair{protocol::be32(payload.data()),
                                            protocol::be32(payload.data() + kResumeTimeOffset)});
    } else {
        streamer->play(direction, std::nullopt);
    }
}

void RemotePlayback::onJump(PlayDirection direction, std::span<const std::uint8_t> payload) {
    if (payload.size() < kJumpSize) return;
    if (auto* s = playing("an event jump")) {
        s->jump(direction, protocol::be32(payload.data() + kJumpPositionOffset), payload[kJumpKindOffset]);
    }
}

void RemotePlayback::onStop() {
    if (refuseOnDemand(link_, Code::RPLAY_STOP)) return;
    if (streamer_) {
        streamer_->stop();
    } else {
        link_.sendMessage(Code::PLAY_OFF_ACK);
    }
}

}  // namespace kalix::sim
