#include "sim/ptz.h"

#include <gtest/gtest.h>

#include "raw_client.h"
#include "sim/recorder_sim.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;
using protocol::Code;

constexpr auto code(Code c) { return static_cast<std::uint16_t>(c); }

std::optional<Message> readUntil(RawClient& client, Code wanted) {
    for (int i = 0; i < 64; ++i) {
        auto m = client.read();
        if (!m || m->header.code() == code(wanted)) return m;
    }
    return std::nullopt;
}

// The channel request is answered by whether the channel has a camera that
// moves; every command after it is logged against that channel.
TEST(PtzTest, ChannelAnswerFollowsTheMaskAndCommandsAreLoggedPerChannel) {
    SimConfig config;
    config.ptz_channels = 0x0004;  // channel 2 only
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());

    ASSERT_TRUE(client.send(Code::PTZ_CHANNEL_REQ, std::vector<std::uint8_t>{1, 0, 0, 0}));
    auto ack = readUntil(client, Code::PTZ_CHANNEL_ACK);
    ASSERT_TRUE(ack);
    ASSERT_GE(ack->payload.size(), 1u);
    EXPECT_EQ(ack->payload[0], 0);

    ASSERT_TRUE(client.send(Code::PTZ_CHANNEL_REQ, std::vector<std::uint8_t>{2, 1, 0, 0}));
    ack = readUntil(client, Code::PTZ_CHANNEL_ACK);
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->payload[0], 1);

    ASSERT_TRUE(client.send(Code::PTZ_MOVE_REQ, std::vector<std::uint8_t>{9, 0x2C, 0, 0x01}));
    ASSERT_TRUE(client.send(Code::PTZ_MOVE_STOP));
    ASSERT_TRUE(sim->waitForPtzRecords(2, 3s));
    const auto records = sim->ptzRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].channel, 2);
    EXPECT_EQ(records[0].command, 9);
    EXPECT_EQ(records[0].number, 300u);
    EXPECT_EQ(records[1].command, -1);
}

TEST(PtzTest, CommandTextsNameTheNumberWhereOneCounts) {
    EXPECT_EQ(ptzCommandText(9, 300), "preset-go 300");
    EXPECT_EQ(ptzCommandText(0, 0), "right");
    EXPECT_EQ(ptzCommandText(13, 0), "dome-open");
    EXPECT_EQ(ptzCommandText(-1, 0), "stop");
    EXPECT_EQ(ptzCommandText(40, 5), "command 40 5");
}

}  // namespace
}  // namespace kalix::sim
