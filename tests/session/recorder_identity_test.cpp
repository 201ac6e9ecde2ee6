#include "session/recorder_identity.h"

#include <gtest/gtest.h>

#include "session_test_support.h"

namespace kalix::session {
namespace {

TEST(Hello, NamesAreLowerCasedAndZeroFilled) {
    const auto hello = buildHello("ADMIN", "PaSs1");
    std::array<std::uint8_t, 32> expected{};
    const char user[] = "admin";
    const char pass[] = "pass1";
    std::copy(user, user + 5, expected.begin());
    std::copy(pass, pass + 5, expected.begin() + 16);
    EXPECT_EQ(hello, expected);
}

TEST(Hello, SixteenCharacterFieldsCarryNoTerminator) {
    const auto hello = buildHello("abcdefghijklmnopXYZ", "0123456789ABCDEF");
    EXPECT_EQ(hello[15], 'p');
    EXPECT_EQ(hello[16], '0');
    EXPECT_EQ(hello[31], 'f');
}

TEST(RecorderKind, OnlyMossXAndLarkAreServed) {
    const std::pair<int, int> table[] = {{0, 1}, {1, 1}, {2, 0}, {3, 0}, {4, 0}, {5, 2}, {8, 2},
                                         {11, 3}, {12, 5}, {20, 4}, {6, 0}, {255, 0}};
    for (const auto& [product, kind] : table) {
        EXPECT_EQ(recorderKindFor(static_cast<std::uint8_t>(product)), kind) << product;
        EXPECT_EQ(isServedKind(kind), kind == 3 || kind == 5);
    }
}

TEST(RecorderKind, ChannelCountsOtherThanFourEightSixteenBecomeSixteen) {
    for (int n = 0; n < 256; ++n) {
        const auto c = static_cast<std::uint8_t>(n);
        EXPECT_EQ(normalisedChannelCount(c), (n == 4 || n == 8 || n == 16) ? n : 16);
    }
}

TEST(HelloAck, ParsesEveryFieldInItsByteOrder) {
    auto p = testing::helloAnswer(11, 8);
    p[1] = 7;
    p[4] = 2;
    p[5] = 9;
    p[7] = 1;
    for (int i = 0; i < 8; ++i) p[18 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0xA0 + i);
    const auto id = parseHelloAck(p);
    ASSERT_TRUE(id);
    EXPECT_EQ(id->protocol_minor, 7);
    EXPECT_EQ(id->product_minor, 2);
    EXPECT_EQ(id->front_ver, 9);
    EXPECT_EQ(id->account, 1);
    EXPECT_EQ(id->channel_num, 8);
    EXPECT_EQ(id->web_port, 8080);
    EXPECT_EQ(id->keyText(), "a0a1a2a3a4a5a6a7");
    EXPECT_EQ(id->recorder_kind, 3);
}

TEST(HelloAck, RefusesEveryOtherLength) {
    EXPECT_FALSE(parseHelloAck(testing::helloAnswer(11, 16, 767)));
    EXPECT_FALSE(parseHelloAck(testing::helloAnswer(11, 16, 769)));
    EXPECT_FALSE(parseHelloAck({}));
}

TEST(HelloAck, FirmwareNameFillingItsFieldStaysInside) {
    auto p = testing::helloAnswer(11, 16);
    std::fill(p.begin() + 48 + 32, p.begin() + 48 + 64, 'x');  // part 1: 32 bytes, no zero
    protocol::putBe32(p.data() + 688 + 4, 42);
    const auto id = parseHelloAck(p);
    ASSERT_TRUE(id);
    ASSERT_EQ(id->firmware.size(), 2u);
    EXPECT_EQ(id->firmware[1].name, std::string(32, 'x'));
    EXPECT_EQ(id->firmware[1].version, 42u);
}

}  // namespace
}  // namespace kalix::session
