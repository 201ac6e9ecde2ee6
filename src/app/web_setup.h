#pragma once
// The RSetup button: the recorder's own set-up pages, opened in the web
// browser with the session key of the login answer.

#include <cstdint>
#include <string>
#include <string_view>

#include "session/event_sink.h"

namespace kalix::app {

inline constexpr std::string_view kRemoteSetupErrorText = "Remote Setup Error!!!";

enum class WebSetupDecision : std::uint8_t {
    Ignored,  // no logged-in session: the button does nothing
    Refused,  // notice 0x0F
    Open,     // start the browser with `url`
};

struct WebSetupAction {
    WebSetupDecision decision = WebSetupDecision::Ignored;
    std::string url;
    friend bool operator==(const WebSetupAction&, const WebSetupAction&) = default;
};

// "http://<address>:<web port>/webdb/webdb.cgi?key=" followed by the 16
// lower-case hex digits of the session key. `address` is the recorder
// address the session connected to.
std::string webSetupAddress(std::string_view address, const session::RecorderIdentity& identity);

// Recorders of product major version 0 let in account 0 only; newer ones
// anyone holding the set-up right (right row 1 of the recorder's rights
// table). `identity` is null without a logged-in session.
WebSetupAction decideWebSetup(const session::RecorderIdentity* identity, std::string_view address,
                              bool holds_setup_right);

}  // namespace kalix::app
