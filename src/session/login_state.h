#pragma once
// What the login established, shared by the features: whether the recorder
// answered, who it is, and whether we are logged in.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>

#include "session/recorder_identity.h"

namespace kalix::session {

class LoginState {
public:
    std::optional<RecorderIdentity> identity() const {
        std::lock_guard lock(mutex_);
        return identity_;
    }
    void setIdentity(RecorderIdentity identity) {
        std::lock_guard lock(mutex_);
        identity_ = std::move(identity);
    }
    // Channels of the recorder; 16 until it has told us.
    int channelCount() const {
        std::lock_guard lock(mutex_);
        return identity_ ? identity_->channel_num : 16;
    }

    // The recorder answered the login (cleared by its BYE48 and by LIVE_NACK).
    std::atomic<bool> hello{false};
    std::atomic<bool> logged_in{false};
    std::atomic<std::int32_t> recorder_kind{0};
    std::atomic<bool> playback_view_change{false};

private:
    mutable std::mutex mutex_;
    std::optional<RecorderIdentity> identity_;
};

}  // namespace kalix::session
