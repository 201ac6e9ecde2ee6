#include "media/audio/audio_player.h"

#include <algorithm>

namespace kalix::media {
namespace {

constexpr std::uint32_t kBatchCountCap = 1000;
constexpr std::uint32_t kBatchCountRestart = 100;

}  // namespace

std::unique_ptr<AudioPlayer> AudioPlayer::create(AudioBlockSource& source, std::uint8_t audio_buf,
                                                 std::unique_ptr<SoundOutput> output,
                                                 StreamMode mode) {
    if (!output) return nullptr;
    return std::make_unique<AudioPlayer>(Key{}, source, audio_buf, std::move(output), mode);
}

AudioPlayer::AudioPlayer(Key, AudioBlockSource& source, std::uint8_t audio_buf,
                         std::unique_ptr<SoundOutput> output, StreamMode mode)
    : source_(source), batch_blocks_(audioBatchBlocks(audio_buf)), stream_(std::move(output), mode) {
    stream_.initialise(kVoiceFormat, batch_blocks_ * kAudioBlockPcmBytes);
    values_.resize(batch_blocks_ * kAudioBlockValues);
    pcm_.resize(batch_blocks_ * kAudioBlockPcmBytes);
    running_ = true;
    thread_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

AudioPlayer::~AudioPlayer() { stop(PlayerStop::Immediate); }

void AudioPlayer::stop(PlayerStop how) {
    if (!thread_.joinable()) return;
    if (how == PlayerStop::Drain) {
        std::unique_lock lock(progress_mutex_);
        progress_.wait_for(lock, kPlayerDrainLimit,
                           [this] { return source_.size() == 0 || !running_.load(); });
    }
    thread_.request_stop();
    thread_.join();
    stream_.stopThread();
}

void AudioPlayer::setDiscard(bool on) {
    if (on) {
        drop_batch_ = true;
        discard_ = true;
        batch_count_ = 0;
        stream_.clear();
    } else {
        discard_ = false;
    }
}

void AudioPlayer::run(std::stop_token stop) {
    std::vector<std::uint8_t> coded(batch_blocks_ * kAudioBlockBytes);
    std::size_t filled = 0;
    while (!stop.stop_requested()) {
        const auto block = source_.pop(stop);
        if (!block) break;
        ++blocks_taken_;
        wakeDrain();
        if (drop_batch_.exchange(false)) filled = 0;
        if (discard_.load()) {
            filled = 0;
            continue;
        }
        std::copy(block->begin(), block->end(),
                  coded.begin() + static_cast<std::ptrdiff_t>(filled * kAudioBlockBytes));
        if (++filled < batch_blocks_) continue;
        filled = 0;
        writeBatch(stop, coded);
    }
    running_ = false;
    wakeDrain();
}

void AudioPlayer::wakeDrain() {
    // Passing through the mutex orders this wake-up after a draining
    // stop's check of the queue, so the wake-up cannot fall between its
    // check and its wait.
    { std::lock_guard lock(progress_mutex_); }
    progress_.notify_all();
}

void AudioPlayer::writeBatch(std::stop_token stop, std::span<const std::uint8_t> coded) {
    decoder_.decode(coded, values_);
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const auto v = static_cast<std::uint16_t>(values_[i]);
        pcm_[2 * i] = static_cast<std::uint8_t>(v & 0xFFu);
        pcm_[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    // A stream that could not be opened refuses the write: the batch is
    // consumed all the same.
    stream_.writeBlock(pcm_);
    const std::uint32_t count = ++batch_count_;
    if (count == 1) {
        std::mutex pause_mutex;
        std::condition_variable_any pause;
        std::unique_lock lock(pause_mutex);
        pause.wait_for(lock, stop, kFirstBatchPause, [] { return false; });
    }
    if (count > kBatchCountCap) batch_count_ = kBatchCountRestart;
}

}  // namespace kalix::media
