#include "player/local_player.h"

#include <algorithm>
#include <bit>

#include "base/stop_wait.h"
#include "protocol/trace.h"

namespace kalix::player {
namespace {

using Clock = std::chrono::steady_clock;

int panesFor(std::uint32_t video_mask) {
    const int high = video_mask == 0 ? 0 : 31 - std::countl_zero(video_mask & 0xFFFFu);
    if (high > 8) return 16;
    if (high > 3) return 9;
    return 4;
}

}  // namespace

std::uint16_t watermarkSum(std::span<const std::uint8_t> payload) {
    std::uint16_t sum = 0;
    for (std::size_t p = 0; p < payload.size(); p += (payload[p] & 7u) * 2u + 2u)
        sum = static_cast<std::uint16_t>(sum + payload[p]);
    return sum;
}

std::optional<std::size_t> startSegment(const Catalogue& catalogue, protocol::RecorderTime t) {
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        if (t <= catalogue[i].end) return i;
    return std::nullopt;
}

LocalPlayer::LocalPlayer(Catalogue catalogue, PlayerOutput& output)
    : catalogue_(std::move(catalogue)), output_(output) {}

LocalPlayer::~LocalPlayer() { stop(); }

void LocalPlayer::start(const PlayerStart& start) {
    if (thread_.joinable() || catalogue_.empty() || start.segment >= catalogue_.size()) return;
    start_ = start;
    segment_ = start.segment;
    {
        std::lock_guard lock(control_mutex_);
        state_ = start.first;
        speed_ = 0;
        if (start.first == Command::Forward) speed_ = std::clamp(start.speed, 1, 6);
        if (start.first == Command::Backward) speed_ = std::clamp(start.speed, -6, -2);
        if (start.first == Command::SlowBackward) speed_ = 10;
        if (start.first == Command::SlowForward) speed_ = 11;
        restart_timing_ = true;
    }
    running_ = true;
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

void LocalPlayer::stop() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    control_changed_.notify_all();
    thread_.join();
}

void LocalPlayer::applyLocked(Command command) {
    Command state = state_.load();
    int speed = speed_.load();
    const CommandEffect effect = applyCommand(command, state, speed);
    state_ = state;
    speed_ = speed;
    if (effect.restart_timing) restart_timing_ = true;
    if (effect.stop_audio) stop_audio_ = true;
    if (command == Command::StepForward || command == Command::StepBackward) clear_step_mask_ = true;
    ++control_serial_;
}

void LocalPlayer::command(Command command) {
    {
        std::lock_guard lock(control_mutex_);
        applyLocked(command);
    }
    control_changed_.notify_all();
}

void LocalPlayer::internalCommand(Command command, PauseCause cause) {
    {
        std::lock_guard lock(control_mutex_);
        applyLocked(command);
    }
    if (command == Command::Pause) output_.paused(cause);
}

void LocalPlayer::sliderGrabbed() { seek_state_ = 1; }
void LocalPlayer::sliderDragging() { seek_state_ = 2; }

void LocalPlayer::seek(std::uint32_t position) {
    {
        std::lock_guard lock(control_mutex_);
        seek_target_ = range_start_.load() + position;
        seek_state_ = 3;
        // A paused player shows one frame at the new place.
        if (state_.load() == Command::Pause)
            applyLocked(speed_.load() == 7 ? Command::StepForward : Command::StepBackward);
        ++control_serial_;
    }
    control_changed_.notify_all();
}

std::string LocalPlayer::currentPath() const {
    std::lock_guard lock(path_mutex_);
    return current_path_;
}

void LocalPlayer::reportDamage(std::uint32_t offset, const std::string& reason) {
    protocol::trace("[player] damage in %s at %u: %s\n", reader_.path().c_str(), offset, reason.c_str());
    output_.damage(reader_.path(), offset, reason);
    {
        std::lock_guard lock(control_mutex_);
        state_ = Command::Pause;
        ++control_serial_;
    }
    output_.stopAudio();
    output_.paused(PauseCause::Damage);
}

void LocalPlayer::run(std::stop_token stop) {
    buffer_.reserve(kFrameBufferBytes);
    if (start_.start_delay.count() > 0 && !base::waitFor(stop, start_.start_delay)) {
        running_ = false;
        output_.ended();
        return;
    }
    output_.started();
    if (openSegment(true)) {
        while (!stop.stop_requested()) {
            if (stop_audio_.exchange(false)) output_.stopAudio();
            if (clear_step_mask_.exchange(false)) step_mask_ = 0;
            const Command state = state_.load();
            if (!gops_.idle() && (seekPending() || !everyPictureBackwards(state))) leaveGroups(!seekPending());
            switch (state) {
            case Command::Forward:
            case Command::SlowForward: forwardIteration(stop); break;
            case Command::Backward:
            case Command::SlowBackward: backwardIteration(stop); break;
            case Command::StepForward: stepForwardIteration(stop); break;
            case Command::StepBackward: stepBackwardIteration(stop); break;
            default: {
                step_mask_ = 0;
                std::unique_lock lock(control_mutex_);
                const std::uint64_t serial = control_serial_.load();
                control_changed_.wait_for(lock, stop, std::chrono::milliseconds(50),
                                          [&] { return control_serial_.load() != serial; });
                break;
            }
            }
            if (state_.load() == Command::None) break;
        }
    }
    reader_.close();
    output_.stopAudio();
    running_ = false;
    output_.ended();
}

bool LocalPlayer::openSegment(bool first) {
    const PlayerSegment& seg = catalogue_[segment_];
    const Command state = state_.load();
    const bool forward = !isBackwardState(state);
    const bool new_stretch =
        !seekPending() && (first || (forward && !seg.join_previous) || (!forward && !seg.join_next));
    if (new_stretch) {
        for (int c = 0; c < 16; ++c) output_.watermarkState(c, -1);
        key_counters_.fill(0);
        output_.stopAudio();
        restart_timing_ = true;
        rebase_ = true;
        after_seek_ = false;
        std::size_t a = segment_;
        while (a > 0 && catalogue_[a].join_previous) --a;
        std::size_t b = segment_;
        while (b + 1 < catalogue_.size() && catalogue_[b].join_next) ++b;
        range_start_ = catalogue_[a].start;
        range_end_ = catalogue_[b].end;
        output_.stretchChanged(range_start_.load(), range_end_);
    }
    channel_mask_ = seg.video_mask;
    output_.channelsChanged(panesFor(seg.video_mask), seg.video_mask);

    if (reader_.path() != seg.media_path || !reader_.isOpen()) {
        if (!reader_.open(seg.media_path)) {
            protocol::trace("[player] cannot open %s\n", seg.media_path.c_str());
            reportDamage(0, "cannot open the archive pair");
            std::lock_guard lock(control_mutex_);
            state_ = Command::None;
            return false;
        }
        std::lock_guard lock(path_mutex_);
        current_path_ = seg.media_path;
    }
    next_back_.reset();
    const auto range_start = range_start_.load();
    if (!forward) {
        if (seekPending()) {
            pos_ = seg.block_begin;
        } else if (first && first_open_) {
            // Backwards from the start frame: it is shown too.
            next_back_ = seg.start_offset;
        } else {
            output_.sliderMoved(seg.end - range_start);
            if (seg.block_end >= reader_.trailerOffset()) {
                const auto last = reader_.lastFrameOffset();
                if (!last) {
                    reportDamage(reader_.trailerOffset(), "unreadable .vid trailer");
                    return false;
                }
                next_back_ = *last;
            } else {
                const auto next = reader_.readUnit(seg.block_end);
                if (!next.unit) {
                    reportDamage(seg.block_end, next.damage);
                    return false;
                }
                next_back_ = next.unit->previousLink();
            }
        }
    } else {
        const bool use_start = first && first_open_;
        if (!seekPending()) output_.sliderMoved((use_start ? seg.play_from : seg.start) - range_start);
        // Coming back into the start segment later plays it from its beginning.
        pos_ = use_start ? seg.start_offset : seg.block_begin;
    }
    first_open_ = false;
    return true;
}

LocalPlayer::Step LocalPlayer::readAt(std::uint32_t offset) {
    const auto read = reader_.readUnit(offset);
    if (!read.unit) {
        reportDamage(offset, read.damage);
        return Step::Damage;
    }
    current_ = *read.unit;
    have_current_ = true;
    pos_ = current_.end();
    if (current_.kind == UnitKind::Video &&
        !acceptedPictureSize(current_.video.enc.width(), current_.video.enc.height()))
        return Step::Skip;
    return Step::Unit;
}

LocalPlayer::Step LocalPlayer::readForward() { return readAt(pos_); }

// The previous video frame along the links, or Reopen when there is none
// in this block.
LocalPlayer::Step LocalPlayer::readBackward() {
    const PlayerSegment& seg = catalogue_[segment_];
    std::uint32_t target = 0;
    if (next_back_) {
        target = *next_back_;
        next_back_.reset();
    } else {
        // The first unit of a .vid links to itself: nothing is earlier.
        if (!have_current_ || current_.offset <= kFirstUnitOffset) return Step::Reopen;
        target = current_.previousLink();
        // Links point back; anything else would loop for ever.
        if (target >= kFirstUnitOffset && target >= current_.offset) {
            reportDamage(current_.offset, "previous-frame link does not point back");
            return Step::Damage;
        }
    }
    if (target < kFirstUnitOffset || target < seg.block_begin) return Step::Reopen;
    return readAt(target);
}

bool LocalPlayer::goPrevious(bool within_stretch) {
    if (segment_ == 0) return false;
    if (within_stretch && !catalogue_[segment_].join_previous) return false;
    --segment_;
    seek_state_ = seekPending() ? seek_state_.load() : 0;
    have_current_ = false;
    return openSegment(false);
}

void LocalPlayer::forwardIteration(std::stop_token stop) {
    const PlayerSegment& seg = catalogue_[segment_];
    if (!seekPending() && pos_ >= seg.block_end) {
        if (segment_ + 1 < catalogue_.size()) {
            ++segment_;
            openSegment(false);
        } else {
            output_.stopAudio();
            internalCommand(Command::Pause, PauseCause::End);
        }
        return;
    }
    Step step;
    if (seekPending()) {
        output_.stopAudio();
        step = movedSliderPos();
        if (step == Step::Unit) seek_state_ = 0;
    } else {
        step = readForward();
    }
    if (step == Step::Reopen) {
        openSegment(false);
        return;
    }
    if (step != Step::Unit) return;

    const Command state = state_.load();
    const Selection sel = selectionFor(state, speed_.load());
    if (current_.kind == UnitKind::Video && current_.video.decode_only == 1) return;
    if (sel.all_units) {
        if (state == Command::Forward && seg.has_audio && !output_.audioRunning() && output_.audioWanted())
            output_.startAudio();
        handOn(stop, state);
        return;
    }
    if (current_.kind != UnitKind::Video) return;
    const int channel = current_.video.enc.channel;
    if (current_.video.enc.kind != media::FrameKind::Key) return;
    if (!output_.waitForRoom(channel, kQueueLimit, stop)) return;
    auto& counter = key_counters_[static_cast<std::size_t>(channel & 15)];
    const bool show = counter % sel.key_stride == 0;
    counter = (counter + 1) % sel.key_stride;
    if (show) handOn(stop, state);
}

void LocalPlayer::backwardIteration(std::stop_token stop) {
    const bool groups = everyPictureBackwards(state_.load());
    if (groups && !seekPending() && showHeld(stop)) return;
    Step step;
    if (seekPending()) {
        step = movedSliderPos();
        if (step == Step::Unit) seek_state_ = 0;
    } else {
        step = readBackward();
        if (step == Step::Reopen) {
            if (groups) {
                // Nothing earlier here: what waits for a key frame is given
                // up, what is held is shown before another file opens.
                gops_.flush();
                while (showHeld(stop))
                    if (stop.stop_requested() || !everyPictureBackwards(state_.load())) return;
                last_shown_.reset();
            }
            if (!goPrevious(false)) internalCommand(Command::Pause, PauseCause::End);
            return;
        }
    }
    if (step == Step::Reopen) {
        openSegment(false);
        return;
    }
    if (step != Step::Unit) return;
    if (current_.kind != UnitKind::Video || current_.video.decode_only == 1) return;
    if (groups) {
        for (const HeldPicture& p : gops_.meet(current_)) {
            if (!output_.waitForRoom(p.unit.video.enc.channel, kQueueLimit, stop)) return;
            handVideo(stop, p.unit, state_.load(), media::HoldRole::Hold, p.id);
        }
        return;
    }
    if (current_.video.enc.kind != media::FrameKind::Key) return;
    const int channel = current_.video.enc.channel;
    if (!output_.waitForRoom(channel, kQueueLimit, stop)) return;
    const Command state = state_.load();
    const Selection sel = selectionFor(state, speed_.load());
    auto& counter = key_counters_[static_cast<std::size_t>(channel & 15)];
    const bool show = counter % sel.key_stride == 0;
    counter = (counter + 1) % sel.key_stride;
    if (show) handOn(stop, state);
}

bool LocalPlayer::everyPictureBackwards(Command state) const {
    if (!start_.every_picture_backwards) return false;
    if (state != Command::Backward && state != Command::SlowBackward) return false;
    if (selectionFor(state, speed_.load()).key_stride != 1) return false;
    return std::popcount(catalogue_[segment_].video_mask & 0xFFFFu) <= kEveryPictureChannels;
}

// The next held picture that may be shown, paced; false when there is none.
bool LocalPlayer::showHeld(std::stop_token stop) {
    auto next = gops_.nextShow();
    if (!next) return false;
    const int channel = next->unit.video.enc.channel;
    if (!output_.waitForRoom(channel, kQueueLimit, stop)) return true;
    handVideo(stop, next->unit, state_.load(), media::HoldRole::Show, next->id);
    last_shown_ = next->unit;
    return true;
}

// Backward play of every picture ends (another direction, speed or a
// seek): held pictures are forgotten; unless a seek moves on anyway, play
// goes on from the picture on screen rather than from where reading got to.
void LocalPlayer::leaveGroups(bool keep_place) {
    gops_.clear();
    if (keep_place && last_shown_) {
        current_ = *last_shown_;
        have_current_ = true;
        pos_ = current_.end();
        next_back_.reset();
    }
    last_shown_.reset();
}

void LocalPlayer::stepForwardIteration(std::stop_token stop) {
    const PlayerSegment& seg = catalogue_[segment_];
    if (!seekPending() && pos_ >= seg.block_end) {
        const bool has_next = segment_ + 1 < catalogue_.size();
        if (has_next && seg.join_next) {
            ++segment_;
            openSegment(false);
        } else {
            internalCommand(Command::Pause, has_next ? PauseCause::StepDone : PauseCause::End);
        }
        return;
    }
    const Step step = seekPending() ? stepSeek() : readForward();
    if (step == Step::Reopen) {
        openSegment(false);
        return;
    }
    if (step != Step::Unit) return;
    switch (stepFrame()) {
    case StepFrame::Passed: return;
    case StepFrame::Repeated:
        pos_ = current_.offset;
        if (after_seek_) restart_timing_ = true;
        internalCommand(Command::Pause, PauseCause::StepDone);
        return;
    case StepFrame::Shown: handOn(stop, Command::StepForward); return;
    }
}

void LocalPlayer::stepBackwardIteration(std::stop_token stop) {
    Step step;
    if (seekPending()) {
        step = stepSeek();
    } else {
        step = readBackward();
        if (step == Step::Reopen) {
            if (!goPrevious(true))
                internalCommand(Command::Pause, segment_ == 0 ? PauseCause::End : PauseCause::StepDone);
            return;
        }
    }
    if (step == Step::Reopen) {
        openSegment(false);
        return;
    }
    if (step != Step::Unit) return;
    switch (stepFrame()) {
    case StepFrame::Passed: return;
    case StepFrame::Repeated: {
        // The next step back starts from this frame's successor again.
        const auto next = reader_.readUnit(current_.end());
        if (next.unit) current_ = *next.unit;
        restart_timing_ = true;
        internalCommand(Command::Pause, PauseCause::StepDone);
        return;
    }
    case StepFrame::Shown: handOn(stop, Command::StepBackward); return;
    }
}

// A step's seek: the frame it lands on is taken as the first after a seek.
LocalPlayer::Step LocalPlayer::stepSeek() {
    const Step step = movedSliderPos();
    if (step == Step::Unit) {
        seek_state_ = 0;
        after_seek_ = true;
    }
    return step;
}

// A step shows one frame of every visible channel; meeting a channel again
// ends it. Right after a seek only a key frame can start a channel.
LocalPlayer::StepFrame LocalPlayer::stepFrame() {
    if (current_.kind != UnitKind::Video || current_.video.decode_only == 1) return StepFrame::Passed;
    if (after_seek_ && current_.video.enc.kind != media::FrameKind::Key) return StepFrame::Passed;
    const int channel = current_.video.enc.channel;
    if (!output_.channelVisible(channel)) return StepFrame::Passed;
    if ((step_mask_ & (1u << channel)) != 0) return StepFrame::Repeated;
    step_mask_ |= 1u << channel;
    after_seek_ = false;
    return StepFrame::Shown;
}

void LocalPlayer::handOn(std::stop_token stop, Command state) {
    const std::string& path = reader_.path();
    if (current_.kind == UnitKind::Audio) {
        if (!reader_.readPayload(current_, buffer_)) return;
        output_.audioUnit(current_, path);
        if (!output_.audioRunning() || buffer_.empty()) return;
        const int selected = output_.selectedAudioChannel();
        // A unit without the selected channel carries nothing of it.
        const auto choice = media::audioBlockIndex(current_.audio.archive_channel_mask, selected);
        if (!choice) return;
        if (selected == -1) output_.selectAudioChannel(choice->channel);
        const std::size_t at = choice->index * media::kAudioBlockSize;
        if (at + media::kAudioBlockSize > buffer_.size()) return;
        media::AudioBlock block{};
        std::copy_n(buffer_.begin() + static_cast<std::ptrdiff_t>(at), block.size(), block.begin());
        output_.queueAudio(block);
        return;
    }

    handVideo(stop, current_, state, media::HoldRole::None, 0);
}

void LocalPlayer::handVideo(std::stop_token stop, const Unit& unit, Command state, media::HoldRole role,
                            std::uint64_t id) {
    const media::VideoFrameHeader& h = unit.video;
    media::FrameInfo info = media::buildFrameInfo(h.enc);
    info.title = media::checkedTitle(h.title, h.title_crc, h.enc.channel);
    const auto frame_ms = static_cast<std::int64_t>(info.timeMs());

    // A held picture is only decoded now; it is shown, paced, later.
    if (role != media::HoldRole::Hold) {
        current_time_ = h.frame_time;
        output_.timeShown(h.frame_time);
        const auto range_start = range_start_.load();
        if (!seekPending() && h.frame_time >= range_start && h.frame_time <= range_end_)
            output_.sliderMoved(h.frame_time - range_start);

        // Timing, first part.
        const bool restart = restart_timing_.exchange(false);
        if (restart || rebase_) {
            base_ms_ = frame_ms - 100;
            base_tick_ = Clock::now();
            if (restart) ++epoch_;
            rebase_ = false;
            due_ms_ = 0;
        } else {
            const int shift = pacingShift(state, speed_.load());
            const std::int64_t diff = isBackwardState(state) ? base_ms_ - frame_ms : frame_ms - base_ms_;
            due_ms_ = shift < 0 ? diff * 2 : (diff >> shift);
        }
    }

    media::FrameItem item;
    if (role == media::HoldRole::Show) {
        media::setAvailable(info, 0);
    } else {
        if (!reader_.readPayload(unit, buffer_)) {
            // Larger than any picture the decoders take: passed over.
            protocol::trace("[player] unit at %u of %u bytes passed over\n", unit.offset, unit.payload_len);
            return;
        }
        media::setAvailable(info, static_cast<std::uint32_t>(buffer_.size()));
        item.data.assign(buffer_.begin(), buffer_.end());
    }
    info.epoch = epoch_;
    item.decode_len = info.coded_len;
    item.epoch = epoch_;
    item.direction = isBackwardState(state) ? media::Direction::Backward : media::Direction::Forward;
    item.decode_only = h.decode_only == 1 ? 1 : 0;
    item.hold = role;
    item.hold_id = id;
    item.info = info;
    item.header.word0 = 0x0901u << 16;
    item.header.word1 = std::uint32_t{h.enc.channel} * 64u;
    output_.queueFrame(std::move(item), unit, reader_.path());
    if (role == media::HoldRole::Hold) return;
    ++frames_;
    if (role == media::HoldRole::None) checkWatermark(h);

    // Timing, second part.
    if (start_.pacing == Pacing::FrameTimes) wait(stop, static_cast<std::uint64_t>(frame_ms));
}

// The watermark at speed 1: a picture that does not match its header's
// value is still shown, with the warning, and the player pauses on it.
void LocalPlayer::checkWatermark(const media::VideoFrameHeader& h) {
    const int channel = h.enc.channel & 15;
    if (!start_.watermark_check || state_.load() != Command::Forward || speed_.load() != 1) {
        output_.watermarkState(channel, -1);
        return;
    }
    if (h.watermark_kind != 2) {
        output_.watermarkState(channel, 0);
        return;
    }
    if (watermarkSum(buffer_) == h.watermark_value) {
        output_.watermarkState(channel, 1);
        return;
    }
    output_.watermarkState(channel, 2);
    protocol::trace("[player] watermark mismatch on channel %d at %u\n", channel + 1, current_.offset);
    internalCommand(Command::Pause, PauseCause::Watermark);
}

void LocalPlayer::wait(std::stop_token stop, std::uint64_t frame_ms) {
    const Command state = state_.load();
    if (state == Command::StepBackward || state == Command::StepForward || state == Command::Pause) return;
    if (due_ms_ <= 0) return;
    const auto due = base_tick_ + std::chrono::milliseconds(due_ms_);
    const auto cap = Clock::now() + kRebaseAfter;
    const int speed = speed_.load();
    std::unique_lock lock(control_mutex_);
    const std::uint64_t serial = control_serial_.load();
    const auto changed = [&] { return control_serial_.load() != serial || speed_.load() != speed; };
    if (due <= cap) {
        control_changed_.wait_until(lock, stop, due, changed);
        return;
    }
    if (control_changed_.wait_until(lock, stop, cap, changed)) return;
    if (stop.stop_requested()) return;
    // A gap in the recording: shown after 3 s, and the clock starts again here.
    base_ms_ = static_cast<std::int64_t>(frame_ms);
    base_tick_ = Clock::now();
}

}  // namespace kalix::player
