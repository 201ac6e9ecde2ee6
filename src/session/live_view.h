#pragma once
// Live view: the session's default activity. The login asks for every
// channel, LIVE_CHANNEL_INFO says which ones come, and LIVE_DATA units go
// to the media pipeline until the live stop. Also the freeze switch and the
// recorder's audio switch.

#include <atomic>
#include <cstdint>
#include <span>

#include "protocol/message_header.h"
#include "session/login_state.h"
#include "session/media_pipeline.h"
#include "session/session_core.h"
#include "session/session_options.h"

namespace kalix::session {


class LiveView {
public:
    LiveView(SessionCore& core, MediaPipeline& media, LoginState& login, const SessionOptions& options);

    // After the login answer: decoders, LIVE_REQ for all channels, the
    // audio thread. Nothing while a live request is pending.
    void loginStart();
    void request(std::uint32_t mask);
    void stop();
    void audioOnOff(bool on);
    // While set, live pictures are dropped; every change starts a new
    // stream epoch.
    void setFreeze(bool freeze);
    // The close forgets a request the recorder never answered.
    void forgetRequest() { pending_ = false; }

    bool on() const { return live_.load(); }
    bool pending() const { return pending_.load(); }
    bool frozen() const { return freeze_.load(); }
    std::uint32_t generation() const { return generation_.load(); }

    // Handlers, fed by the dispatch table.
    void onChannelInfo(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onNack(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onUnit(const protocol::MessageHeader& last, std::span<const std::uint8_t> unit);

private:
    SessionCore& core_;
    MediaPipeline& media_;
    LoginState& login_;
    const SessionOptions& options_;

    std::atomic<bool> live_{false};
    std::atomic<bool> pending_{false};
    std::atomic<bool> freeze_{false};
    std::atomic<std::uint32_t> generation_{0};
};

}  // namespace kalix::session
