#include "sim/live_audio_switch.h"

#include <string>

namespace kalix::sim {

using protocol::Code;

void LiveAudioSwitch::registerHandlers(HandlerTable& table) {
    table.add(Code::AUDIO_ONOFF_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader& header, std::span<const std::uint8_t>) { onAudioOnOff(header); });
}

void LiveAudioSwitch::onLiveView(const LiveViewChange& change) {
    live_channels_ = change.channels;
    applyAudio(link_.audioOn());
}

void LiveAudioSwitch::onAudioOnOff(const protocol::MessageHeader& header) {
    if (!link_.config().audio.enabled) {
        link_.event("no audio to switch on or off");
        return;
    }
    // The flag is set before the first unit and cleared only once the last
    // unit is out.
    const bool on = header.audioOn();
    if (on) link_.setAudioOn(true);
    applyAudio(on);
    if (!on) link_.setAudioOn(false);
    link_.logEvent(std::string("audio ") + (on ? "on" : "off"));
}

void LiveAudioSwitch::applyAudio(bool on) {
    const std::uint16_t with_audio = link_.config().audio.mask.value_or(0xFFFF);
    const auto mask = static_cast<std::uint16_t>(on ? live_channels_ & with_audio : 0);
    if (!audio_ && mask == 0) return;
    if (!audio_) {
        audio_ = std::make_unique<LiveAudioStreamer>(
            [&link = link_](std::span<const std::uint8_t> unit, std::uint32_t seconds) {
                return link.sendUnit(Code::LIVE_DATA, unit, seconds, Logging::Quiet);
            });
    }
    if (audio_->mask() == mask) return;
    const bool was_on = audio_->mask() != 0;
    audio_->setMask(mask);
    if (mask != 0) {
        if (!was_on) audio_units_at_start_ = audio_->unitsSent();
        link_.logEvent("live audio on channels " + hexMask(mask));
    } else {
        link_.logEvent("live audio stopped, " + std::to_string(audio_->unitsSent() - audio_units_at_start_) +
                       " units sent");
    }
}

}  // namespace kalix::sim
