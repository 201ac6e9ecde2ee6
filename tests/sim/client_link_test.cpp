#include "sim/client_link.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "raw_client.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;
using protocol::Code;
using Clock = std::chrono::steady_clock;

TEST(ClientLinkTest, CutRepliesCarryTheSameBytes) {
    std::vector<std::vector<std::uint8_t>> streams;
    for (const bool fragment : {false, true}) {
        SimConfig config;
        config.fragment_replies = fragment;
        auto sim = startSim(config);
        RawClient client(sim->port());
        ASSERT_TRUE(client.sendHello("admin", "1234"));
        ASSERT_TRUE(client.sendLiveReq(0x00FF));
        const std::size_t total = 2 * protocol::kHeaderSize + 768 + 4;
        std::vector<std::uint8_t> bytes(total);
        if (fragment) {
            // The first piece ends inside the header.
            pollfd fd{client.conn().fd(), POLLIN, 0};
            ASSERT_EQ(::poll(&fd, 1, 5000), 1);
            const auto n = ::recv(client.conn().fd(), bytes.data(), bytes.size(), 0);
            EXPECT_GT(n, 0);
            EXPECT_LT(n, static_cast<ssize_t>(protocol::kHeaderSize));
            ASSERT_TRUE(protocol::LoopReceive(client.conn(), std::span(bytes).subspan(static_cast<std::size_t>(n))));
        } else {
            ASSERT_TRUE(protocol::LoopReceive(client.conn(), bytes));
        }
        streams.push_back(bytes);
    }
    EXPECT_EQ(streams[0], streams[1]);
    EXPECT_EQ(protocol::be32(streams[1].data() + 16 + 768 + 16), 0x00FFu);
}

}  // namespace
}  // namespace kalix::sim
