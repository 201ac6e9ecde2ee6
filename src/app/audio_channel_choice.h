#pragma once
// The main window's selected audio channel: the re-check against the mask
// of every audio frame, and the SelAudio button's "next audio channel".
// Thread-safe: the receive thread re-checks, the operator presses buttons.

#include <cstdint>
#include <functional>
#include <mutex>

#include "session/audio_channel_owner.h"

namespace kalix::app {

class AudioChannelChoice final : public session::AudioChannelOwner {
public:
    // Whether a channel is shown in a visible pane of the wall's current
    // layout and page.
    using Visible = std::function<bool(int channel)>;

    explicit AudioChannelChoice(Visible visible) : visible_(std::move(visible)) {}

    // The re-check: unless forced, nothing happens while the mask is the
    // one seen last. Returns the selection.
    int recheck(std::uint32_t mask) override { return check(mask, false); }
    int check(std::uint32_t mask, bool forced);

    // SelAudio: the next channel of the mask that is audible; -1 when none
    // is. An empty mask changes nothing.
    int next(std::uint32_t mask);

    void select(int channel) override;
    int selected() const override;

private:
    bool audibleLocked(std::uint32_t mask, int channel) const;
    int advanceLocked(std::uint32_t mask);

    Visible visible_;
    mutable std::mutex mutex_;
    int selected_ = -1;
    std::uint32_t last_mask_ = 0;
    bool checked_ = false;
};

}  // namespace kalix::app
