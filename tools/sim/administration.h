#pragma once
// The recorder's administration side. After the login it tells the client
// what it needs unasked: the accounts and their rights (RIGHT_CHANGE or
// RIGHT_CHANGE2), the live permissions (NETLIVE_CH_CHANGE), the PTZ preset
// permissions (RIGHT_PRESET_CHANGE), the channel settings digest with the
// titles and covert flags (DB_CHANGE), the recording state (REC_STATUS),
// the cameras present (CAM_INFO_CHANGE), the information blocks
// (SYS_ETC_INFO, SYS_ETC_INFO_EX, DST_INFO) and the configuration block
// (DB_INFO_ACK, in fragments). Rights changes configured for later go out
// from a helper while the client stays connected.
//
// It answers REC_ON_REQ / REC_OFF_REQ, DB_UPDATE_REQ (the block is kept when
// its CRC and length are right), DB_INIT_REQ (the block goes back to its
// first state) and REBOOT_REQ (the answer, then the recorder closes the
// connection). The recording state and the configuration block belong to the
// recorder, so every connection sees the same.

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "sim/client_link.h"
#include "sim/sim_feature.h"

namespace kalix::sim {

// What the administration of all connections shares.
class AdminStore {
public:
    // The first state, from the configuration; once only.
    void start(const AdminSettings& settings);
    bool recording() const;
    void setRecording(bool on);
    std::vector<std::uint8_t> config() const;
    // True when `block` has the stored block's length and was kept.
    bool updateConfig(std::span<const std::uint8_t> block);
    void resetConfig();

private:
    mutable std::mutex mutex_;
    // -- guarded by mutex_ --
    bool started_ = false;
    bool recording_ = true;
    std::vector<std::uint8_t> config_;
    std::vector<std::uint8_t> first_config_;
};

// The configuration block a recorder of this size starts with.
std::vector<std::uint8_t> initialConfigBlock(std::size_t size);

// The rights message for the accounts in their configured order, each with
// the rights `rights` names for it (all nine otherwise).
std::vector<std::uint8_t> rightsPayload(const SimConfig& config, const std::vector<std::pair<std::string, RightsBits>>& rights);

class RecorderAdministration final : public SimFeature {
public:
    RecorderAdministration(ClientLink& link, AdminStore& store);

    void registerHandlers(HandlerTable& table) override;
    void onLogin() override;

private:
    void sendRights();
    void sendState();
    void sendConfig();
    void onRecord(bool on);
    void onUpdate(std::span<const std::uint8_t> payload);
    void onDbInit();
    void onReboot();

    ClientLink& link_;
    AdminStore& store_;
    // -- reader thread, and the rights-change helper after the login --
    std::mutex rights_mutex_;
    std::vector<std::pair<std::string, RightsBits>> rights_;  // -- guarded by rights_mutex_ --
};

}  // namespace kalix::sim
