#pragma once
// The recorder's own log and its status information. LOG_INFO_REQ is
// answered with LOG_INFO_ACK: 2,400 entries of 200 bytes, oldest first, of
// every category (power, record, operation, client, event) spread over the
// ten days before the recorder's "now", in messages cut between entries,
// the last one marked as the last fragment. STATUS_INFO_REQ is answered
// with a 56-byte STATUS_INFO_ACK: the disk sizes, two storage items and
// the recording state of each channel.

#include <cstdint>
#include <vector>

#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

inline constexpr std::size_t kSimLogEntries = 2400;

// The simulated log: entries numbered 1.., one every `step` seconds up to
// `now`.
std::vector<std::uint8_t> simulatedLog(std::uint32_t now, std::uint8_t channel_num, std::size_t count = kSimLogEntries);
std::vector<std::uint8_t> simulatedStatus(std::uint8_t channel_num);

class RecorderLogs final : public SimFeature {
public:
    explicit RecorderLogs(ClientLink& link) : link_(link) {}
    void registerHandlers(HandlerTable& table) override;

private:
    void onLog();
    void onStatus();

    ClientLink& link_;
};

}  // namespace kalix::sim
