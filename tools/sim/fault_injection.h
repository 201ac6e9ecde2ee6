#pragma once
// The faults a recorder plays after a login, for tests of the client's
// defences: a message with a code the client does not know, bytes that are
// no message at all, one live unit larger than the client's reassembly
// buffer, and our close a while after the login. They go out on helper
// threads, so the reader keeps reading meanwhile.
//
// The other faults live where they act: the login refusal in identity_login,
// replies cut into pieces in the client link's framing, the refusals on
// demand (below) in the features that answer those requests.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string_view>

#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// Requests that can be refused on demand (--refuse NAME:REASON), and the
// refusal each draws: PLAY_INFO_MONTH_REQ, PLAY_INFO_DAY_REQ, EVENT_INFO_REQ
// (EVENT_INFO_NACK_BYPG), PLAY_ON_REQ and EVENT_PLAY_REQ (PLAY_ON_NACK),
// RPLAY_STOP (PLAY_OFF_NACK), LOG_INFO_REQ and STATUS_INFO_REQ (their NACKs).
std::optional<protocol::Code> refusableRequest(std::string_view name);
std::optional<protocol::Code> refusalFor(protocol::Code request);
// The reason to refuse `request` with, when the configuration asks for it.
std::optional<std::int32_t> refusalReason(const SimConfig& config, protocol::Code request);
// Sends the refusal of `request` when one is configured; true when it did.
bool refuseOnDemand(ClientLink& link, protocol::Code request);

class FaultInjection final : public SimFeature {
public:
    explicit FaultInjection(ClientLink& link) : link_(link) {}

    void registerHandlers(HandlerTable&) override {}
    void onLogin() override;
    void onLiveView(const LiveViewChange& change) override;

private:
    void sendOversizedUnit();

    ClientLink& link_;
    // The oversized unit goes out once per connection, from the reader or a
    // helper, whichever comes first.
    std::atomic<bool> oversized_sent_{false};
};

}  // namespace kalix::sim
