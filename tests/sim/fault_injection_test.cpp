#include "sim/fault_injection.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "raw_client.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;
using protocol::Code;
using Clock = std::chrono::steady_clock;

TEST(FaultInjectionTest, UnknownMessageAndGarbageFollowTheLogin) {
    SimConfig config;
    config.unknown_after_login = std::pair<std::uint16_t, std::uint16_t>{300, 10};
    config.garbage_after_login = true;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    const auto unknown = client.read();
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->header.code(), 300);
    EXPECT_EQ(unknown->payload, (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    std::vector<std::uint8_t> garbage(512);
    ASSERT_TRUE(protocol::LoopReceive(client.conn(), garbage));
    EXPECT_NE(std::count(garbage.begin(), garbage.end(), 0), 512);
}

TEST(FaultInjectionTest, CloseAfterEndsTheConnectionAfterLogin) {
    SimConfig config;
    config.close_after = 300ms;
    auto sim = startSim(config);
    RawClient client(sim->port());
    const auto start = Clock::now();
    ASSERT_TRUE(client.login());
    EXPECT_TRUE(client.waitForClose(kWait));
    EXPECT_GE(Clock::now() - start, 250ms);
    client.conn().close();
    EXPECT_TRUE(sim->waitForDisconnect(kWait));
}

TEST(FaultInjectionTest, OversizedLiveUnitThenASmallOne) {
    SimConfig config;
    config.oversized_unit_after_login = true;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendLiveReq(0xFFFF));
    const auto info = client.read();
    ASSERT_TRUE(info);
    ASSERT_EQ(info->header.code(), static_cast<std::uint16_t>(Code::LIVE_CHANNEL_INFO));

    std::size_t unit = 0;
    for (;;) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        ASSERT_EQ(m->header.code(), static_cast<std::uint16_t>(Code::LIVE_DATA));
        unit += m->payload.size();
        if (m->header.lastFragment()) break;
        ASSERT_EQ(m->payload.size(), 65535u);
    }
    EXPECT_GT(unit, 1'244'160u);

    const auto small = client.read();
    ASSERT_TRUE(small);
    EXPECT_EQ(small->header.code(), static_cast<std::uint16_t>(Code::LIVE_DATA));
    EXPECT_TRUE(small->header.lastFragment());
    ASSERT_EQ(small->payload.size(), 324u);
    EXPECT_NE(protocol::be32(small->payload.data() + 16), 0x2518F049u);  // not audio
    EXPECT_NE(small->header.frameTime(), 0u);
}

}  // namespace
}  // namespace kalix::sim
