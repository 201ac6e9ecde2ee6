#include "protocol/message_header.h"

#include <gtest/gtest.h>

namespace kalix::protocol {
namespace {

TEST(MessageHeader, LiveRequestEncodesCodeIntoBytesTwoAndThree) {
    const auto h = MessageHeader::make(Code::LIVE_REQ, 4);
    const std::array<std::uint8_t, 16> expected{0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x04,
                                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(h.encode(), expected);
}

TEST(MessageHeader, AudioOnRequestWordsMatchTheRecorderValues) {
    auto on = MessageHeader::make(Code::AUDIO_ONOFF_REQ);
    on.setAudioOn(true);
    EXPECT_EQ(on.word0, 0x0B88u);
    on.setAudioOn(false);
    EXPECT_EQ(on.word0, 0x0B80u);
}

TEST(MessageHeader, PeerStateAndAudioBitsDoNotChangeTheCode) {
    const std::uint8_t plain[16] = {0, 0, 0x08, 0x00};
    const std::uint8_t flagged[16] = {0, 0, 0x08, 0x0F};
    const auto a = MessageHeader::decode(plain);
    const auto b = MessageHeader::decode(flagged);
    EXPECT_EQ(a.code(), 16);
    EXPECT_EQ(b.code(), 16);
    EXPECT_EQ(b.peerState(), 7);
    EXPECT_TRUE(b.audioOn());
    EXPECT_FALSE(a.audioOn());
}

TEST(MessageHeader, PayloadLengthIgnoresTheUpperBitsOfWordOne) {
    // bit 30 (last fragment) and 12 in the low half: 12 bytes, last fragment
    const std::uint8_t bytes[16] = {0, 0, 0x09, 0x00, 0x40, 0x3F, 0x00, 0x0C};
    const auto h = MessageHeader::decode(bytes);
    EXPECT_EQ(h.payloadLen(), 12);
    EXPECT_TRUE(h.lastFragment());
    EXPECT_EQ(h.playSpeed(), 0x3F);
    EXPECT_EQ(h.code(), 18);
}

TEST(MessageHeader, NineBitCodesRoundTrip) {
    for (std::uint16_t code : std::initializer_list<std::uint16_t>{0, 1, 102, 257, 300, 511}) {
        MessageHeader h;
        h.setCode(code);
        h.setPayloadLen(0xFFFF);
        h.setLastFragment(true);
        h.setFrameChannel(15);
        h.word3 = 0x12345678;
        const auto bytes = h.encode();
        const auto back = MessageHeader::decode(bytes.data());
        EXPECT_EQ(back, h);
        EXPECT_EQ(back.code(), code);
        EXPECT_EQ(back.frameChannel(), 15);
        EXPECT_EQ(back.frameTime(), 0x12345678u);
    }
}

}  // namespace
}  // namespace kalix::protocol
