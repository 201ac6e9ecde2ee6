#include "media/audio/sound_stream.h"

#include <optional>
#include <vector>

namespace kalix::media {
namespace {

// The alternate mode's 30-second reference is shared by every stream of the
// process; it is first taken when the first alternate-mode thread starts.
struct AlternateReference {
    std::mutex mutex;
    std::optional<SoundStreamState::Clock::time_point> time;
};

AlternateReference& alternateReference() {
    static AlternateReference reference;
    return reference;
}

}  // namespace

SoundStreamState::SoundStreamState(SoundOutput& output, StreamMode mode, std::size_t block_bytes)
    : output_(output), mode_(mode), block_(block_bytes), ring_(block_bytes * kRingBlocks) {}

bool SoundStreamState::write(std::span<const std::uint8_t> block) {
    if (block_ == 0 || block.size() != block_) return false;
    if (mode_ == StreamMode::Alternate && restart_) {
        write_pos_ = 0;
        if (!output_.zero()) return false;
    }
    if (!output_.write(write_pos_, block)) return false;
    if (restart_) {
        if (write_pos_ == 0) {
            // Playback starts one block early, at the end of the ring: the
            // player is then a lap behind the writer. The alternate rules
            // count that lap themselves (W + 1); the normal rules would take
            // the player for being level with the writer, see it past the
            // write position at the end of that first block and reset,
            // losing the block just written. So W counts it here.
            output_.setPlayPosition(ring_ - block_);
            if (mode_ == StreamMode::Normal) {
                ++writer_laps_;
                lead_in_ = true;
            }
        } else {
            output_.setPlayPosition(write_pos_);
        }
        output_.play();
        restart_ = false;
    }
    write_pos_ = (write_pos_ + block_) % ring_;
    if (write_pos_ == 0) ++writer_laps_;
    return true;
}

SoundStreamState::Drift SoundStreamState::drifted(Clock::time_point now,
                                                   Clock::time_point& reference) const {
    const std::size_t play = output_.playPosition();
    const std::size_t cursor = output_.writeCursor();
    const std::size_t end = write_pos_ != 0 ? write_pos_ : ring_ - block_;
    const std::uint64_t p = player_laps_;
    if (mode_ == StreamMode::Normal) {
        const std::uint64_t w = writer_laps_;
        const std::size_t last_block = (write_pos_ + ring_ - block_) % ring_;
        const std::size_t allowed = play + (lead_in_ ? block_ : 0);
        if (p > w || (p == w && cursor > end)) return Drift::Starved;
        return w - p > 1 || last_block > allowed ? Drift::Ahead : Drift::None;
    }
    if (now - reference > kAlternateResetInterval) {
        reference = now;
        return Drift::Ahead;
    }
    const std::uint64_t w = writer_laps_ + 1;
    if (p > w || (p == w && cursor > end)) return Drift::Starved;
    return w - p > 1 ? Drift::Ahead : Drift::None;
}

bool SoundStreamState::onNotice(SoundNotice notice, Clock::time_point now,
                                Clock::time_point& reference) {
    if (restart_) return false;
    const Drift drift = drifted(now, reference);
    const bool reset_now = drift != Drift::None;
    if (drift == Drift::Starved) ++underruns_;
    if (reset_now) reset();
    if (notice == SoundNotice::Stopped && !restart_) {
        ++player_laps_;
        output_.setPlayPosition(0);
        output_.play();
    }
    return reset_now;
}

void SoundStreamState::reset() {
    output_.stop();
    restart_ = true;
    lead_in_ = false;
    player_laps_ = 0;
    writer_laps_ = 0;
    ++resets_;
}

void SoundStreamState::clear() {
    // A cleared stream must start again with the next write: stopped
    // without the restart flag it would take blocks and never play them.
    output_.stop();
    output_.setPlayPosition(0);
    write_pos_ = 0;
    output_.zero();
    restart_ = true;
    lead_in_ = false;
    player_laps_ = 0;
    writer_laps_ = 0;
}

SoundStream::SoundStream(std::unique_ptr<SoundOutput> output, StreamMode mode)
    : output_(std::move(output)), mode_(mode) {}

SoundStream::~SoundStream() {
    stopThread();
    // The output's thread calls back into this object: it goes first.
    std::lock_guard lock(lock_);
    state_.reset();
    output_.reset();
}

bool SoundStream::initialise(const PcmFormat& format, std::size_t block_bytes) {
    std::lock_guard lock(lock_);
    if (state_ || !output_) return false;
    if (!output_->open(format, block_bytes, *this)) return false;
    state_ = std::make_unique<SoundStreamState>(*output_, mode_, block_bytes);
    if (mode_ == StreamMode::Alternate) {
        auto& reference = alternateReference();
        std::lock_guard reference_lock(reference.mutex);
        if (!reference.time) reference.time = SoundStreamState::Clock::now();
    }
    thread_ = std::jthread([this](std::stop_token stop) { notificationLoop(stop); });
    return true;
}

bool SoundStream::ready() const {
    std::lock_guard lock(lock_);
    return state_ != nullptr;
}

bool SoundStream::writeBlock(std::span<const std::uint8_t> block) {
    std::lock_guard lock(lock_);
    return state_ && state_->write(block);
}

void SoundStream::clear() {
    std::lock_guard lock(lock_);
    if (state_) state_->clear();
}

void SoundStream::stopThread() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    thread_.join();
    std::lock_guard lock(lock_);
    if (state_) output_->stop();
}

SoundStream::Snapshot SoundStream::snapshot() const {
    std::lock_guard lock(lock_);
    if (!state_) return {};
    return {state_->writePosition(), state_->playerLaps(), state_->writerLaps(),
            state_->restarting(), state_->resets(), state_->underruns()};
}

void SoundStream::soundNotice(SoundNotice notice) {
    {
        std::lock_guard lock(notice_mutex_);
        if (notice == SoundNotice::BlockEnd)
            block_end_ = true;
        else
            stopped_ = true;
    }
    notice_ready_.notify_one();
}

void SoundStream::notificationLoop(std::stop_token stop) {
    auto& reference = alternateReference();
    for (;;) {
        SoundNotice notice{};
        {
            std::unique_lock lock(notice_mutex_);
            if (!notice_ready_.wait(lock, stop, [this] { return block_end_ || stopped_; })) return;
            // A block end is taken before the stop that follows it.
            if (block_end_) {
                block_end_ = false;
                notice = SoundNotice::BlockEnd;
            } else {
                stopped_ = false;
                notice = SoundNotice::Stopped;
            }
        }
        std::lock_guard lock(lock_);
        std::lock_guard reference_lock(reference.mutex);
        auto when = reference.time.value_or(SoundStreamState::Clock::now());
        state_->onNotice(notice, SoundStreamState::Clock::now(), when);
        reference.time = when;
    }
}

}  // namespace kalix::media
