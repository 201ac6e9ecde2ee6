#pragma once
// Test doubles for the sound pieces: an output whose playback is a
// simulated clock, and a plain block queue for the player.

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <vector>

#include "media/audio/audio_player.h"
#include "media/audio/sound_output.h"
#include "media/audio/sound_ring.h"

namespace kalix::media::test {

// Plays only when advance() is called: advance(n) is n bytes of playing
// time. Notices go to the events sink given to open() when `forward` is
// set, and are always returned to the caller.
class FakeSoundOutput final : public SoundOutput {
public:
    bool open(const PcmFormat&, std::size_t block_bytes, SoundOutputEvents& events) override {
        std::lock_guard lock(mutex_);
        events_ = &events;
        return !fail_open && ring_.allocate(block_bytes);
    }
    bool write(std::size_t offset, std::span<const std::uint8_t> data) override {
        std::lock_guard lock(mutex_);
        ++writes;
        return !fail_writes && ring_.write(offset, data);
    }
    bool zero() override {
        std::lock_guard lock(mutex_);
        ring_.zero();
        return true;
    }
    void setPlayPosition(std::size_t offset) override {
        std::lock_guard lock(mutex_);
        ring_.setPosition(offset);
    }
    void play() override {
        std::lock_guard lock(mutex_);
        ring_.play();
    }
    void stop() override {
        std::lock_guard lock(mutex_);
        ring_.stop();
    }
    std::size_t playPosition() const override {
        std::lock_guard lock(mutex_);
        return ring_.position();
    }
    std::size_t writeCursor() const override { return playPosition(); }

    std::vector<SoundNotice> advance(std::size_t bytes, std::vector<std::uint8_t>* played = nullptr) {
        std::vector<std::uint8_t> out(bytes);
        std::vector<SoundNotice> notices;
        {
            std::lock_guard lock(mutex_);
            const auto consumed = ring_.consume(out);
            notices.assign(consumed.block_ends, SoundNotice::BlockEnd);
            if (consumed.stopped) notices.push_back(SoundNotice::Stopped);
        }
        if (played) played->insert(played->end(), out.begin(), out.end());
        if (forward)
            for (auto n : notices) events_->soundNotice(n);
        return notices;
    }
    bool playing() const {
        std::lock_guard lock(mutex_);
        return ring_.playing();
    }
    std::vector<std::uint8_t> ringBytes() const {
        std::lock_guard lock(mutex_);
        return {ring_.bytes().begin(), ring_.bytes().end()};
    }

    int writeCount() const {
        std::lock_guard lock(mutex_);
        return writes;
    }

    bool fail_open = false;
    bool fail_writes = false;
    bool forward = false;
    int writes = 0;  // -- guarded by mutex_: read it with writeCount() across threads --

private:
    mutable std::mutex mutex_;
    SoundRing ring_;
    SoundOutputEvents* events_ = nullptr;
};

class QueueBlockSource final : public AudioBlockSource {
public:
    void push(const AudioBlock& block) {
        {
            std::lock_guard lock(mutex_);
            blocks_.push_back(block);
        }
        ready_.notify_one();
    }
    std::optional<AudioBlock> pop(std::stop_token stop) override {
        std::unique_lock lock(mutex_);
        if (!ready_.wait(lock, stop, [this] { return !blocks_.empty(); }) || stop.stop_requested())
            return std::nullopt;
        auto block = blocks_.front();
        blocks_.pop_front();
        return block;
    }
    std::size_t size() const override {
        std::lock_guard lock(mutex_);
        return blocks_.size();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable_any ready_;
    std::deque<AudioBlock> blocks_;
};

// G.726 blocks of a tone, coded with a fresh encoder, one block per 128
// values (a stereo pair per frame, both channels the same).
inline std::vector<AudioBlock> toneBlocks(std::size_t count, double hz = 440.0) {
    std::vector<std::int16_t> values(count * kAudioBlockValues);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double t = static_cast<double>(i / 2) / 8000.0;
        values[i] = static_cast<std::int16_t>(12000.0 * std::sin(2.0 * 3.141592653589793 * hz * t));
    }
    G726Encoder encoder;
    std::vector<std::uint8_t> coded(count * kAudioBlockBytes);
    encoder.encode(values, coded);
    std::vector<AudioBlock> blocks(count);
    for (std::size_t b = 0; b < count; ++b)
        std::copy_n(coded.begin() + static_cast<std::ptrdiff_t>(b * kAudioBlockBytes),
                    kAudioBlockBytes, blocks[b].begin());
    return blocks;
}

// The PCM bytes (little endian) a fresh decoder makes of these blocks.
inline std::vector<std::uint8_t> decodedPcm(const std::vector<AudioBlock>& blocks) {
    G726Decoder decoder;
    std::vector<std::uint8_t> pcm;
    std::vector<std::int16_t> values(kAudioBlockValues);
    for (const auto& block : blocks) {
        decoder.decode(block, values);
        for (auto v : values) {
            const auto u = static_cast<std::uint16_t>(v);
            pcm.push_back(static_cast<std::uint8_t>(u & 0xFF));
            pcm.push_back(static_cast<std::uint8_t>(u >> 8));
        }
    }
    return pcm;
}

}  // namespace kalix::media::test
