#include "session/recorder_identity.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "protocol/byte_order.h"

namespace kalix::session {
namespace {

constexpr std::size_t kFirmNameOffset = 48;
constexpr std::size_t kFirmNameSize = 32;
constexpr std::size_t kFirmVerOffset = 688;
constexpr std::size_t kFirmwareParts = 20;

void copyLowered(std::string_view text, std::uint8_t* field, std::size_t width) {
    const std::size_t n = text.size() < width ? text.size() : width;
    for (std::size_t i = 0; i < n; ++i)
        field[i] = static_cast<std::uint8_t>(std::tolower(static_cast<unsigned char>(text[i])));
}

}  // namespace

std::string RecorderIdentity::macText() const {
    char text[18];
    std::snprintf(text, sizeof text, "%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return text;
}

std::string RecorderIdentity::keyText() const {
    std::string text;
    char digits[3];
    for (std::uint8_t b : key) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

std::array<std::uint8_t, kHelloSize> buildHello(std::string_view user, std::string_view password) {
    std::array<std::uint8_t, kHelloSize> payload{};
    copyLowered(user, payload.data(), 16);
    copyLowered(password, payload.data() + 16, 16);
    return payload;
}

std::int32_t recorderKindFor(std::uint8_t product_number) {
    switch (product_number) {
    case 0:
    case 1: return 1;
    case 5:
    case 8: return 2;
    case 11: return 3;
    case 12: return 5;
    case 20: return 4;
    default: return 0;  // the PIKE family and unknown products stay unidentified
    }
}

bool isServedKind(std::int32_t kind) { return kind == 3 || kind == 5; }

std::uint8_t normalisedChannelCount(std::uint8_t channel_num) {
    return (channel_num == 4 || channel_num == 8 || channel_num == 16) ? channel_num : 16;
}

std::optional<RecorderIdentity> parseHelloAck(std::span<const std::uint8_t> p) {
    if (p.size() != kHelloAckSize) return std::nullopt;
    RecorderIdentity id;
    id.protocol_major = p[0];
    id.protocol_minor = p[1];
    id.product_number = p[2];
    id.product_major = p[3];
    id.product_minor = p[4];
    id.front_ver = p[5];
    id.channel_num = p[6];
    id.account = p[7];
    std::memcpy(id.mac.data(), p.data() + 8, 6);
    id.feature = p[16];
    std::memcpy(id.key.data(), p.data() + 18, 8);
    id.web_port = protocol::le16(p.data() + 26);
    for (std::size_t i = 0; i < kFirmwareParts; ++i) {
        const std::uint32_t version = protocol::be32(p.data() + kFirmVerOffset + 4 * i);
        const auto* name = reinterpret_cast<const char*>(p.data() + kFirmNameOffset + kFirmNameSize * i);
        id.modules[i] = {std::string(name, strnlen(name, kFirmNameSize)), version};
        if (version == 0) continue;
        id.firmware.push_back(id.modules[i]);
    }
    id.recorder_kind = recorderKindFor(id.product_number);
    return id;
}

}  // namespace kalix::session
