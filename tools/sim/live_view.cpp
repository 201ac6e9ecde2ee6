#include "sim/live_view.h"

#include <array>
#include <string>

#include "protocol/byte_order.h"
#include "sim/hello_reply.h"

namespace kalix::sim {

using protocol::Code;

void LiveView::registerHandlers(HandlerTable& table) {
    table.add(Code::LIVE_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> payload) { onLiveReq(payload); });
    table.add(Code::LIVE_STOP, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onLiveStop(); });
}

void LiveView::onLiveReq(std::span<const std::uint8_t> payload) {
    const SimConfig& config = link_.config();
    if (!config.answer_live_req) {
        link_.event("LIVE_REQ left unanswered");
        return;
    }
    const std::uint32_t requested = protocol::be32(payload.data());
    const std::uint32_t mask = liveAnswerMask(config, requested);
    std::array<std::uint8_t, 4> answer{};
    protocol::putBe32(answer.data(), mask);
    const auto announce = [&] { return link_.sendMessage(Code::LIVE_CHANNEL_INFO, answer, link_.replyPieces()); };
    if (config.video.enabled) {
        // Channels in video loss are announced and not sent.
        const auto streamed = static_cast<std::uint16_t>(mask & ~(mask >> 16));
        bool answered = false;
        videoStreamer().restart(streamed, [&] { answered = announce(); });
        if (!answered) return;
        link_.logEvent("live video on channels " + hexMask(streamed));
    } else if (!announce()) {
        return;
    }
    link_.announceLiveView({LiveViewChange::Kind::Answered, static_cast<std::uint16_t>(mask & 0xFFFFu)});
}

void LiveView::onLiveStop() {
    // What follows live view (its audio) ends first: none of it comes after
    // the acknowledgement.
    link_.announceLiveView({LiveViewChange::Kind::Stopped, 0});
    const auto acknowledge = [&] { link_.sendMessage(Code::LIVE_STOP_ACK); };
    if (!video_) {
        acknowledge();
        return;
    }
    video_->restart(0, acknowledge);
    link_.logEvent("live video stopped, " + std::to_string(video_->unitsSent()) + " units sent");
}

LiveVideoStreamer& LiveView::videoStreamer() {
    if (!video_) {
        video_ = std::make_unique<LiveVideoStreamer>(
            link_.config().video, [&link = link_](std::span<const std::uint8_t> unit, std::uint32_t seconds) {
                return link.sendUnit(Code::LIVE_DATA, unit, seconds, Logging::Quiet);
            });
    }
    return *video_;
}

}  // namespace kalix::sim
