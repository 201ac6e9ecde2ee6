#pragma once
// Login and farewell from the recorder's side. HELLO is answered with
// HELLO48_ACK and the recorder's identity when an account matches, and with
// BYE48 and a close otherwise (or always, when the recorder is set to refuse
// every login with a given reason). The client's BYE48 is only noted, and
// KEEP_ALIVE needs no answer: the core records both like any message.

#include <cstdint>
#include <span>

#include "sim/client_link.h"
#include "sim/firmware_upgrade.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

class IdentityLogin final : public SimFeature {
public:
    // With `firmware`, the login answer reports its modules and stamps (they
    // change with an upgrade) instead of the configured ones.
    explicit IdentityLogin(ClientLink& link, const FirmwareStore* firmware = nullptr)
        : link_(link), firmware_(firmware) {}

    void registerHandlers(HandlerTable& table) override;

private:
    void onHello(std::span<const std::uint8_t> payload);
    // BYE48 with `reason`, then our orderly close once the client had time
    // to read it.
    void refuse(std::int32_t reason);

    ClientLink& link_;
    const FirmwareStore* firmware_ = nullptr;
};

}  // namespace kalix::sim
