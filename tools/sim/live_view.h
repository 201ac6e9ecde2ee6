#pragma once
// Live view from the recorder's side: LIVE_REQ is answered with
// LIVE_CHANNEL_INFO (the channels sent and those in video loss) and, with
// video on, starts a new run of every streamed channel; LIVE_STOP ends the
// run and is acknowledged with LIVE_STOP_ACK, after which no unit of the run
// follows. The other features hear of both (see SimFeature::onLiveView).

#include <cstdint>
#include <memory>
#include <span>

#include "sim/client_link.h"
#include "sim/live_video.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

class LiveView final : public SimFeature {
public:
    explicit LiveView(ClientLink& link) : link_(link) {}

    void registerHandlers(HandlerTable& table) override;
    void onDisconnect() override { video_.reset(); }

private:
    void onLiveReq(std::span<const std::uint8_t> payload);
    void onLiveStop();
    // Made at the first LIVE_REQ with video on.
    LiveVideoStreamer& videoStreamer();

    ClientLink& link_;
    // Lock order: the streamer's lock, then the link's send mutex.
    std::unique_ptr<LiveVideoStreamer> video_;
};

}  // namespace kalix::sim
