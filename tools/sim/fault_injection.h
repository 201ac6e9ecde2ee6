#pragma once
// The faults a recorder plays after a login, for tests of the client's
// defences: a message with a code the client does not know, bytes that are
// no message at all, one live unit larger than the client's reassembly
// buffer, and our close a while after the login. They go out on helper
// threads, so the reader keeps reading meanwhile.
//
// The other faults live where they act: the login refusal in identity_login,
// replies cut into pieces in the client link's framing.

#include <atomic>
#include <cstdint>

#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

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
