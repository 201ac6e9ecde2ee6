#pragma once
// The client's audio switch during live view. AUDIO_ONOFF_REQ's header flag
// turns audio on or off for the connection: from then on every header we
// send carries the switch, and while it is on and live view runs, the live
// channels that have audio stream their audio units. Switched on, every
// audio unit carries the flag; switched off, no unit follows the first
// header without it. A recorder without audio ignores the switch.

#include <cstdint>
#include <memory>

#include "sim/client_link.h"
#include "sim/live_audio.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

class LiveAudioSwitch final : public SimFeature {
public:
    explicit LiveAudioSwitch(ClientLink& link) : link_(link) {}

    void registerHandlers(HandlerTable& table) override;
    void onLiveView(const LiveViewChange& change) override;
    void onDisconnect() override { audio_.reset(); }

private:
    void onAudioOnOff(const protocol::MessageHeader& header);
    // Streams the live channels that have audio while `on`, else nothing.
    void applyAudio(bool on);

    ClientLink& link_;
    std::uint16_t live_channels_ = 0;  // of the last live answer; 0 when stopped
    std::uint64_t audio_units_at_start_ = 0;
    // Lock order: the streamer's lock, then the link's send mutex.
    std::unique_ptr<LiveAudioStreamer> audio_;
};

}  // namespace kalix::sim
