#include "sim/hello_reply.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "protocol/byte_order.h"

namespace kalix::sim {
namespace {

constexpr std::size_t kHelloFieldSize = 16;

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) {
        return static_cast<char>(std::tolower(ch));
    });
    return text;
}

std::string zeroFilledField(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

}  // namespace

std::optional<LoginRequest> parseHello(std::span<const std::uint8_t> payload) {
    if (payload.size() != kHelloSize) return std::nullopt;
    return LoginRequest{zeroFilledField(payload.first(kHelloFieldSize)),
                        zeroFilledField(payload.subspan(kHelloFieldSize, kHelloFieldSize))};
}

bool acceptsLogin(const std::vector<UserAccount>& users, const LoginRequest& login) {
    const std::string user = lowerCase(login.user);
    const std::string password = lowerCase(login.password);
    return std::any_of(users.begin(), users.end(), [&](const UserAccount& account) {
        return lowerCase(account.name) == user && lowerCase(account.password) == password;
    });
}

std::vector<std::uint8_t> buildHelloAck(const SimConfig& config) {
    using namespace hello_ack;
    std::vector<std::uint8_t> out(kHelloAckSize, 0);
    out[kProtocolMajor] = config.protocol_major;
    out[kProtocolMinor] = config.protocol_minor;
    out[kProductNumber] = config.product_number;
    out[kProductMajor] = config.product_major;
    out[kProductMinor] = config.product_minor;
    out[kFrontVer] = config.front_ver;
    out[kChannelNum] = config.channel_num;
    out[kAccount] = config.account;
    std::copy(config.mac.begin(), config.mac.end(), out.begin() + kMac);
    out[kFeature] = config.feature;
    std::copy(config.key.begin(), config.key.end(), out.begin() + kKey);
    protocol::putLe16(out.data() + kWebPort, config.web_port);

    const std::size_t parts = std::min(config.firmware.size(), kMaxFirmwareParts);
    for (std::size_t i = 0; i < parts; ++i) {
        const auto& [name, stamp] = config.firmware[i];
        std::memcpy(out.data() + kFirmName + i * kFirmNameSize, name.data(),
                    std::min(name.size(), kFirmNameSize));
        protocol::putBe32(out.data() + kFirmVer + i * 4, stamp);
    }

    if (config.hello_length_override) {
        out.resize(std::min<std::size_t>(*config.hello_length_override, 0xFFFF), 0);
    }
    return out;
}

std::uint32_t channelBits(std::uint8_t channel_num) {
    return channel_num >= 16 ? 0xFFFFu : (1u << channel_num) - 1u;
}

std::uint32_t liveAnswerMask(const SimConfig& config, std::uint32_t requested) {
    const std::uint32_t present = channelBits(config.channel_num) & requested;
    const std::uint32_t sent = config.live_mask & present;
    const std::uint32_t loss = (config.live_mask >> 16) & present;
    return sent | (loss << 16);
}

}  // namespace kalix::sim
