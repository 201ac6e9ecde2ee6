#include "session/live_view.h"

#include <thread>

#include "media/unit_router.h"
#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

LiveView::LiveView(SessionCore& core, MediaPipeline& media, LoginState& login, const SessionOptions& options)
    : core_(core), media_(media), login_(login), options_(options) {
    DispatchTable& table = core_.handlers();
    table.on(Code::LIVE_CHANNEL_INFO, [this](const auto& h, auto p) { onChannelInfo(h, p); });
    table.on(Code::LIVE_NACK, [this](const auto& h, auto p) { onNack(h, p); });
    table.onUnit(Code::LIVE_DATA, media_.frameBuffer(), [this](const auto& h, auto p) { onUnit(h, p); });
}

void LiveView::onChannelInfo(const MessageHeader&, std::span<const std::uint8_t> payload) {
    std::uint32_t mask = protocol::be32(payload.data());
    media::VideoWall* wall = options_.live_video.wall;
    if (wall != nullptr) mask = wall->withoutHiddenChannels(mask);
    media_.setVideoLoss(mask);
    if (wall != nullptr) wall->setActiveChannels(mask & kAllChannels, media::MapReset::IdentityWhenEmpty);
    live_ = true;
    pending_ = false;
    ++generation_;
    media_.frameBuffer().reset();
    core_.post(LiveChannels{mask});
}

void LiveView::onNack(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    login_.hello = false;
    pending_ = false;
    if (const auto notice = noticeForReason(h.code(), reason)) core_.post(Notice::fromLParam(*notice));
    media_.stopAudio(media::PlayerStop::Immediate);
}

void LiveView::onUnit(const MessageHeader& last, std::span<const std::uint8_t> unit) {
    if (!live_) return;
    const media::LiveContext context{generation_.load(), freeze_ ? media::Freeze::On : media::Freeze::Off};
    auto route = media::completeLiveUnit(unit, last, context);
    if (auto* video = std::get_if<media::VideoRoute>(&route)) {
        if (options_.live_video.frame_handed_over) options_.live_video.frame_handed_over(video->item);
        media_.queueVideo(std::move(video->item));
    } else if (auto* audio = std::get_if<media::AudioRoute>(&route)) {
        media_.queueAudio(audio->blocks);
    }
}

void LiveView::loginStart() {
    if (pending_) return;
    pending_ = true;
    const int channels = login_.channelCount();
    if (media::VideoWall* wall = options_.live_video.wall) {
        wall->startView(channels);
        wall->setDisplayMode(media::DisplayMode::Live);
    }
    media_.createDecoders(channels);
    request(kAllChannels);
    core_.post(ControlState{ControlId::Live, ButtonLook::Pressed});
    media_.startAudio();
    core_.post(ControlState{ControlId::Freeze, ButtonLook::Released});
}

void LiveView::request(std::uint32_t mask) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), mask & kAllChannels);
    core_.send(Code::LIVE_REQ, payload);
}

void LiveView::stop() {
    live_ = false;
    core_.send(Code::LIVE_STOP);
    std::this_thread::sleep_for(options_.live_stop_pause);
    core_.post(ControlState{ControlId::Freeze, ButtonLook::Disabled});
    freeze_ = false;
    media_.stopAudio(media::PlayerStop::Drain);
    media_.destroyDecoders();
    if (media::VideoWall* wall = options_.live_video.wall) wall->resetView();
}

void LiveView::audioOnOff(bool on) {
    if (!options_.live_audio.make_output) return;
    auto header = MessageHeader::make(Code::AUDIO_ONOFF_REQ);
    header.setAudioOn(on);
    core_.send(header);
}

void LiveView::setFreeze(bool freeze) {
    freeze_ = freeze;
    ++generation_;
}

}  // namespace kalix::session
