#include "sim/administration.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>

#include "base/stop_wait.h"
#include "protocol/byte_order.h"
#include "protocol/crc32.h"
#include "sim/fault_injection.h"

namespace kalix::sim {
namespace {

using protocol::Code;

constexpr std::size_t kNameSize = 32;
constexpr std::size_t kNetLiveRow = 16;
constexpr std::size_t kNetLiveSize = 928;
constexpr std::size_t kPresetSize = 58;
constexpr std::size_t kDbChangeSize = 596;
constexpr std::size_t kSysEtcInfoSize = 320;
constexpr std::size_t kSysEtcInfoExSize = 3'200;
constexpr std::size_t kDstInfoSize = 1'204;

struct Layout {
    std::size_t size, users, names_at, passwords_at, first_slot;
};
constexpr Layout kRightChange{584, 8, 72, 328, 0};
constexpr Layout kRightChange2{3'650, 50, 450, 2'050, 6};

// The record answers' words: recording switched on, and off.
constexpr std::uint32_t kRecordingOn = 49;
constexpr std::uint32_t kRecordingOff = 50;
// REC_STATUS word 1: below 6 while recording.
constexpr std::uint32_t kStatusRecording = 0;
constexpr std::uint32_t kStatusStopped = 6;
// DB_UPDATE_NACK reason for a block that is not the recorder's.
constexpr std::int32_t kBadBlock = 81;

constexpr std::array<const char*, kVideoChannels> kDefaultNames{
    "Entrance", "Lobby", "Car Park", "Office", "Stairs", "Loading Bay", "Back Door", "Reception",
    "Corridor", "Server Room", "Kitchen", "Garden", "Gate", "Warehouse", "Roof", "Street"};

const Layout& layoutOf(const SimConfig& config) {
    return config.admin.rights_layout == 2 ? kRightChange2 : kRightChange;
}

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void putText(std::uint8_t* at, std::string_view text, std::size_t room) {
    std::memcpy(at, text.data(), std::min(text.size(), room));
}

std::vector<std::uint8_t> block(std::size_t size, std::uint8_t seed, std::string_view head) {
    std::vector<std::uint8_t> b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>((i * 13 + seed) & 0xFF);
    putText(b.data(), head, size);
    return b;
}

}  // namespace

std::vector<std::uint8_t> initialConfigBlock(std::size_t size) { return block(size, 0x5A, "KALIX-SIM CONFIG"); }

std::vector<std::uint8_t> rightsPayload(const SimConfig& config,
                                        const std::vector<std::pair<std::string, RightsBits>>& rights) {
    const Layout& L = layoutOf(config);
    std::vector<std::uint8_t> p(L.size, 0);
    const std::size_t users = std::min(config.users.size(), L.users);
    for (std::size_t u = 0; u < users; ++u) {
        const UserAccount& account = config.users[u];
        RightsBits bits{};
        bits.fill(1);
        for (const auto& [name, r] : rights)
            if (lowered(name) == lowered(account.name)) bits = r;
        for (std::size_t row = 0; row < kRightRows; ++row) p[row * L.users + u] = bits[row];
        putText(p.data() + L.names_at + u * kNameSize, account.name, kNameSize);
        putText(p.data() + L.passwords_at + u * kNameSize, account.password, kNameSize);
    }
    return p;
}

// ---------------------------------------------------------------- store

void AdminStore::start(const AdminSettings& settings) {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
    recording_ = settings.recording;
    first_config_ = initialConfigBlock(settings.config_size);
    config_ = first_config_;
}

bool AdminStore::recording() const {
    std::lock_guard lock(mutex_);
    return recording_;
}

void AdminStore::setRecording(bool on) {
    std::lock_guard lock(mutex_);
    recording_ = on;
}

std::vector<std::uint8_t> AdminStore::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

bool AdminStore::updateConfig(std::span<const std::uint8_t> b) {
    std::lock_guard lock(mutex_);
    if (b.size() != config_.size()) return false;
    config_.assign(b.begin(), b.end());
    return true;
}

void AdminStore::resetConfig() {
    std::lock_guard lock(mutex_);
    config_ = first_config_;
}

// ---------------------------------------------------------------- feature

RecorderAdministration::RecorderAdministration(ClientLink& link, AdminStore& store)
    : link_(link), store_(store), rights_(link.config().admin.rights) {
    store_.start(link.config().admin);
}

void RecorderAdministration::registerHandlers(HandlerTable& table) {
    table.add(Code::REC_ON_REQ, LoginRule::Needed, [this](const auto&, auto) { onRecord(true); });
    table.add(Code::REC_OFF_REQ, LoginRule::Needed, [this](const auto&, auto) { onRecord(false); });
    table.add(Code::DB_UPDATE_REQ, LoginRule::Needed, [this](const auto&, auto p) { onUpdate(p); });
    table.add(Code::DB_INIT_REQ, LoginRule::Needed, [this](const auto&, auto) { onDbInit(); });
    table.add(Code::REBOOT_REQ, LoginRule::Needed, [this](const auto&, auto) { onReboot(); });
}

void RecorderAdministration::onLogin() {
    if (!link_.config().admin.announce) return;
    sendRights();
    sendState();
    sendConfig();
    for (const RightsChange& change : link_.config().admin.changes) {
        link_.spawn([this, change](std::stop_token stop) {
            if (!base::waitFor(stop, change.after)) return;
            {
                std::lock_guard lock(rights_mutex_);
                std::erase_if(rights_, [&](const auto& r) { return lowered(r.first) == lowered(change.name); });
                rights_.emplace_back(change.name, change.rights);
            }
            link_.logEvent("rights of " + change.name + " changed");
            sendRights();
        });
    }
}

void RecorderAdministration::sendRights() {
    const SimConfig& config = link_.config();
    std::vector<std::uint8_t> payload;
    {
        std::lock_guard lock(rights_mutex_);
        payload = rightsPayload(config, rights_);
    }
    link_.sendMessage(config.admin.rights_layout == 2 ? Code::RIGHT_CHANGE2 : Code::RIGHT_CHANGE, payload);

    const Layout& L = layoutOf(config);
    std::vector<std::uint8_t> live(kNetLiveSize, 1);
    std::vector<std::uint8_t> presets(kPresetSize, 1);
    for (std::size_t u = 0; u < config.users.size() && u < L.users; ++u) {
        const std::size_t slot = L.first_slot + u;
        if (slot >= kPresetSize) break;
        const std::string name = lowered(config.users[u].name);
        for (const auto& [who, mask] : config.admin.live)
            if (lowered(who) == name)
                for (std::size_t c = 0; c < kNetLiveRow; ++c)
                    live[slot * kNetLiveRow + c] = static_cast<std::uint8_t>((mask >> c) & 1u);
        for (const auto& who : config.admin.no_presets)
            if (lowered(who) == name) presets[slot] = 0;
    }
    link_.sendMessage(Code::NETLIVE_CH_CHANGE, live);
    link_.sendMessage(Code::RIGHT_PRESET_CHANGE, presets);
}

void RecorderAdministration::sendState() {
    const SimConfig& config = link_.config();
    const AdminSettings& a = config.admin;

    std::vector<std::uint8_t> db(kDbChangeSize, 0);
    protocol::putBe32(db.data(), 1);
    for (std::size_t c = 0; c < kVideoChannels; ++c) {
        db[4 + c] = static_cast<std::uint8_t>((a.covert >> c) & 1u);
        const std::string& name = a.channel_names[c];
        putText(db.data() + 20 + c * kNameSize, name.empty() ? std::string_view(kDefaultNames[c]) : name, kNameSize);
    }
    putText(db.data() + 540, "0000", 8);
    link_.sendMessage(Code::DB_CHANGE, db);

    std::vector<std::uint8_t> status(16, 0);
    protocol::putBe32(status.data() + 4, store_.recording() ? kStatusRecording : kStatusStopped);
    link_.sendMessage(Code::REC_STATUS, status);

    std::vector<std::uint8_t> cameras(kVideoChannels, 0);
    for (std::size_t c = 0; c < kVideoChannels; ++c)
        cameras[c] = static_cast<std::uint8_t>(c < config.channel_num ? (a.cameras >> c) & 1u : 0u);
    link_.sendMessage(Code::CAM_INFO_CHANGE, cameras);

    const std::size_t cut = a.bad_blocks ? 10 : 0;
    link_.sendMessage(Code::SYS_ETC_INFO, block(kSysEtcInfoSize - cut, 0x11, "KALIX-SIM"));
    link_.sendMessage(Code::SYS_ETC_INFO_EX, block(kSysEtcInfoExSize + cut, 0x22, "KALIX-SIM EX"));
    auto dst = block(kDstInfoSize, 0x33, "");
    protocol::putBe32(dst.data(), 1);
    link_.sendMessage(Code::DST_INFO, dst);
}

void RecorderAdministration::sendConfig() {
    const std::vector<std::uint8_t> config = store_.config();
    std::vector<std::uint8_t> unit(4 + config.size());
    protocol::putBe32(unit.data(), protocol::crc32(config));
    std::copy(config.begin(), config.end(), unit.begin() + 4);
    link_.sendUnit(Code::DB_INFO_ACK, unit, 0);
}

void RecorderAdministration::onRecord(bool on) {
    if (refuseOnDemand(link_, on ? Code::REC_ON_REQ : Code::REC_OFF_REQ)) return;
    store_.setRecording(on);
    std::array<std::uint8_t, 4> word{};
    protocol::putBe32(word.data(), on ? kRecordingOn : kRecordingOff);
    link_.sendMessage(on ? Code::REC_ON_ACK : Code::REC_OFF_ACK, word);
    link_.logEvent(on ? "recording on" : "recording off");
}

void RecorderAdministration::onUpdate(std::span<const std::uint8_t> payload) {
    if (refuseOnDemand(link_, Code::DB_UPDATE_REQ)) return;
    const bool crc_ok = payload.size() >= 4 && protocol::crc32(payload.subspan(4)) == protocol::be32(payload.data());
    if (!crc_ok || !store_.updateConfig(payload.subspan(4))) {
        std::array<std::uint8_t, 4> reason{};
        protocol::putBe32(reason.data(), static_cast<std::uint32_t>(kBadBlock));
        link_.sendMessage(Code::DB_UPDATE_NACK, reason);
        return;
    }
    link_.sendMessage(Code::DB_UPDATE_ACK);
    link_.logEvent("configuration updated");
}

void RecorderAdministration::onDbInit() {
    if (refuseOnDemand(link_, Code::DB_INIT_REQ)) return;
    store_.resetConfig();
    link_.sendMessage(Code::DB_INIT_ACK);
    link_.logEvent("database initialised");
    sendConfig();
}

void RecorderAdministration::onReboot() {
    if (refuseOnDemand(link_, Code::REBOOT_REQ)) return;
    link_.sendMessage(Code::REBOOT_ACK);
    link_.logEvent("rebooting");
    // A rebooting recorder drops its connections.
    link_.closeOrderly();
}

}  // namespace kalix::sim
