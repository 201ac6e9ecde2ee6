#include "sim/identity_login.h"

#include <gtest/gtest.h>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "raw_client.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;
using protocol::Code;
using Clock = std::chrono::steady_clock;

std::int32_t reasonOf(const Message& m) {
    return m.payload.size() == 4 ? static_cast<std::int32_t>(protocol::be32(m.payload.data())) : -1000;
}

TEST(IdentityLoginTest, LoginAnswerCarriesTheConfiguredIdentity) {
    SimConfig config;
    config.channel_num = 8;
    config.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    config.web_port = 8080;
    config.firmware = {{"main", 1700000000u}};
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.connected());

    const auto ack = client.login();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.code(), static_cast<std::uint16_t>(Code::HELLO48_ACK));
    EXPECT_TRUE(ack->header.lastFragment());
    ASSERT_EQ(ack->payload.size(), 768u);
    EXPECT_EQ(ack->payload[2], 11);
    EXPECT_EQ(ack->payload[6], 8);
    EXPECT_EQ(std::vector<std::uint8_t>(ack->payload.begin() + 8, ack->payload.begin() + 14),
              (std::vector<std::uint8_t>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(protocol::le16(ack->payload.data() + 26), 8080);
    EXPECT_EQ(protocol::be32(ack->payload.data() + 688), 1700000000u);

    ASSERT_TRUE(sim->waitForCount(Code::HELLO, 1, kWait));
    const auto got = sim->received();
    EXPECT_EQ(got[0].name, "HELLO");
    EXPECT_EQ(got[0].connection, 1);
    EXPECT_EQ(got[0].payload.size(), 32u);
}

TEST(IdentityLoginTest, RefusedLoginsGetByeWithTheirReasonThenAnOrderlyClose) {
    struct Case {
        const char* what;
        std::optional<std::int32_t> bye_reason;
        std::int32_t wrong_password_reason;
        const char* password;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"wrong password", std::nullopt, 2, "4321", 2},
        {"configured wrong-password reason", std::nullopt, 37, "4321", 37},
        {"forced farewell on a good login", -2, 2, "1234", -2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimConfig config;
        config.bye_reason = c.bye_reason;
        config.wrong_password_reason = c.wrong_password_reason;
        auto sim = startSim(config);
        RawClient client(sim->port());
        const auto sent = Clock::now();
        ASSERT_TRUE(client.sendHello("admin", c.password));
        const auto bye = client.read();
        ASSERT_TRUE(bye);
        EXPECT_EQ(bye->header.code(), static_cast<std::uint16_t>(Code::BYE48));
        EXPECT_EQ(reasonOf(*bye), c.expected);
        // The client gets time to read the reason before the close.
        EXPECT_TRUE(client.waitForClose(kWait));
        EXPECT_GE(Clock::now() - sent, 150ms);
        client.conn().close();
        EXPECT_TRUE(sim->waitForDisconnect(kWait));
    }
}

TEST(IdentityLoginTest, ShortLoginAnswerOnRequest) {
    SimConfig config;
    config.hello_length_override = 767;
    auto sim = startSim(config);
    RawClient client(sim->port());
    const auto ack = client.login();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.payloadLen(), 767);
    EXPECT_EQ(ack->payload[2], 11);
}

}  // namespace
}  // namespace kalix::sim
