#include "sim/ptz.h"

#include <array>

namespace kalix::sim {

using protocol::Code;

void PtzLog::add(const PtzRecord& record) {
    {
        std::lock_guard lock(mutex_);
        records_.push_back(record);
    }
    changed_.notify_all();
}

std::vector<PtzRecord> PtzLog::records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

bool PtzLog::waitForCount(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return records_.size() >= n; });
}

std::string ptzCommandText(int command, unsigned number) {
    static constexpr const char* kNames[] = {
        "right",       "left",       "up",        "down",       "zoom-up",    "zoom-down",
        "zoom-right",  "zoom-left",  "preset-set", "preset-go", "learn",      "learn-stop",
        "pattern",     "dome-open",  "dome-enter", "dome-esc",  "dome-close", "tour",
    };
    if (command < 0) return "stop";
    if (command >= static_cast<int>(std::size(kNames))) return "command " + std::to_string(command) + " " + std::to_string(number);
    std::string text = kNames[command];
    switch (command) {
    case 8: case 9: case 10: case 11: case 12: case 17: text += " " + std::to_string(number); break;
    default: break;
    }
    return text;
}

void Ptz::registerHandlers(HandlerTable& table) {
    table.add(Code::PTZ_CHANNEL_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> p) { onChannel(p); });
    table.add(Code::PTZ_MOVE_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t> p) { onMove(p); });
    table.add(Code::PTZ_MOVE_STOP, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onStop(); });
}

void Ptz::onChannel(std::span<const std::uint8_t> payload) {
    if (payload.size() != 4) return;
    channel_ = payload[0];
    const bool has = channel_ < 16 && ((unsigned{link_.config().ptz_channels} >> static_cast<unsigned>(channel_)) & 1u) != 0;
    link_.event("ptz ch " + std::to_string(channel_) + " form " + std::to_string(payload[1]) +
                (has ? " ptz" : " no ptz"));
    const std::array<std::uint8_t, 4> answer{static_cast<std::uint8_t>(has ? 1 : 0), 0, 0, 0};
    link_.sendMessage(Code::PTZ_CHANNEL_ACK, answer);
}

void Ptz::onMove(std::span<const std::uint8_t> payload) {
    if (payload.size() != 4) return;
    const unsigned number = payload[1] | (unsigned{payload[3]} << 8);
    log_.add(PtzRecord{link_.id(), channel_, payload[0], number});
    link_.event("ptz ch " + std::to_string(channel_) + " " + ptzCommandText(payload[0], number));
}

void Ptz::onStop() {
    log_.add(PtzRecord{link_.id(), channel_, -1, 0});
    link_.event("ptz ch " + std::to_string(channel_) + " stop");
}

}  // namespace kalix::sim
