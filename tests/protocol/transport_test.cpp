#include "protocol/transport.h"

#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "protocol/byte_order.h"

namespace kalix::protocol {
namespace {

using namespace std::chrono_literals;

struct Pair {
    std::unique_ptr<Connection> local;
    UniqueFd peer;
};

Pair makePair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    return {std::make_unique<Connection>(UniqueFd(fds[0])), UniqueFd(fds[1])};
}

void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::vector<std::uint8_t> readExactly(int fd, std::size_t n) {
    std::vector<std::uint8_t> out(n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, out.data() + got, n - got);
        if (r <= 0) break;
        got += static_cast<std::size_t>(r);
    }
    out.resize(got);
    return out;
}

TEST(Transport, SendPacketWritesHeaderThenPayload) {
    auto [conn, peer] = makePair();
    const std::uint8_t mask[4] = {0, 0, 0xFF, 0xFF};
    ASSERT_TRUE(SendPacket(*conn, MessageHeader::make(Code::LIVE_REQ, 4), mask));
    const std::vector<std::uint8_t> expected{0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x04, 0, 0,
                                             0,    0,    0,    0,    0,    0,    0,    0,    0xFF, 0xFF};
    EXPECT_EQ(readExactly(peer.get(), expected.size()), expected);
}

TEST(Transport, LoopReceiveGathersPiecesThatArriveLater) {
    auto [conn, peer] = makePair();
    std::jthread writer([fd = peer.get()] {
        for (std::uint8_t i = 0; i < 4; ++i) {
            std::this_thread::sleep_for(10ms);
            const std::uint8_t b[2] = {i, i};
            ASSERT_EQ(::write(fd, b, 2), 2);
        }
    });
    std::vector<std::uint8_t> buf(8);
    ASSERT_TRUE(LoopReceive(*conn, buf));
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{0, 0, 1, 1, 2, 2, 3, 3}));
}

TEST(Transport, LoopReceiveFailsAtOnceWhenThePeerCloses) {
    auto [conn, peer] = makePair();
    writeAll(peer.get(), {1, 2, 3});
    peer.reset();
    std::vector<std::uint8_t> buf(8);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LoopReceive(*conn, buf));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

TEST(Transport, LoopReceiveLimitCoversTheWholeCallEvenAfterEarlyData) {
    auto [conn, peer] = makePair();
    conn->setReceiveLimit(300ms);
    writeAll(peer.get(), {1, 2, 3});  // some data, never enough
    std::vector<std::uint8_t> buf(8);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LoopReceive(*conn, buf));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 3s);
}

TEST(Transport, CancelWakesAWaitingReceiver) {
    auto [conn, peer] = makePair();
    std::jthread canceller([&c = *conn] {
        std::this_thread::sleep_for(50ms);
        c.cancel();
    });
    std::vector<std::uint8_t> buf(4);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LoopReceive(*conn, buf));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(conn->cancelled());
}

TEST(Transport, ZeroCountReceiveSucceedsWithoutReading) {
    auto [conn, peer] = makePair();
    EXPECT_TRUE(LoopReceive(*conn, {}));
}

TEST(Transport, ReplyCodeReadsTheFirstWordSignedAndZeroFilled) {
    EXPECT_EQ(ReplyCode({}), kReplyEmpty);
    const std::uint8_t minus_two[] = {0xFF, 0xFF, 0xFF, 0xFE};
    EXPECT_EQ(ReplyCode(minus_two), -2);
    const std::uint8_t short_word[] = {0x01, 0x02};
    EXPECT_EQ(ReplyCode(short_word), 0x01020000);
}

TEST(Transport, ReplyCodeHandsOverTheExtraWordsOfTwelveBytesOnly) {
    const std::uint8_t twelve[] = {0, 0, 0, 87, 0, 0, 1, 0, 0, 0, 2, 0};
    std::array<std::uint8_t, 8> extra{};
    EXPECT_EQ(ReplyCode(twelve, &extra), 87);
    EXPECT_EQ(be32(extra.data()), 256u);
    EXPECT_EQ(be32(extra.data() + 4), 512u);
    std::array<std::uint8_t, 8> untouched{};
    EXPECT_EQ(ReplyCode(std::span(twelve).first(8), &untouched), 87);
    EXPECT_EQ(untouched, (std::array<std::uint8_t, 8>{}));
}

// Two threads send large messages through a small socket buffer while the
// peer reads; every message must arrive whole and in one piece.
TEST(Transport, ConcurrentSendersNeverInterleaveMessages) {
    auto [conn, peer] = makePair();
    int small = 4096;
    ::setsockopt(conn->fd(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    constexpr int kPerThread = 200;
    constexpr std::uint16_t kLen = 30000;
    auto sender = [&c = *conn](std::uint8_t fill) {
        std::vector<std::uint8_t> payload(kLen, fill);
        for (int i = 0; i < kPerThread; ++i)
            ASSERT_TRUE(SendPacket(c, MessageHeader::make(Code::FW_DATA, kLen), payload));
    };
    int counts[2] = {0, 0};
    std::jthread reader([&, fd = peer.get()] {
        for (int m = 0; m < 2 * kPerThread; ++m) {
            const auto head = readExactly(fd, 16);
            ASSERT_EQ(head.size(), 16u);
            const auto h = MessageHeader::decode(head.data());
            ASSERT_EQ(h.payloadLen(), kLen);
            const auto body = readExactly(fd, kLen);
            ASSERT_EQ(body.size(), kLen);
            const std::uint8_t fill = body[0];
            ASSERT_TRUE(fill == 0xA1 || fill == 0xB2);
            for (auto b : body) ASSERT_EQ(b, fill);
            ++counts[fill == 0xA1 ? 0 : 1];
        }
    });
    {
        std::jthread a(sender, std::uint8_t{0xA1});
        std::jthread b(sender, std::uint8_t{0xB2});
    }
    reader.join();
    EXPECT_EQ(counts[0], kPerThread);
    EXPECT_EQ(counts[1], kPerThread);
}

TEST(Transport, SendOnAClosedConnectionFailsQuietly) {
    auto [conn, peer] = makePair();
    conn->close();
    EXPECT_FALSE(conn->isOpen());
    EXPECT_FALSE(SendPacket(*conn, MessageHeader::make(Code::KEEP_ALIVE)));
}

}  // namespace
}  // namespace kalix::protocol
