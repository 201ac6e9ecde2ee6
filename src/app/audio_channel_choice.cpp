#include "app/audio_channel_choice.h"

#include <bit>

namespace kalix::app {
namespace {

// One past the highest channel of the mask.
int channelCount(std::uint32_t mask) {
    const std::uint32_t low = mask & 0xFFFFu;
    return low == 0 ? 0 : 32 - std::countl_zero(low);
}

}  // namespace

bool AudioChannelChoice::audibleLocked(std::uint32_t mask, int channel) const {
    return channel >= 0 && channel < 16 && (mask & (1u << channel)) != 0 && (!visible_ || visible_(channel));
}

// Moves the selection on until an audible channel comes up; -1 after
// n + 1 tries.
int AudioChannelChoice::advanceLocked(std::uint32_t mask) {
    const int n = channelCount(mask);
    for (int tries = 0; tries <= n; ++tries) {
        if (audibleLocked(mask, selected_)) return selected_;
        selected_ = (selected_ < n - 1 && selected_ >= -1) ? selected_ + 1 : 0;
    }
    selected_ = audibleLocked(mask, selected_) ? selected_ : -1;
    return selected_;
}

int AudioChannelChoice::check(std::uint32_t mask, bool forced) {
    std::lock_guard lock(mutex_);
    if (!forced && checked_ && mask == last_mask_) return selected_;
    if (mask != 0) advanceLocked(mask);
    last_mask_ = mask;
    checked_ = true;
    return selected_;
}

int AudioChannelChoice::next(std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    const int n = channelCount(mask);
    if (n == 0) return selected_;
    for (int tries = 0; tries <= n; ++tries) {
        selected_ = (selected_ + 1 >= n || selected_ < -1) ? 0 : selected_ + 1;
        if (audibleLocked(mask, selected_)) return selected_;
    }
    selected_ = -1;
    return selected_;
}

void AudioChannelChoice::select(int channel) {
    std::lock_guard lock(mutex_);
    selected_ = (channel >= -1 && channel < 16) ? channel : -1;
}

int AudioChannelChoice::selected() const {
    std::lock_guard lock(mutex_);
    return selected_;
}

}  // namespace kalix::app
