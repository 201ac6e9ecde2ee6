#include "session/ptz.h"

#include "session/event_sink.h"

namespace kalix::session {

using protocol::Code;

PtzCommand arrowCommand(PtzArrow arrow, PtzForm form) {
    static constexpr PtzCommand kPan[] = {PtzCommand::Up, PtzCommand::Down, PtzCommand::Left, PtzCommand::Right};
    static constexpr PtzCommand kZoom[] = {PtzCommand::ZoomUp, PtzCommand::ZoomDown, PtzCommand::ZoomLeft,
                                           PtzCommand::ZoomRight};
    const auto i = static_cast<std::size_t>(arrow);
    return form == PtzForm::Pan ? kPan[i] : kZoom[i];
}

std::array<std::uint8_t, 4> ptzChannelPayload(int channel, PtzForm form) {
    return {static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(form), 0, 0};
}

std::array<std::uint8_t, 4> ptzMovePayload(PtzCommand command, unsigned number) {
    return {static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(number & 0xFFu), 0,
            static_cast<std::uint8_t>((number >> 8) & 0xFFu)};
}

Ptz::Ptz(SessionCore& core) : core_(core) {
    core_.handlers().on(Code::PTZ_CHANNEL_ACK, [this](const auto& h, auto p) { onChannelAck(h, p); });
}

bool Ptz::requestChannel(int channel, PtzForm form) {
    if (channel < 0 || channel > 15) return false;
    channel_ = channel;
    state_ = PtzState::NotAsked;
    const auto payload = ptzChannelPayload(channel, form);
    core_.send(Code::PTZ_CHANNEL_REQ, payload);
    return true;
}

bool Ptz::move(PtzCommand command, unsigned number) {
    if (state_.load() != PtzState::HasPtz) return false;
    const auto payload = ptzMovePayload(command, number);
    core_.send(Code::PTZ_MOVE_REQ, payload);
    if (command == PtzCommand::LearnStart) {
        learn_number_ = number;
        learn_pending_ = true;
    } else if (command == PtzCommand::LearnStop) {
        learn_pending_ = false;
    }
    return true;
}

bool Ptz::stopMove() {
    if (state_.load() != PtzState::HasPtz) return false;
    core_.send(Code::PTZ_MOVE_STOP);
    return true;
}

void Ptz::reset() {
    if (learn_pending_.exchange(false)) {
        const auto payload = ptzMovePayload(PtzCommand::LearnStop, learn_number_.load());
        core_.send(Code::PTZ_MOVE_REQ, payload);
    }
    channel_ = 0;
    state_ = PtzState::NotAsked;
}

void Ptz::onChannelAck(const protocol::MessageHeader&, std::span<const std::uint8_t> payload) {
    const bool has = !payload.empty() && payload[0] == 1;
    state_ = has ? PtzState::HasPtz : PtzState::NoPtz;
    core_.post(PtzChannelAnswer{channel_.load(), has});
}

}  // namespace kalix::session
