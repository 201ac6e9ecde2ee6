#pragma once
// The login exchange from the recorder's side: reading the client's HELLO and
// building the 768-byte identity block of HELLO48_ACK.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_config.h"

namespace kalix::sim {

inline constexpr std::size_t kHelloSize = 32;
inline constexpr std::size_t kHelloAckSize = 768;

// Byte offsets inside the HELLO48_ACK payload.
namespace hello_ack {
inline constexpr std::size_t kProtocolMajor = 0;
inline constexpr std::size_t kProtocolMinor = 1;
inline constexpr std::size_t kProductNumber = 2;
inline constexpr std::size_t kProductMajor = 3;
inline constexpr std::size_t kProductMinor = 4;
inline constexpr std::size_t kFrontVer = 5;
inline constexpr std::size_t kChannelNum = 6;
inline constexpr std::size_t kAccount = 7;
inline constexpr std::size_t kMac = 8;
inline constexpr std::size_t kFeature = 16;
inline constexpr std::size_t kKey = 18;
inline constexpr std::size_t kWebPort = 26;  // low byte first
inline constexpr std::size_t kFirmName = 48;  // 20 x 32 bytes
inline constexpr std::size_t kFirmVer = 688;  // 20 big-endian words
}  // namespace hello_ack

struct LoginRequest {
    std::string user;
    std::string password;
};

// Reads the two 16-byte zero-filled fields; a field that fills all 16 bytes
// has no terminator. Nothing for a payload that is not 32 bytes.
std::optional<LoginRequest> parseHello(std::span<const std::uint8_t> payload);

// Whether some account matches, both fields compared lower-cased.
bool acceptsLogin(const std::vector<UserAccount>& users, const LoginRequest& login);

// The identity block, 768 bytes unless the configuration asks for another
// length (then cut or zero-padded).
std::vector<std::uint8_t> buildHelloAck(const SimConfig& config);

// The channels a recorder with `channel_num` channels has, as a 16-bit mask.
std::uint32_t channelBits(std::uint8_t channel_num);

// LIVE_CHANNEL_INFO word 0 for a LIVE_REQ mask: the configured channels that
// were asked for and exist, with the video-loss bits of those channels.
std::uint32_t liveAnswerMask(const SimConfig& config, std::uint32_t requested);

}  // namespace kalix::sim
