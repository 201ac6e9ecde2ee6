#pragma once
// The audio block queue between the receive thread and the audio player.

#include "media/audio/audio_player.h"
#include "base/wake_queue.h"

namespace kalix::media {

class AudioBlockQueue final : public AudioBlockSource {
public:
    void push(const AudioBlock& block) { queue_.push(block); }
    std::optional<AudioBlock> pop(std::stop_token stop) override {
        auto taken = queue_.pop(stop);
        if (!taken) return std::nullopt;
        return taken->item;
    }
    std::size_t size() const override { return queue_.size(); }
    void clear() { queue_.clear(); }

private:
    base::WakeQueue<AudioBlock> queue_;
};

}  // namespace kalix::media
