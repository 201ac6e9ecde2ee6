// The real session over TCP against the simulated recorder on 127.0.0.1.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

#include "../session/session_test_support.h"
#include "protocol/byte_order.h"
#include "recorder_sim.h"
#include "session/dvr_session.h"

namespace kalix {
namespace {

using namespace std::chrono_literals;
using protocol::Code;
using session::testing::RecordingLog;
using session::testing::RecordingSink;

session::SessionOptions optionsFor(std::uint16_t port, std::string user = "admin",
                                   std::string password = "1234") {
    session::SessionOptions o;
    o.address = "127.0.0.1";
    o.port = port;
    o.user = std::move(user);
    o.password = std::move(password);
    o.live_stop_pause = 50ms;
    return o;
}

std::vector<std::uint16_t> codesOf(const std::vector<sim::ReceivedMessage>& ms) {
    std::vector<std::uint16_t> codes;
    for (const auto& m : ms) codes.push_back(m.code);
    return codes;
}

struct Harness {
    explicit Harness(sim::SimConfig config = {}) : recorder(std::move(config)) {
        EXPECT_TRUE(recorder.start());
    }
    std::unique_ptr<session::DvrSession> open(std::string user = "admin", std::string password = "1234") {
        auto s = std::make_unique<session::DvrSession>(optionsFor(recorder.port(), user, password), sink, &log);
        s->connect();
        return s;
    }
    sim::RecorderSim recorder;
    RecordingSink sink;
    RecordingLog log;
};

TEST(SessionAgainstSim, LoginLiveAndOrderlyClose) {
    Harness h;
    auto s = h.open("ADMIN", "1234");
    ASSERT_TRUE(h.sink.waitForCount<session::LoginAccepted>(1));
    ASSERT_TRUE(h.sink.waitForCount<session::LiveChannels>(1));
    EXPECT_EQ(h.sink.all<session::LiveChannels>()[0].mask, 0xFFFFu);
    const auto id = h.sink.all<session::LoginAccepted>()[0].identity;
    EXPECT_EQ(id.recorder_kind, 3);
    EXPECT_EQ(id.channel_num, 16);
    EXPECT_EQ(id.macText(), "00-1c-2d-3e-4f-50");

    s->close();
    ASSERT_TRUE(h.recorder.waitForCount(Code::BYE48, 1, 3s));
    const auto got = h.recorder.received();
    ASSERT_GE(got.size(), 4u);
    // HELLO first, with the user name lower-cased and zero-filled.
    EXPECT_EQ(got[0].code, 1);
    ASSERT_EQ(got[0].payload.size(), 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got[0].payload.data())), "admin");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(got[0].payload.data() + 16)), "1234");
    EXPECT_EQ(got[1].code, static_cast<std::uint16_t>(Code::LIVE_REQ));
    EXPECT_EQ(got[1].payload, session::testing::word(0xFFFF));
    const auto codes = codesOf(got);
    const auto stop = std::find(codes.begin(), codes.end(), 20);
    ASSERT_NE(stop, codes.end());
    EXPECT_EQ(codes.back(), 4);  // BYE48 last, after LIVE_STOP
    EXPECT_LT(stop - codes.begin(), static_cast<long>(codes.size()) - 1);
    EXPECT_EQ(h.log.actions(), (std::vector<std::uint32_t>{1, 2}));
}

TEST(SessionAgainstSim, KeepAliveEveryTenSeconds) {
    Harness h;
    auto s = h.open();
    ASSERT_TRUE(h.sink.waitForCount<session::LoginAccepted>(1));
    ASSERT_TRUE(h.recorder.waitForCount(Code::KEEP_ALIVE, 3, 25s));
    std::vector<std::chrono::milliseconds> at;
    for (const auto& m : h.recorder.received())
        if (m.code == 511) at.push_back(m.at);
    ASSERT_GE(at.size(), 3u);
    for (std::size_t i = 1; i < 3; ++i) {
        const auto gap = at[i] - at[i - 1];
        EXPECT_GE(gap, 9800ms);
        EXPECT_LE(gap, 10500ms);
    }
    const auto before = h.recorder.count(Code::KEEP_ALIVE);
    s->close();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(h.recorder.count(Code::KEEP_ALIVE), before);
}

