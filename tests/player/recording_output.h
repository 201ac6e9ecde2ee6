#pragma once
// A PlayerOutput that records what the player hands on, for tests.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "player/local_player.h"

namespace kalix::player::test {

struct HandedFrame {
    std::uint32_t offset = 0;
    int channel = 0;
    std::uint32_t time = 0;
    media::FrameKind kind = media::FrameKind::Key;
    media::Direction direction = media::Direction::Forward;
    std::uint32_t epoch = 0;
    std::size_t bytes = 0;
    media::HoldRole hold = media::HoldRole::None;
    std::uint64_t hold_id = 0;
};

class RecordingOutput final : public PlayerOutput {
public:
    bool waitForRoom(int, std::size_t, std::stop_token) override { return true; }
    void queueFrame(media::FrameItem item, const Unit& unit, const std::string&) override {
        std::lock_guard lock(mutex_);
        frames.push_back(HandedFrame{unit.offset, item.info.channel, unit.video.frame_time, item.info.kind,
                                     item.direction, item.epoch, item.data.size(), item.hold, item.hold_id});
        changed_.notify_all();
    }
    bool audioWanted() override { return audio_wanted; }
    bool audioRunning() override { return audio_running; }
    void startAudio() override { audio_running = true; }
    void stopAudio() override {}
    int selectedAudioChannel() override { return selected; }
    void selectAudioChannel(int channel) override { selected = channel; }
    void queueAudio(const media::AudioBlock& block) override {
        std::lock_guard lock(mutex_);
        blocks.push_back(block);
    }
    void audioUnit(const Unit& unit, const std::string&) override {
        std::lock_guard lock(mutex_);
        audio_units.push_back(unit.offset);
    }
    void stretchChanged(protocol::RecorderTime a, protocol::RecorderTime b) override {
        std::lock_guard lock(mutex_);
        stretches.emplace_back(a, b);
    }
    void watermarkState(int channel, int state) override {
        std::lock_guard lock(mutex_);
        if (channel == 0) watermarks.push_back(state);
    }
    void paused(PauseCause cause) override {
        std::lock_guard lock(mutex_);
        pauses.push_back(cause);
        changed_.notify_all();
    }
    void damage(const std::string&, std::uint32_t offset, const std::string& reason) override {
        std::lock_guard lock(mutex_);
        damages.emplace_back(offset, reason);
    }

    // Waits until the player has paused `count` times in all.
    bool waitForPauses(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [&] { return pauses.size() >= count; });
    }
    std::vector<std::uint32_t> frameOffsets() {
        std::lock_guard lock(mutex_);
        std::vector<std::uint32_t> v;
        for (const auto& f : frames) v.push_back(f.offset);
        return v;
    }

    bool audio_wanted = false;
    bool audio_running = false;
    int selected = -1;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<HandedFrame> frames;
    std::vector<std::uint32_t> audio_units;
    std::vector<media::AudioBlock> blocks;
    std::vector<PauseCause> pauses;
    std::vector<int> watermarks;  // channel 0's states, in order
    std::vector<std::pair<std::uint32_t, std::string>> damages;
    std::vector<std::pair<protocol::RecorderTime, protocol::RecorderTime>> stretches;
};

}  // namespace kalix::player::test
