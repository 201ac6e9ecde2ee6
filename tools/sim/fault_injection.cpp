#include "sim/fault_injection.h"

#include <array>
#include <chrono>
#include <string>
#include <random>
#include <vector>

#include "base/stop_wait.h"
#include "protocol/byte_order.h"
#include "sim/live_video.h"

namespace kalix::sim {
namespace {

using protocol::Code;

// The client gathers one live unit in a buffer of this size.
constexpr std::size_t kClientReassemblySize = 1'244'160;
constexpr std::size_t kOversizedUnitSize =
    (kClientReassemblySize / protocol::kMaxPayload + 1) * protocol::kMaxPayload;
constexpr std::size_t kGarbageSize = 512;
constexpr std::uint32_t kGarbageSeed = 0x6b616c69;

std::uint32_t wallClockSeconds() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count());
}

// A live video unit with no coded picture: what a recorder sends for a
// channel whose encoder has nothing new, and the smallest unit the client
// must hand on.
std::vector<std::uint8_t> emptyLiveVideoUnit(std::uint32_t seconds) {
    std::vector<std::uint8_t> unit(kLiveUnitDataOffset, 0);
    std::uint8_t* enc = unit.data() + kLiveUnitHeaderOffset;
    enc[4] = 288 / 16;  // picture height / 16
    enc[5] = 352 / 16;  // picture width / 16
    protocol::putLe32(enc + 20, seconds);
    return unit;
}

struct RefusableRequest {
    std::string_view name;
    Code request;
    Code refusal;
};

constexpr RefusableRequest kRefusable[] = {
    {"PLAY_INFO_MONTH_REQ", Code::PLAY_INFO_MONTH_REQ, Code::PLAY_INFO_MONTH_NACK},
    {"PLAY_INFO_DAY_REQ", Code::PLAY_INFO_DAY_REQ, Code::PLAY_INFO_DAY_NACK},
    {"EVENT_INFO_REQ", Code::EVENT_INFO_REQ, Code::EVENT_INFO_NACK_BYPG},
    {"PLAY_ON_REQ", Code::PLAY_ON_REQ, Code::PLAY_ON_NACK},
    {"EVENT_PLAY_REQ", Code::EVENT_PLAY_REQ, Code::PLAY_ON_NACK},
    {"RPLAY_STOP", Code::RPLAY_STOP, Code::PLAY_OFF_NACK},
    {"LOG_INFO_REQ", Code::LOG_INFO_REQ, Code::LOG_INFO_NACK},
    {"STATUS_INFO_REQ", Code::STATUS_INFO_REQ, Code::STATUS_INFO_NACK},
    {"REC_ON_REQ", Code::REC_ON_REQ, Code::REC_ON_NACK},
    {"REC_OFF_REQ", Code::REC_OFF_REQ, Code::REC_OFF_NACK},
    {"REBOOT_REQ", Code::REBOOT_REQ, Code::REBOOT_NACK},
    {"DB_INIT_REQ", Code::DB_INIT_REQ, Code::DB_INIT_NACK},
    {"DB_UPDATE_REQ", Code::DB_UPDATE_REQ, Code::DB_UPDATE_NACK},
    {"TRANS_INFO_MONTH_REQ", Code::TRANS_INFO_MONTH_REQ, Code::TRANS_INFO_MONTH_NACK},
    {"TRANS_INFO_DAY_REQ", Code::TRANS_INFO_DAY_REQ, Code::TRANS_INFO_DAY_NACK},
    {"TRANS_ON_REQ", Code::TRANS_ON_REQ, Code::TRANS_ON_NACK},
    {"TRANS_DATA_REQ", Code::TRANS_DATA_REQ, Code::TRANS_ON_NACK},
};

}  // namespace

std::optional<Code> refusableRequest(std::string_view name) {
    for (const RefusableRequest& r : kRefusable) {
        if (r.name == name) return r.request;
    }
    return std::nullopt;
}

std::optional<Code> refusalFor(Code request) {
    for (const RefusableRequest& r : kRefusable) {
        if (r.request == request) return r.refusal;
    }
    return std::nullopt;
}

std::optional<std::int32_t> refusalReason(const SimConfig& config, Code request) {
    for (const Refusal& r : config.refusals) {
        if (r.request == static_cast<std::uint16_t>(request)) return r.reason;
    }
    return std::nullopt;
}

bool refuseOnDemand(ClientLink& link, Code request) {
    const auto reason = refusalReason(link.config(), request);
    const auto refusal = refusalFor(request);
    if (!reason || !refusal) return false;
    std::array<std::uint8_t, 4> payload{};
    protocol::putBe32(payload.data(), static_cast<std::uint32_t>(*reason));
    link.sendMessage(*refusal, payload);
    link.logEvent(protocol::messageName(static_cast<std::uint16_t>(request), protocol::Direction::ToRecorder) +
                  " refused with reason " + std::to_string(*reason));
    return true;
}

void FaultInjection::onLogin() {
    const SimConfig& config = link_.config();
    // Without a live answer to wait for, the oversized unit follows the login.
    const bool oversized_now = config.oversized_unit_after_login && !config.answer_live_req;
    if (config.unknown_after_login || config.garbage_after_login || oversized_now) {
        link_.spawn([this, &config, oversized_now](std::stop_token) {
            if (const auto unknown = config.unknown_after_login) {
                std::vector<std::uint8_t> payload(unknown->second);
                for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
                link_.sendMessage(unknown->first, payload, protocol::Fragment::Last);
            }
            if (config.garbage_after_login) {
                std::mt19937 random(kGarbageSeed);
                std::uniform_int_distribution<int> byte(0, 255);
                std::vector<std::uint8_t> garbage(kGarbageSize);
                for (auto& b : garbage) b = static_cast<std::uint8_t>(byte(random));
                link_.sendRaw(garbage);
            }
            if (oversized_now && !oversized_sent_.exchange(true)) sendOversizedUnit();
        });
    }
    if (const auto delay = config.close_after) {
        link_.spawn([&link = link_, delay = *delay](std::stop_token stop) {
            if (base::waitFor(stop, delay)) link.closeOrderly();
        });
    }
}

void FaultInjection::onLiveView(const LiveViewChange& change) {
    // The oversized unit follows the first live answer, so that the client
    // is in live view when it arrives.
    if (change.kind != LiveViewChange::Kind::Answered) return;
    if (link_.config().oversized_unit_after_login && !oversized_sent_.exchange(true)) {
        link_.spawn([this](std::stop_token) { sendOversizedUnit(); });
    }
}

void FaultInjection::sendOversizedUnit() {
    const std::uint32_t seconds = wallClockSeconds();
    const std::vector<std::uint8_t> big(kOversizedUnitSize, 0);
    if (!link_.sendUnit(Code::LIVE_DATA, big, seconds)) return;
    link_.sendUnit(Code::LIVE_DATA, emptyLiveVideoUnit(seconds), seconds);
}

}  // namespace kalix::sim