TEST(SessionAgainstSim, WrongPasswordIsRefusedThenTheRecorderCloses) {
    Harness h;
    auto s = h.open("admin", "wrong");
    ASSERT_TRUE(h.sink.waitForNotice(0x20000, 5s));
    EXPECT_EQ(h.sink.noticeCount(0x30001), 1u);
    EXPECT_EQ(h.sink.noticeCount(0x20000), 1u);
    EXPECT_TRUE(h.sink.all<session::LoginAccepted>().empty());
    s->close();
    EXPECT_EQ(h.sink.noticeCount(0x20000), 1u);
    EXPECT_EQ(h.log.actions(), (std::vector<std::uint32_t>{4}));
}

TEST(SessionAgainstSim, ChosenByeReason) {
    sim::SimConfig c;
    c.bye_reason = 37;
    Harness h(c);
    auto s = h.open();
    ASSERT_TRUE(h.sink.waitForNotice(0xF0000, 5s));
    ASSERT_TRUE(h.sink.waitForNotice(0x20000, 5s));
}

TEST(SessionAgainstSim, RecorderClosingGivesExactlyOneNoticeOfKindTwo) {
    sim::SimConfig c;
    c.close_after = 300ms;
    Harness h(c);
    auto s = h.open();
    ASSERT_TRUE(h.sink.waitForCount<session::LoginAccepted>(1));
    ASSERT_TRUE(h.sink.waitForNotice(0x20000, 5s));
    s->close();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(h.sink.noticeCount(0x20000), 1u);
    EXPECT_FALSE(s->receiving());
}

TEST(SessionAgainstSim, ConnectionRefused) {
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(probe);  // nobody listens there now

    RecordingSink sink;
    RecordingLog log;
    session::DvrSession s(optionsFor(ntohs(a.sin_port)), sink, &log);
    s.connect();
    ASSERT_TRUE(sink.waitForNotice(0x10001));
    const auto failed = sink.all<session::ConnectFailed>();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_TRUE(failed[0].session_closed);
    s.close();
    EXPECT_EQ(log.actions(), (std::vector<std::uint32_t>{4}));
    EXPECT_EQ(sink.noticeCount(0x20000), 0u);
}

TEST(SessionAgainstSim, UnsupportedRecorderIsRefused) {
    sim::SimConfig c;
    c.product_number = 2;
    Harness h(c);
    auto s = h.open();
    ASSERT_TRUE(h.sink.waitForNotice(0x20000, 5s));
    ASSERT_EQ(h.sink.all<session::MessageBoxRequest>().size(), 1u);
    EXPECT_EQ(h.recorder.count(Code::LIVE_REQ), 0u);
}

TEST(SessionAgainstSim, SurvivesUnknownCodesFragmentsAndOversizedUnits) {
    sim::SimConfig c;
    c.unknown_after_login = std::pair<std::uint16_t, std::uint16_t>{300, 10};
    c.fragment_replies = true;
    c.oversized_unit_after_login = true;
    Harness h(c);
    auto s = h.open();
    ASSERT_TRUE(h.sink.waitForCount<session::LoginAccepted>(1, 5s));
    ASSERT_TRUE(h.sink.waitForCount<session::LiveChannels>(1, 5s));
    // Still in step: a request made now is answered.
    s->liveRequest(0x000F);
    ASSERT_TRUE(h.sink.waitForCount<session::LiveChannels>(2, 5s));
    EXPECT_TRUE(s->receiving());
    EXPECT_EQ(h.sink.noticeCount(0x20000), 0u);
}

TEST(SessionAgainstSim, GarbageAfterLoginNeitherCrashesNorHangsTheClose) {
    sim::SimConfig c;
    c.garbage_after_login = true;
    Harness h(c);
    auto s = h.open();
    ASSERT_TRUE(h.sink.waitForCount<session::LoginAccepted>(1, 5s));
    // Random bytes either end the session (a header the loop cannot go on
    // from) or leave it waiting in the middle of a message it cannot finish.
    const bool ended = h.sink.waitForNotice(0x20000, 500ms);
    EXPECT_EQ(s->receiving(), !ended);
    const auto start = std::chrono::steady_clock::now();
    s->close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_FALSE(s->receiving());
    EXPECT_FALSE(s->loggedIn());
    // However it ended, the loop's end is told exactly once.
    EXPECT_EQ(h.sink.noticeCount(0x20000), 1u);
    if (!ended) {
        EXPECT_TRUE(h.recorder.waitForCount(protocol::Code::BYE48, 1, 3s));
    }
}

}  // namespace
}  // namespace kalix
