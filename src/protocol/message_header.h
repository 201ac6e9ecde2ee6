#pragma once
// The 16-byte header in front of every message: four big-endian 32-bit words.
//
//   word 0  bits 0-2 peer_state, bit 3 audio_on, bits 7-15 code
//   word 1  bits 0-15 payload_len, 16-21 play_speed, 22-25 frame_channel
//           (never on the wire; set on our own copy of a live frame's
//           header), bit 30 last_fragment
//   word 2  reserved, sent as 0 and never read
//   word 3  the frame's recorder time in live data, 0 elsewhere

#include <array>
#include <cstdint>

#include "protocol/message_catalogue.h"

namespace kalix::protocol {

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::uint32_t kMaxPayload = 0xFFFF;

enum class Fragment : std::uint8_t { More, Last };

struct MessageHeader {
    std::uint32_t word0 = 0;
    std::uint32_t word1 = 0;
    std::uint32_t word2 = 0;
    std::uint32_t word3 = 0;

    static MessageHeader make(Code code, std::uint16_t payload_len = 0,
                              Fragment fragment = Fragment::More);

    std::uint16_t code() const { return static_cast<std::uint16_t>((word0 & 0xFFFFu) >> 7); }
    std::uint8_t peerState() const { return static_cast<std::uint8_t>(word0 & 0x7u); }
    bool audioOn() const { return (word0 & 0x8u) != 0; }
    std::uint16_t payloadLen() const { return static_cast<std::uint16_t>(word1 & 0xFFFFu); }
    std::uint8_t playSpeed() const { return static_cast<std::uint8_t>((word1 >> 16) & 0x3Fu); }
    std::uint8_t frameChannel() const { return static_cast<std::uint8_t>((word1 >> 22) & 0xFu); }
    bool lastFragment() const { return (word1 & (1u << 30)) != 0; }
    std::uint32_t frameTime() const { return word3; }

    void setCode(std::uint16_t code);
    void setAudioOn(bool on);
    void setPayloadLen(std::uint16_t len);
    void setPlaySpeed(std::uint8_t speed);
    void setFrameChannel(std::uint8_t channel);
    void setLastFragment(bool last);

    std::array<std::uint8_t, kHeaderSize> encode() const;
    static MessageHeader decode(const std::uint8_t* bytes);

    friend bool operator==(const MessageHeader&, const MessageHeader&) = default;
};

}  // namespace kalix::protocol
