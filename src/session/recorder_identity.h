#pragma once
// Who the recorder is, from its 768-byte login answer, and our HELLO
// payload.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalix::session {

// What the recorder told us about itself in its login answer.
struct RecorderIdentity {
    std::uint8_t protocol_major = 0;
    std::uint8_t protocol_minor = 0;
    std::uint8_t product_number = 0;
    std::uint8_t product_major = 0;
    std::uint8_t product_minor = 0;
    std::uint8_t front_ver = 0;
    std::uint8_t channel_num = 0;  // after the 4/8/16 rule
    std::uint8_t account = 0;
    std::array<std::uint8_t, 6> mac{};
    std::uint8_t feature = 0;
    std::array<std::uint8_t, 8> key{};
    std::uint16_t web_port = 0;
    struct Firmware {
        std::string name;
        std::uint32_t version = 0;  // time stamp, seconds since 1970
    };
    std::vector<Firmware> firmware;  // parts whose version is non-zero
    // All 20 entries by position: the position is the module number that
    // firmware files and the upgrade request refer to.
    std::array<Firmware, 20> modules{};
    std::int32_t recorder_kind = 0;

    std::string macText() const;  // "xx-xx-xx-xx-xx-xx"
    std::string keyText() const;  // 16 lower-case hex digits
    bool acceptsPlaybackViewChange() const { return (feature & 0x08) != 0; }
};


inline constexpr std::size_t kHelloSize = 32;
inline constexpr std::size_t kHelloAckSize = 768;

// User name and password, each lower-cased into a zero-filled 16-byte field.
std::array<std::uint8_t, kHelloSize> buildHello(std::string_view user, std::string_view password);

// Recorder kind from the product number: 3 and 5 are the kinds we serve.
std::int32_t recorderKindFor(std::uint8_t product_number);
bool isServedKind(std::int32_t kind);

// 4, 8 and 16 stand; anything else counts as 16.
std::uint8_t normalisedChannelCount(std::uint8_t channel_num);

// Reads the answer's fields (FirmVer words big-endian, the web port low byte
// first). Refuses any other length than 768.
std::optional<RecorderIdentity> parseHelloAck(std::span<const std::uint8_t> payload);

inline constexpr std::string_view kUnsupportedRecorderText = "Not MOSS-X or LARK!";

}  // namespace kalix::session
