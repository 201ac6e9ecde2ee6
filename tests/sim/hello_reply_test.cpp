#include "sim/hello_reply.h"

#include <gtest/gtest.h>

#include <cstring>

#include "protocol/byte_order.h"

namespace kalix::sim {
namespace {

std::vector<std::uint8_t> helloPayload(std::string_view user, std::string_view password) {
    std::vector<std::uint8_t> p(kHelloSize, 0);
    std::memcpy(p.data(), user.data(), std::min<std::size_t>(user.size(), 16));
    std::memcpy(p.data() + 16, password.data(), std::min<std::size_t>(password.size(), 16));
    return p;
}

TEST(HelloReplyTest, HelloFieldsAreZeroFilledOrFull) {
    const auto full = parseHello(helloPayload("abcdefghijklmnop", "0123456789abcdef"));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->user, "abcdefghijklmnop");  // no terminator, no overrun into the password
    EXPECT_EQ(full->password, "0123456789abcdef");

    const auto empty = parseHello(helloPayload("", ""));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->user, "");

    EXPECT_FALSE(parseHello(std::vector<std::uint8_t>(31, 'a')));
    EXPECT_FALSE(parseHello(std::vector<std::uint8_t>(33, 'a')));
}

TEST(HelloReplyTest, AccountsCompareLowerCased) {
    const std::vector<UserAccount> users{{"Admin", "PassW0rd"}, {"guest", ""}};
    struct Case {
        const char* user;
        const char* password;
        bool accepted;
    };
    const Case cases[] = {
        {"admin", "passw0rd", true},   // what the client sends for either spelling
        {"ADMIN", "PASSW0RD", true},
        {"guest", "", true},
        {"admin", "passw0r", false},
        {"admin", "", false},
        {"guest", "x", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(acceptsLogin(users, {c.user, c.password}), c.accepted) << c.user << "/" << c.password;
    }
}

TEST(HelloReplyTest, IdentityBlockLayout) {
    SimConfig c;
    c.protocol_major = 2;
    c.protocol_minor = 3;
    c.product_number = 12;
    c.product_major = 0;
    c.product_minor = 9;
    c.front_ver = 7;
    c.channel_num = 8;
    c.account = 5;
    c.mac = {0xde, 0xad, 0xbe, 0xef, 0x01, 0x02};
    c.feature = 0x08;
    c.key = {1, 2, 3, 4, 5, 6, 7, 8};
    c.web_port = 0x1F90;
    c.firmware = {{"boot", 0x5F5E1000u}, {std::string(40, 'x'), 7u}};

    const auto p = buildHelloAck(c);
    ASSERT_EQ(p.size(), kHelloAckSize);
    const std::uint8_t head[] = {2, 3, 12, 0, 9, 7, 8, 5, 0xde, 0xad, 0xbe, 0xef, 0x01, 0x02, 0, 0, 0x08, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(p.begin(), p.begin() + 18),
              std::vector<std::uint8_t>(std::begin(head), std::end(head)));
    EXPECT_EQ(std::vector<std::uint8_t>(p.begin() + 18, p.begin() + 26),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(p[26], 0x90);  // web port, low byte first
    EXPECT_EQ(p[27], 0x1F);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 48)), "boot");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 80), 32), std::string(32, 'x'));
    EXPECT_EQ(p[112], 0);  // the long name is cut at 32 bytes
    EXPECT_EQ(protocol::be32(p.data() + 688), 0x5F5E1000u);
    EXPECT_EQ(protocol::be32(p.data() + 692), 7u);
    for (std::size_t i = 696; i < kHelloAckSize; ++i) ASSERT_EQ(p[i], 0) << i;
    for (std::size_t i = 28; i < 48; ++i) ASSERT_EQ(p[i], 0) << i;
}

TEST(HelloReplyTest, LengthOverrideCutsOrPads) {
    SimConfig c;
    c.firmware = {{"a", 1}};
    const auto normal = buildHelloAck(c);
    c.hello_length_override = 767;
    const auto cut = buildHelloAck(c);
    ASSERT_EQ(cut.size(), 767u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), normal.begin()));
    c.hello_length_override = 800;
    const auto padded = buildHelloAck(c);
    ASSERT_EQ(padded.size(), 800u);
    EXPECT_TRUE(std::equal(normal.begin(), normal.end(), padded.begin()));
    c.hello_length_override = 0;
    EXPECT_TRUE(buildHelloAck(c).empty());
}

TEST(HelloReplyTest, LiveAnswerKeepsRequestedExistingChannels) {
    struct Case {
        std::uint8_t channels;
        std::uint32_t live_mask;
        std::uint32_t requested;
        std::uint32_t answer;
    };
    const Case cases[] = {
        {16, 0x0000FFFF, 0xFFFF, 0x0000FFFF},
        {4, 0x000F000F, 0xFFFF, 0x000F000F},  // four channels, all in video loss
        {4, 0x0000FFFF, 0xFFFF, 0x0000000F},  // limited to channel_num
        {4, 0xFFFFFFFF, 0xFFFF, 0x000F000F},  // loss bits limited as well
        {16, 0x0000FFFF, 0x00FF, 0x000000FF},
        {16, 0x00010003, 0x0002, 0x00000002},  // loss only for channels asked for
        {8, 0x00F000FF, 0xFFFF, 0x00F000FF},
        {9, 0x0000FFFF, 0xFFFF, 0x000001FF},
        {0, 0x0000FFFF, 0xFFFF, 0x00000000},
        {16, 0x0000FFFF, 0xFFFF0000, 0x00000000},  // upper request bits mean nothing
    };
    for (const Case& c : cases) {
        SimConfig config;
        config.channel_num = c.channels;
        config.live_mask = c.live_mask;
        EXPECT_EQ(liveAnswerMask(config, c.requested), c.answer)
            << int{c.channels} << " " << std::hex << c.live_mask << " " << c.requested;
    }
}

}  // namespace
}  // namespace kalix::sim
