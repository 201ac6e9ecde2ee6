#include "protocol/message_header.h"

#include "protocol/byte_order.h"

namespace kalix::protocol {

MessageHeader MessageHeader::make(Code code, std::uint16_t payload_len, Fragment fragment) {
    MessageHeader h;
    h.setCode(static_cast<std::uint16_t>(code));
    h.setPayloadLen(payload_len);
    h.setLastFragment(fragment == Fragment::Last);
    return h;
}

void MessageHeader::setCode(std::uint16_t code) {
    word0 = (word0 & ~0xFF80u) | ((std::uint32_t{code} & 0x1FFu) << 7);
}

void MessageHeader::setAudioOn(bool on) {
    word0 = on ? (word0 | 0x8u) : (word0 & ~0x8u);
}

void MessageHeader::setPayloadLen(std::uint16_t len) {
    word1 = (word1 & ~0xFFFFu) | len;
}

void MessageHeader::setPlaySpeed(std::uint8_t speed) {
    word1 = (word1 & ~(0x3Fu << 16)) | ((std::uint32_t{speed} & 0x3Fu) << 16);
}

void MessageHeader::setFrameChannel(std::uint8_t channel) {
    word1 = (word1 & ~(0xFu << 22)) | ((std::uint32_t{channel} & 0xFu) << 22);
}

void MessageHeader::setLastFragment(bool last) {
    word1 = last ? (word1 | (1u << 30)) : (word1 & ~(1u << 30));
}

std::array<std::uint8_t, kHeaderSize> MessageHeader::encode() const {
    std::array<std::uint8_t, kHeaderSize> out{};
    putBe32(out.data(), word0);
    putBe32(out.data() + 4, word1);
    putBe32(out.data() + 8, word2);
    putBe32(out.data() + 12, word3);
    return out;
}

MessageHeader MessageHeader::decode(const std::uint8_t* bytes) {
    MessageHeader h;
    h.word0 = be32(bytes);
    h.word1 = be32(bytes + 4);
    h.word2 = be32(bytes + 8);
    h.word3 = be32(bytes + 12);
    return h;
}

}  // namespace kalix::protocol
