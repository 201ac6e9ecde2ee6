#include "sim/recorder_logs.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "protocol/byte_order.h"
#include "sim/fault_injection.h"

namespace kalix::sim {
namespace {

using protocol::Code;

constexpr std::size_t kEntrySize = 200;
constexpr std::uint32_t kLogSpan = 10 * 24 * 3600;

void putText(std::uint8_t* at, std::size_t room, const std::string& text) {
    std::memcpy(at, text.data(), std::min(room - 1, text.size()));
}

}  // namespace

std::vector<std::uint8_t> simulatedLog(std::uint32_t now, std::uint8_t channel_num, std::size_t count) {
    std::vector<std::uint8_t> log(count * kEntrySize);
    const std::uint32_t step = count == 0 ? 1 : std::max<std::uint32_t>(1, kLogSpan / static_cast<std::uint32_t>(count));
    const std::uint32_t channels = channel_num == 0 ? 16 : channel_num;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* e = log.data() + i * kEntrySize;
        const auto n = static_cast<std::uint32_t>(i);
        const std::uint32_t category_bit = n % 5;
        std::uint32_t type_bit = 0;
        std::uint32_t parameter = 0;
        std::string text;
        std::string user;
        switch (category_bit) {
        case 0:  // power
            type_bit = (n / 5) % 3;
            text = type_bit == 1 ? "Shutdown by the front panel" : "";
            user = "System";
            break;
        case 1:  // record
            type_bit = (n / 5) % 5;
            user = "System";
            break;
        case 2:  // operation, with a few types that only the extended log knows
            type_bit = (n / 5) % 15;
            text = "Setup menu";
            user = (n / 5) % 2 == 0 ? "admin" : "Local";
            parameter = 1 + (n / 5) % channels;
            break;
        case 3:  // client
            type_bit = (n / 5) % 8;
            text = "192.168.1." + std::to_string(10 + (n / 5) % 40);
            user = (n / 5) % 3 == 0 ? "guest" : "admin";
            break;
        default:  // event
            type_bit = (n / 5) % 5;
            parameter = (1u << ((n / 5) % channels)) | (n % 7 == 0 ? 1u << (channels - 1) : 0u);
            user = "System";
            break;
        }
        protocol::putBe32(e, n + 1);
        protocol::putBe32(e + 4, kEntrySize);
        protocol::putBe32(e + 8, 1u << category_bit);
        protocol::putBe32(e + 12, 1u << type_bit);
        protocol::putBe32(e + 16, now - static_cast<std::uint32_t>(count - i) * step);
        protocol::putBe32(e + 20, parameter);
        putText(e + 24, 64, text);
        if (category_bit == 2 && (type_bit == 4 || type_bit == 9)) {
            // The changed settings: before at text byte 64, after at 96.
            e[24 + 64 + 1] = 1;
            e[24 + 96 + 1] = 2;
            e[24 + 64 + 5] = static_cast<std::uint8_t>(n % 30);
            e[24 + 96 + 5] = static_cast<std::uint8_t>(n % 30 + 1);
        }
        putText(e + 152, 48, user);
    }
    return log;
}

std::vector<std::uint8_t> simulatedStatus(std::uint8_t channel_num) {
    std::vector<std::uint8_t> s(56);
    protocol::putBe32(s.data() + 8, 1'907'729);  // a 2 TB disk, in MByte
    protocol::putBe32(s.data() + 12, 652'288);
    s[16] = 1;  // item 1: one internal disk
    s[20] = 1;
    s[24] = 1;
    s[28] = 1;  // item 5: an external drive, none counted
    s[32] = 0;
    s[36] = 2;
    const std::uint32_t channels = channel_num == 0 ? 16 : std::min<std::uint32_t>(channel_num, 16);
    for (std::uint32_t c = 0; c < channels; ++c) s[40 + c] = static_cast<std::uint8_t>(c % 4 == 3 ? 0 : c % 3 == 2 ? 2 : 1);
    return s;
}

void RecorderLogs::registerHandlers(HandlerTable& table) {
    table.add(Code::LOG_INFO_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onLog(); });
    table.add(Code::STATUS_INFO_REQ, LoginRule::Needed,
              [this](const protocol::MessageHeader&, std::span<const std::uint8_t>) { onStatus(); });
}

void RecorderLogs::onLog() {
    if (refuseOnDemand(link_, Code::LOG_INFO_REQ)) return;
    const auto now = static_cast<std::uint32_t>(
        link_.config().recordings.now.value_or(static_cast<std::uint32_t>(std::time(nullptr))));
    const auto log = simulatedLog(now, link_.config().channel_num);
    const std::size_t per_message = protocol::kMaxPayload / kEntrySize * kEntrySize;
    const std::span<const std::uint8_t> all(log);
    std::size_t offset = 0;
    do {
        const std::size_t take = std::min(all.size() - offset, per_message);
        const bool last = offset + take == all.size();
        if (!link_.sendMessage(static_cast<std::uint16_t>(Code::LOG_INFO_ACK), all.subspan(offset, take),
                               last ? protocol::Fragment::Last : protocol::Fragment::More)) {
            return;
        }
        offset += take;
    } while (offset < all.size());
    link_.logEvent("log: " + std::to_string(log.size() / kEntrySize) + " entries");
}

void RecorderLogs::onStatus() {
    if (refuseOnDemand(link_, Code::STATUS_INFO_REQ)) return;
    link_.sendMessage(Code::STATUS_INFO_ACK, simulatedStatus(link_.config().channel_num));
    link_.logEvent("status information");
}

}  // namespace kalix::sim
