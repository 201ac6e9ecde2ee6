#include "sim/firmware_upgrade.h"

#include <algorithm>
#include <cstring>

#include "base/stop_wait.h"
#include "protocol/byte_order.h"

namespace kalix::sim {
namespace {

using protocol::Code;

constexpr std::size_t kRequestSize = 56;
constexpr std::size_t kPiece = 8000;
constexpr std::size_t kHeaderSize = 256;
constexpr std::uint64_t kMaxFile = 256ull << 20;
constexpr std::int32_t kNotThisRecorder = 17;
constexpr std::int32_t kNotNewer = 18;

std::string_view textOf(const std::uint8_t* p, std::size_t n) {
    const auto* c = reinterpret_cast<const char*>(p);
    return {c, strnlen(c, n)};
}

bool zeros(std::span<const std::uint8_t> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

}  // namespace

void FirmwareStore::reset(std::vector<std::pair<std::string, std::uint32_t>> modules) {
    std::lock_guard lock(mutex_);
    modules_ = std::move(modules);
}

std::vector<std::pair<std::string, std::uint32_t>> FirmwareStore::modules() const {
    std::lock_guard lock(mutex_);
    return modules_;
}

void FirmwareStore::setVersion(std::size_t module, std::uint32_t stamp) {
    std::lock_guard lock(mutex_);
    if (module < modules_.size()) modules_[module].second = stamp;
}

void FirmwareStore::record(Upgrade upgrade) {
    std::lock_guard lock(mutex_);
    upgrades_.push_back(std::move(upgrade));
}

std::vector<FirmwareStore::Upgrade> FirmwareStore::upgrades() const {
    std::lock_guard lock(mutex_);
    return upgrades_;
}

void FirmwareUpgrade::registerHandlers(HandlerTable& table) {
    table.add(Code::FW_UPDATE_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> p) { onRequest(p); });
    table.add(Code::FW_DATA, LoginRule::Needed,
              [this](const protocol::MessageHeader& h, std::span<const std::uint8_t> p) { onData(h, p); });
}

void FirmwareUpgrade::refuse(std::int32_t reason) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
    link_.event("firmware refused, reason " + std::to_string(reason));
    link_.sendMessage(Code::FW_UPDATE_NACK, payload);
}

void FirmwareUpgrade::onRequest(std::span<const std::uint8_t> p) {
    const SimConfig& config = link_.config();
    if (receiving_) return refuse(kNotThisRecorder);  // one upgrade at a time
    if (config.firmware_upgrade.refuse) return refuse(*config.firmware_upgrade.refuse);
    if (p.size() != kRequestSize || !zeros(p.subspan(0, 4)) || !zeros(p.subspan(8, 8)) || !zeros(p.subspan(17, 4)) ||
        !zeros(p.subspan(53, 3)))
        return refuse(kNotThisRecorder);
    const std::uint32_t stamp = protocol::be32(p.data() + 4);
    const std::uint8_t module = p[16];
    const auto modules = store_.modules();
    if (module >= modules.size() || modules[module].first.empty()) return refuse(kNotThisRecorder);
    const std::string_view name = textOf(p.data() + 21, 32);
    // Old-form files of the main module carry their version text as the name.
    if (module != 0 && name != modules[module].first) return refuse(kNotThisRecorder);
    if (stamp <= modules[module].second) return refuse(kNotNewer);

    receiving_ = true;
    module_ = module;
    stamp_ = stamp;
    std::copy_n(p.begin() + 21, 32, name_.begin());
    data_.clear();
    ++*requests_;
    link_.event("firmware upgrade of module " + std::to_string(module) + " accepted");
    link_.sendMessage(Code::FW_UPDATE_ACK);
}

bool FirmwareUpgrade::headerMatches() const {
    if (data_.size() < kHeaderSize) return false;
    const std::uint8_t* h = data_.data();
    const bool boot = std::memcmp(h + 3, "VBoot", 5) == 0;
    if (boot && std::memcmp(h + 67, "VBoot", 5) == 0)
        return std::memcmp(h + 32, name_.data(), 32) == 0 && protocol::be32(h + 8) == stamp_;
    const std::size_t text = boot ? 64 : 0;
    return module_ == 0 && std::memcmp(h + text, name_.data(), 15) == 0 &&
           zeros(std::span<const std::uint8_t>(name_).subspan(15));
}

void FirmwareUpgrade::dataFailed(std::int32_t reason) {
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
    link_.event("firmware data failed, reason " + std::to_string(reason));
    store_.record({module_, stamp_, data_, false});
    receiving_ = false;
    data_.clear();
    link_.sendMessage(Code::FW_DATA_RX_FAIL, payload);
}

void FirmwareUpgrade::onData(const protocol::MessageHeader& header, std::span<const std::uint8_t> p) {
    if (!receiving_) {
        link_.event("firmware data without an accepted request");
        return;
    }
    const FirmwareSettings& settings = link_.config().firmware_upgrade;
    const bool last = header.lastFragment();
    if (p.empty() || p.size() > kPiece || (!last && p.size() != kPiece) || data_.size() + p.size() > kMaxFile)
        return dataFailed(kNotThisRecorder);
    const std::uint64_t before = data_.size();
    data_.insert(data_.end(), p.begin(), p.end());
    if (settings.close_after && before < *settings.close_after && data_.size() >= *settings.close_after) {
        link_.event("firmware upload: closing mid-way");
        receiving_ = false;
        link_.closeOrderly();
        return;
    }
    if (settings.data_fail && data_.size() >= settings.data_fail->first) return dataFailed(settings.data_fail->second);
    if (!last) return;
    if (!headerMatches()) return dataFailed(kNotThisRecorder);

    receiving_ = false;
    link_.event("firmware data of module " + std::to_string(module_) + " received, " + std::to_string(data_.size()) +
                " bytes");
    link_.sendMessage(Code::FW_DATA_RX_DONE);
    const bool done = !settings.update_fail;
    store_.record({module_, stamp_, std::move(data_), done});
    data_.clear();
    if (done) store_.setVersion(module_, stamp_);

    // Writing the firmware takes a while; then the verdict and, when nothing
    // else follows, the restart.
    const auto requests = requests_;
    const std::uint64_t seen = *requests;
    link_.spawn([&link = link_, settings, requests, seen, done](std::stop_token stop) {
        if (!base::waitFor(stop, settings.flash_time)) return;
        if (done) {
            link.sendMessage(Code::FW_UPDATE_DONE);
        } else {
            std::array<std::uint8_t, 4> payload{};
            protocol::putBe32(payload.data(), static_cast<std::uint32_t>(*settings.update_fail));
            link.sendMessage(Code::FW_UPDATE_FAIL, payload);
            return;
        }
        if (settings.restart_after.count() == 0 || !base::waitFor(stop, settings.restart_after)) return;
        if (requests->load() != seen) return;
        link.event("restarting after the firmware upgrade");
        link.closeOrderly();
    });
}

}  // namespace kalix::sim
