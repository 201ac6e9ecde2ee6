#pragma once
// The login exchange: our HELLO payload and the recorder's 768-byte answer.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "session/event_sink.h"

namespace kalix::session {

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
