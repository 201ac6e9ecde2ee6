#include "session/reassembly_buffer.h"

#include <gtest/gtest.h>

#include "session_test_support.h"

namespace kalix::session {
namespace {

using protocol::Code;
using protocol::Fragment;
using Result = ReassemblyBuffer::Result;

struct Fixture {
    Fixture() {
        auto [client, recorder] = testing::socketPair();
        conn = std::make_unique<protocol::Connection>(std::move(client));
        peer.emplace(std::move(recorder));
    }
    Result next(ReassemblyBuffer& b) {
        std::uint8_t head[16];
        if (!protocol::LoopReceive(*conn, head)) return Result::ReadFailed;
        return b.receiveFragment(*conn, protocol::MessageHeader::decode(head));
    }
    std::unique_ptr<protocol::Connection> conn;
    std::optional<testing::ScriptedPeer> peer;
};

TEST(ReassemblyBuffer, ThreeFragmentsCompleteOnceInOrder) {
    Fixture f;
    ReassemblyBuffer b;
    f.peer->send(Code::LIVE_DATA, {1, 2}, Fragment::More);
    f.peer->send(Code::LIVE_DATA, {3}, Fragment::More);
    f.peer->send(Code::LIVE_DATA, {4, 5, 6}, Fragment::Last);
    EXPECT_EQ(f.next(b), Result::Partial);
    EXPECT_EQ(f.next(b), Result::Partial);
    EXPECT_EQ(f.next(b), Result::Complete);
    EXPECT_EQ(std::vector<std::uint8_t>(b.unit().begin(), b.unit().end()),
              (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    b.reset();
    EXPECT_EQ(b.fill(), 0u);
}

TEST(ReassemblyBuffer, UnitThatFitsExactlyIsKept) {
    Fixture f;
    ReassemblyBuffer b(10);
    f.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(6, 1), Fragment::More);
    f.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(4, 2), Fragment::Last);
    EXPECT_EQ(f.next(b), Result::Partial);
    EXPECT_EQ(f.next(b), Result::Complete);
    EXPECT_EQ(b.unit().size(), 10u);
}

TEST(ReassemblyBuffer, OversizedUnitIsDroppedWholeAndTheNextOneArrives) {
    Fixture f;
    ReassemblyBuffer b(10);
    f.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(6, 1), Fragment::More);
    f.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(6, 2), Fragment::More);  // over the top
    f.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(3, 3), Fragment::Last);
    f.peer->send(Code::LIVE_DATA, {9, 9}, Fragment::Last);
    EXPECT_EQ(f.next(b), Result::Partial);
    EXPECT_EQ(f.next(b), Result::Partial);
    EXPECT_TRUE(b.overflowed());
    EXPECT_EQ(f.next(b), Result::Discarded);
    EXPECT_EQ(f.next(b), Result::Complete);
    EXPECT_EQ(std::vector<std::uint8_t>(b.unit().begin(), b.unit().end()), (std::vector<std::uint8_t>{9, 9}));
}

TEST(ReassemblyBuffer, PeerGoneMidFragmentIsAReadFailure) {
    Fixture f;
    ReassemblyBuffer b;
    const auto head = protocol::MessageHeader::make(Code::LIVE_DATA, 100, Fragment::Last).encode();
    f.peer->writeAll(head.data(), head.size());
    f.peer->close();
    EXPECT_EQ(f.next(b), Result::ReadFailed);
}

}  // namespace
}  // namespace kalix::session
