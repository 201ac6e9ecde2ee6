#include "session/login.h"

#include "protocol/transport.h"
#include "session/reason_notices.h"
#include "session/recorder_identity.h"

namespace kalix::session {

using protocol::Code;
using protocol::MessageHeader;

Login::Login(SessionCore& core, LoginState& state, LiveView& live) : core_(core), state_(state), live_(live) {
    DispatchTable& table = core_.handlers();
    // An answer of the wrong length is a recorder we do not serve, so the
    // handler sees every length.
    table.on(Code::HELLO48_ACK, [this](const auto& h, auto p) { onHelloAck(h, p); }, Delivery::AnyLength);
    table.on(Code::BYE48, [this](const auto& h, auto p) { onBye(h, p); });
}

MessageHeader Login::helloHeader() { return MessageHeader::make(Code::HELLO, kHelloSize); }

std::vector<std::uint8_t> Login::helloPayload(const SessionOptions& options) {
    const auto hello = buildHello(options.user, options.password);
    return {hello.begin(), hello.end()};
}

void Login::onHelloAck(const MessageHeader&, std::span<const std::uint8_t> payload) {
    state_.hello = true;
    if (auto parsed = parseHelloAck(payload)) {
        state_.recorder_kind = parsed->recorder_kind;
        parsed->channel_num = normalisedChannelCount(parsed->channel_num);
        state_.setIdentity(std::move(*parsed));
    }
    if (!isServedKind(state_.recorder_kind)) {
        core_.post(MessageBoxRequest{std::string(kUnsupportedRecorderText)});
        core_.post(Notice::of(NoticeKind::ConnectionEnded));
        return;
    }
    core_.post(ControlState{ControlId::Live, ButtonLook::Released});
    live_.loginStart();
    core_.writeConnectionRecord(ConnectionAction::LoggedIn);
    state_.logged_in = true;
    core_.startKeepAlive();
    const std::optional<RecorderIdentity> id = state_.identity();
    state_.playback_view_change = id && id->acceptsPlaybackViewChange();
    if (id) core_.post(LoginAccepted{*id});
}

void Login::onBye(const MessageHeader& h, std::span<const std::uint8_t> payload) {
    state_.hello = false;
    const std::int32_t reason = protocol::ReplyCode(payload);
    if (const auto notice = noticeForReason(h.code(), reason)) core_.post(Notice::fromLParam(*notice));
    core_.writeConnectionRecord(ConnectionAction::EndedOrFailed);
    // The connection itself ends with the recorder's close.
}

}  // namespace kalix::session
