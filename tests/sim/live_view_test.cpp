#include "sim/live_view.h"

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

TEST(LiveViewTest, LiveRequestIsAnsweredWithTheChannelsSent) {
    SimConfig config;
    config.channel_num = 4;
    config.live_mask = 0x000F000F;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendLiveReq(0xFFFF));
    const auto info = client.read();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->header.code(), static_cast<std::uint16_t>(Code::LIVE_CHANNEL_INFO));
    ASSERT_EQ(info->payload.size(), 4u);
    EXPECT_EQ(protocol::be32(info->payload.data()), 0x000F000Fu);

    ASSERT_TRUE(client.send(Code::LIVE_STOP));
    const auto ack = client.read();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.code(), static_cast<std::uint16_t>(Code::LIVE_STOP_ACK));
}

TEST(LiveViewTest, LiveRequestsBeforeLoginOrWhenSwitchedOffGoUnanswered) {
    SimConfig config;
    config.answer_live_req = false;
    for (const bool answer : {true, false}) {
        config.answer_live_req = answer;
        auto sim = startSim(config);
        RawClient client(sim->port());
        ASSERT_TRUE(client.sendLiveReq(0xFFFF));  // before login: never answered
        const auto ack = client.login();
        ASSERT_TRUE(ack);
        EXPECT_EQ(ack->header.code(), static_cast<std::uint16_t>(Code::HELLO48_ACK));
        ASSERT_TRUE(client.sendLiveReq(0xFFFF));
        ASSERT_TRUE(client.send(Code::LIVE_STOP));
        const auto next = client.read();
        ASSERT_TRUE(next);
        EXPECT_EQ(next->header.code(),
                  static_cast<std::uint16_t>(answer ? Code::LIVE_CHANNEL_INFO : Code::LIVE_STOP_ACK));
    }
}

}  // namespace
}  // namespace kalix::sim
