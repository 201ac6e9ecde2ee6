#include "session/talk.h"

#include "protocol/transport.h"
#include "session/reason_notices.h"

namespace kalix::session {

using protocol::Code;

Talk::Talk(SessionCore& core, const SessionOptions& options) : core_(core), options_(options) {
    DispatchTable& table = core_.handlers();
    table.on(Code::A_LISTEN_ACK, [this](const auto& h, auto p) { onAccepted(h, p); });
    table.on(Code::A_LISTEN_NACK, [this](const auto& h, auto p) { onRefused(h, p); });
}

Talk::~Talk() { stopMicrophone(); }

void Talk::onAccepted(const protocol::MessageHeader&, std::span<const std::uint8_t>) {
    core_.post(WindowPost{WindowMessage::TalkAccepted});
}

void Talk::onRefused(const protocol::MessageHeader& h, std::span<const std::uint8_t> payload) {
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (talkRefusalStopsMicrophone(reason)) core_.post(WindowPost{WindowMessage::TalkEnded});
    if (const auto notice = noticeForReason(h.code(), reason)) core_.post(Notice::fromLParam(*notice));
}

void Talk::request() {
    if (soundOutput()) core_.send(Code::A_LISTEN_REQ);
}

bool Talk::startMicrophone(std::unique_ptr<media::SoundIn> capture) {
    const auto conn = core_.connection();
    if (!conn || mic_ || !capture) return false;
    mic_ = std::make_unique<media::MicSender>(*conn, std::move(capture));
    return true;
}

void Talk::stopMicrophone() {
    if (!mic_) return;
    mic_->stop();
    mic_.reset();
}

void Talk::stop() {
    if (!soundOutput()) return;
    if (mic_) {
        core_.send(Code::A_LISTEN_STOP_REQ);
        stopMicrophone();
    }
    core_.post(ControlState{ControlId::Mike, ButtonLook::Released});
}

}  // namespace kalix::session
