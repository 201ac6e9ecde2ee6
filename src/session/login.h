#pragma once
// The login: the recorder's answer to HELLO decides whether we serve it,
// starts live view and the keep-alive; BYE48 is the recorder ending the
// session with a reason.

#include <cstdint>
#include <span>
#include <vector>

#include "protocol/message_header.h"
#include "session/live_view.h"
#include "session/login_state.h"
#include "session/session_core.h"

namespace kalix::session {

class Login {
public:
    Login(SessionCore& core, LoginState& state, LiveView& live);

    // The first message of a connection: HELLO with the account.
    static protocol::MessageHeader helloHeader();
    static std::vector<std::uint8_t> helloPayload(const SessionOptions& options);

    void onHelloAck(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void onBye(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);

private:
    SessionCore& core_;
    LoginState& state_;
    LiveView& live_;
};

}  // namespace kalix::session
