#pragma once
// Firmware upgrade from the recorder's side.
//
// FW_UPDATE_REQ names a module (by number), the stamp of the new firmware
// and its name. It is refused with FW_UPDATE_NACK 17 when the request is
// malformed or names no module of this recorder, 18 when the stamp is not
// newer than what the module runs, or with the configured reason; else
// FW_UPDATE_ACK, and the file follows as FW_DATA pieces of 8,000 bytes,
// the last marked as the last fragment. The file is checked as it comes:
// pieces of the right size, and a header that matches the request (a
// new-form file names the module and carries the stamp at offset 8; an old
// form starts its text with the name of the request). A bad file or a piece
// out of place gives FW_DATA_RX_FAIL 17; a good one FW_DATA_RX_DONE, then,
// after the flash time, FW_UPDATE_DONE. The new stamp is kept; once no
// further request comes for a while the recorder restarts: it closes every
// connection and reports the new stamp at the next login.

#include <chrono>
#include <array>
#include <atomic>
#include <memory>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// The recorder's firmware modules: names and the stamps they run, shared by
// every connection. Any thread.
class FirmwareStore {
public:
    void reset(std::vector<std::pair<std::string, std::uint32_t>> modules);
    std::vector<std::pair<std::string, std::uint32_t>> modules() const;
    void setVersion(std::size_t module, std::uint32_t stamp);
    // Every upload that reached its verdict: module, stamp, bytes, result.
    struct Upgrade {
        std::uint8_t module = 0;
        std::uint32_t stamp = 0;
        std::vector<std::uint8_t> data;
        bool done = false;
    };
    void record(Upgrade upgrade);
    std::vector<Upgrade> upgrades() const;

private:
    mutable std::mutex mutex_;
    // -- guarded by mutex_ --
    std::vector<std::pair<std::string, std::uint32_t>> modules_;
    std::vector<Upgrade> upgrades_;
};

class FirmwareUpgrade final : public SimFeature {
public:
    FirmwareUpgrade(ClientLink& link, FirmwareStore& store) : link_(link), store_(store) {}

    void registerHandlers(HandlerTable& table) override;

private:
    void onRequest(std::span<const std::uint8_t> payload);
    void onData(const protocol::MessageHeader& header, std::span<const std::uint8_t> payload);
    void dataFailed(std::int32_t reason);
    bool headerMatches() const;
    void refuse(std::int32_t reason);

    ClientLink& link_;
    FirmwareStore& store_;
    // -- reader thread only --
    bool receiving_ = false;
    std::uint8_t module_ = 0;
    std::uint32_t stamp_ = 0;
    std::array<std::uint8_t, 32> name_{};
    std::vector<std::uint8_t> data_;
    // Requests accepted on this connection; the restart helper reads it.
    std::shared_ptr<std::atomic<std::uint64_t>> requests_ = std::make_shared<std::atomic<std::uint64_t>>(0);
};

}  // namespace kalix::sim
