#include "app/info_pages.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>

#include "app/string_table.h"
#include "protocol/byte_order.h"

namespace kalix::app {
namespace {

constexpr std::size_t kStatusBytes = 56;
constexpr std::size_t kStatusHeadBytes = 16;

ListRow row(std::string c1 = {}, std::optional<std::uint16_t> id1 = std::nullopt, std::string c2 = {},
            std::optional<std::uint16_t> id2 = std::nullopt, std::string c3 = {},
            std::optional<std::uint16_t> id3 = std::nullopt) {
    return ListRow{{std::move(c1), std::move(c2), std::move(c3)}, {id1, id2, id3}};
}

std::string label(std::uint16_t id) { return std::string(stringText(id)); }

std::string firmwareTime(std::uint32_t version) {
    auto seconds = static_cast<std::int32_t>(version);
    if (seconds < 0) seconds = 0;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d  %02d%02d  %02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min);
    return text;
}

std::uint16_t channelStateId(std::uint8_t state) {
    switch (state) {
    case 0: return 5144;
    case 1: return 6140;
    case 2:
    case 3: return 6141;
    default: return 5144;  // an unknown state reads as idle
    }
}

std::uint16_t storageKindId(std::uint8_t kind) { return kind == 1 ? 5873 : kind == 2 ? 5874 : 5872; }

}  // namespace

std::string storageSizeText(std::uint64_t mbyte) {
    char text[96];
    if (mbyte < 1024) {
        std::snprintf(text, sizeof text, "%5llu MByte", static_cast<unsigned long long>(mbyte));
    } else if (const std::uint64_t g = mbyte / 1024; g < 1024) {
        std::snprintf(text, sizeof text, "%5llu GByte", static_cast<unsigned long long>(g));
    } else {
        std::snprintf(text, sizeof text, "%6.2f TByte", static_cast<double>(g) / 1024.0);
    }
    return text;
}

std::vector<ListRow> systemInfoRows(const SystemInfoSource& s) {
    std::vector<ListRow> rows;
    rows.push_back(row(label(5497), 5497, s.address));
    rows.push_back(row(label(5540), 5540, std::to_string(s.port)));
    rows.push_back(row(label(5881), 5881, s.description));
    const auto& m = s.identity.mac;
    char mac[96];
    std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    std::string mac_text = mac;
    std::transform(mac_text.begin(), mac_text.end(), mac_text.begin(),
                   [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
    rows.push_back(row(label(5145), 5145, mac_text));
    rows.push_back(row());
    constexpr std::size_t kOrder[] = {0, 3, 4, 2, 5, 6};
    constexpr std::uint16_t kLabels[] = {5146, 5147, 5148, 5149, 5150, 5151};
    const bool module2 = s.identity.product_major != 0 || s.identity.product_minor > 1;
    for (std::size_t i = 0; i < std::size(kOrder); ++i) {
        if (kOrder[i] == 2 && !module2) continue;
        const session::RecorderIdentity::Firmware module =
            kOrder[i] < s.identity.modules.size() ? s.identity.modules[kOrder[i]] : session::RecorderIdentity::Firmware{};
        rows.push_back(row(label(kLabels[i]), kLabels[i], firmwareTime(module.version), std::nullopt, module.name));
    }
    return rows;
}

std::vector<ListRow> statusInfoRows(std::span<const std::uint8_t> reply, int channels) {
    std::array<std::uint8_t, kStatusBytes> b{};
    std::copy_n(reply.begin(), std::min(reply.size(), kStatusBytes), b.begin());
    const std::uint64_t total = protocol::be32(b.data() + 8);
    const std::uint64_t free = protocol::be32(b.data() + 12);
    // A recorder that reports more free than total space has nothing used.
    const std::uint64_t used = total > free ? total - free : 0;

    std::vector<ListRow> rows;
    rows.push_back(row(label(5135), 5135, storageSizeText(total)));
    rows.push_back(row(label(5136), 5136, storageSizeText(used)));
    rows.push_back(row(label(5137), 5137, storageSizeText(free)));
    rows.push_back(row());
    for (int c = 0; c < std::clamp(channels, 0, 16); ++c) {
        char name[96];
        std::snprintf(name, sizeof name, "%s %02d", label(5152).c_str(), c + 1);
        const std::uint16_t state = channelStateId(b[40 + static_cast<std::size_t>(c)]);
        rows.push_back(row(name, 5152, label(state), state));
    }
    if (reply.size() <= kStatusHeadBytes) return rows;
    rows.push_back(row());
    auto item = [&](std::size_t group_base, std::size_t index, int number) {
        const std::uint8_t present = b[16 + group_base + index];
        if (present == 0) return;
        const std::uint8_t count = b[20 + group_base + index];
        const std::uint8_t kind = b[24 + group_base + index];
        char name[96];
        std::snprintf(name, sizeof name, "%s%d", label(5880).c_str(), number);
        if (count == 0) {
            rows.push_back(row(name, 5880, label(5870), 5870, label(5872), 5872));
        } else {
            char amount[96];
            std::snprintf(amount, sizeof amount, "%d %s", count, label(5871).c_str());
            rows.push_back(row(name, 5880, label(5870), 5870, amount, 5871));
        }
        const std::uint16_t kind_id = storageKindId(kind);
        rows.push_back(row({}, std::nullopt, label(5837), 5837, label(kind_id), kind_id));
    };
    for (std::size_t i = 0; i < 4; ++i) item(0, i, static_cast<int>(i) + 1);
    for (std::size_t i = 0; i < 2; ++i) item(12, i, static_cast<int>(i) + 1);
    return rows;
}

}  // namespace kalix::app
