#include "session/dvr_session.h"

#include <gtest/gtest.h>

#include <thread>

#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;

SessionOptions fastOptions() {
    SessionOptions o;
    o.address = "127.0.0.1";
    o.user = "admin";
    o.close_grace = 10ms;
    o.live_stop_pause = 1ms;
    return o;
}

// A session running its receive loop on one end of a socket pair, with the
// test playing the recorder on the other.
struct Rig {
    explicit Rig(SessionOptions o = fastOptions()) : session(o, sink, &log) {
        auto [client, recorder] = socketPair();
        peer.emplace(std::move(recorder));
        session.adopt(std::move(client));
    }
    void login(std::uint8_t product = 11, std::uint8_t channels = 16) {
        peer->send(Code::HELLO48_ACK, helloAnswer(product, channels));
    }
    RecordingSink sink;
    RecordingLog log;
    std::optional<ScriptedPeer> peer;
    DvrSession session;
};

TEST(DvrSession, AcceptedLoginRequestsAllChannelsAndStartsKeepAlive) {
    Rig rig;
    rig.login(11, 9);
    const auto live = rig.peer->read();
    ASSERT_TRUE(live);
    EXPECT_EQ(live->header.code(), static_cast<std::uint16_t>(Code::LIVE_REQ));
    EXPECT_EQ(live->payload, word(0xFFFF));
    const auto keep_alive = rig.peer->read();
    ASSERT_TRUE(keep_alive);
    EXPECT_EQ(keep_alive->header.code(), 511);
    EXPECT_EQ(keep_alive->header.payloadLen(), 0);

    ASSERT_TRUE(rig.sink.waitForCount<LoginAccepted>(1));
    const auto id = rig.sink.all<LoginAccepted>().front().identity;
    EXPECT_EQ(id.recorder_kind, 3);
    EXPECT_EQ(id.channel_num, 16);  // 9 is not a channel count: 16
    EXPECT_EQ(id.macText(), "00-1c-2d-3e-4f-a0");
    EXPECT_EQ(id.web_port, 8080);
    ASSERT_EQ(id.firmware.size(), 1u);
    EXPECT_EQ(id.firmware[0].name, "kernel");
    EXPECT_EQ(id.firmware[0].version, 1'600'000'000u);
    EXPECT_TRUE(rig.session.loggedIn());
    EXPECT_TRUE(rig.session.playbackViewChangeSupported());
    EXPECT_EQ(rig.log.actions(), (std::vector<std::uint32_t>{1}));
    EXPECT_EQ(rig.log.entries()[0].short_text, "admin");
    EXPECT_EQ(rig.log.entries()[0].text, "127.0.0.1");
}

TEST(DvrSession, LarkIsServedAsKindFive) {
    Rig rig;
    rig.login(12, 4);
    ASSERT_TRUE(rig.sink.waitForCount<LoginAccepted>(1));
    EXPECT_EQ(rig.session.recorderKind(), 5);
    EXPECT_EQ(rig.sink.all<LoginAccepted>().front().identity.channel_num, 4);
}

class UnsupportedRecorder : public ::testing::TestWithParam<std::pair<std::uint8_t, std::size_t>> {};

TEST_P(UnsupportedRecorder, IsRefusedWithMessageBoxAndNoticeKindTwo) {
    const auto [product, size] = GetParam();
    Rig rig;
    rig.peer->send(Code::HELLO48_ACK, helloAnswer(product, 16, size));
    ASSERT_TRUE(rig.sink.waitForNotice(0x20000));
    const auto boxes = rig.sink.all<MessageBoxRequest>();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Not MOSS-X or LARK!");
    EXPECT_FALSE(rig.session.loggedIn());
    EXPECT_TRUE(rig.sink.all<LoginAccepted>().empty());
    // No live request, no keep-alive.
    EXPECT_FALSE(rig.peer->read(200ms));
}

INSTANTIATE_TEST_SUITE_P(Products, UnsupportedRecorder,
                         ::testing::Values(std::pair<std::uint8_t, std::size_t>{2, 768},    // PIKE
                                           std::pair<std::uint8_t, std::size_t>{20, 768},   // ROOK
                                           std::pair<std::uint8_t, std::size_t>{99, 768},   // unknown
                                           std::pair<std::uint8_t, std::size_t>{11, 767},   // short answer
                                           std::pair<std::uint8_t, std::size_t>{11, 0}));   // empty answer

TEST(DvrSession, ByeReasonsRaiseTheirNoticesAndLogTheEnd) {
    const std::pair<std::int32_t, std::optional<std::uint32_t>> cases[] = {
        {1, 0x30000}, {2, 0x30001}, {36, 0x30006}, {-2, 0x30007}, {37, 0xF0000}, {4, std::nullopt}};
    for (const auto& [reason, notice] : cases) {
        Rig rig;
        std::vector<std::uint8_t> payload(4);
        protocol::putBe32(payload.data(), static_cast<std::uint32_t>(reason));
        rig.peer->send(Code::BYE48, payload);
        // A marker header with the audio bit: once its button event is in,
        // the loop has gone on past BYE48 and its log entry.
        rig.peer->send(static_cast<Code>(300), {}, Fragment::Last, true);
        ASSERT_TRUE(rig.sink.waitForCount<ControlState>(1));
        EXPECT_EQ(rig.log.actions(), (std::vector<std::uint32_t>{4})) << reason;
        const auto notices = rig.sink.all<Notice>();
        if (notice) {
            ASSERT_EQ(notices.size(), 1u) << reason;
            EXPECT_EQ(notices[0].lParam(), *notice);
        } else {
            EXPECT_TRUE(notices.empty()) << reason;
        }
        EXPECT_TRUE(rig.session.receiving());
    }
}

TEST(DvrSession, RecorderCloseGivesExactlyOneConnectionEndedNotice) {
    Rig rig;
    rig.login();
    ASSERT_TRUE(rig.sink.waitForCount<LoginAccepted>(1));
    rig.peer->close();
    ASSERT_TRUE(rig.sink.waitForNotice(0x20000));
    rig.session.close();
    EXPECT_EQ(rig.sink.noticeCount(0x20000), 1u);
    EXPECT_FALSE(rig.session.receiving());
    // Login, then logout written by our close after the recorder's close.
    EXPECT_EQ(rig.log.actions(), (std::vector<std::uint32_t>{1, 2}));
}

TEST(DvrSession, UnknownCodeCostsOnlyItsPayload) {
    Rig rig;
    auto h = protocol::MessageHeader::make(static_cast<Code>(300), 10);
    rig.peer->sendRaw(h, std::vector<std::uint8_t>(10, 0x05));  // payload looks like headers
    rig.login();
    ASSERT_TRUE(rig.sink.waitForCount<LoginAccepted>(1));
    EXPECT_TRUE(rig.session.receiving());
}

TEST(DvrSession, AudioButtonFollowsTheAudioBitOfEachHeader) {
    Rig rig;
    rig.peer->send(static_cast<Code>(300), {}, Fragment::Last, true);
    ASSERT_TRUE(rig.sink.waitForCount<ControlState>(1));
    EXPECT_TRUE(rig.session.audioFlag());
    EXPECT_EQ(rig.sink.all<ControlState>().back(), (ControlState{ControlId::Audio, ButtonLook::Pressed}));
    rig.peer->send(static_cast<Code>(300), {}, Fragment::Last, false);
    ASSERT_TRUE(rig.sink.waitForCount<ControlState>(2));
    EXPECT_FALSE(rig.session.audioFlag());
    EXPECT_EQ(rig.sink.all<ControlState>().back(), (ControlState{ControlId::Audio, ButtonLook::Released}));
}

TEST(DvrSession, LiveChannelInfoStartsLiveViewAndCountsGenerations) {
    Rig rig;
    rig.login();
    rig.peer->send(Code::LIVE_CHANNEL_INFO, word(0x000F000F));
    ASSERT_TRUE(rig.sink.waitForCount<LiveChannels>(1));
    EXPECT_EQ(rig.sink.all<LiveChannels>()[0].mask, 0x000F000Fu);
    EXPECT_TRUE(rig.session.liveOn());
    EXPECT_FALSE(rig.session.liveRequestPending());
    EXPECT_EQ(rig.session.liveGeneration(), 1u);
}

TEST(DvrSession, FragmentedAndOversizedUnitsKeepTheStreamInStep) {
    Rig rig;
    // Three fragments of one unit, then a unit larger than the buffer.
    rig.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(1000, 1), Fragment::More);
    rig.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(1000, 2), Fragment::More);
    rig.peer->send(Code::LIVE_DATA, std::vector<std::uint8_t>(1000, 3), Fragment::Last);
    std::jthread writer([&] {
        const std::vector<std::uint8_t> big(65535, 0xEE);
        for (int i = 0; i < 20; ++i) rig.peer->send(Code::LIVE_DATA, big, Fragment::More);  // 1.3 MB
        rig.peer->send(Code::LIVE_DATA, big, Fragment::Last);
        rig.login();
    });
    ASSERT_TRUE(rig.sink.waitForCount<LoginAccepted>(1, 10s));
    EXPECT_TRUE(rig.session.receiving());
}

TEST(DvrSession, RefusalsRaiseTheirNoticesAndTalkEndsFirst) {
    Rig rig;
    std::vector<std::uint8_t> reason(4);
    protocol::putBe32(reason.data(), 55);
    rig.peer->send(Code::A_LISTEN_NACK, reason);
    protocol::putBe32(reason.data(), 83);
    rig.peer->send(Code::PLAY_INFO_MONTH_NACK, reason);
    rig.peer->send(Code::EVENT_INFO_NACK_BYPG, reason);
    std::vector<std::uint8_t> space(12, 0);
    space[3] = 87;
    rig.peer->send(Code::TRANS_ON_NACK, space);
    rig.peer->send(Code::LIVE_STOP_NACK, word(1));
    ASSERT_TRUE(rig.sink.waitForNotice(0x50000));
    const auto events = rig.sink.events();
    ASSERT_GE(events.size(), 8u);
    EXPECT_EQ(std::get<WindowPost>(events[0]).message, WindowMessage::TalkEnded);
    EXPECT_EQ(std::get<Notice>(events[1]).lParam(), 0xC0001u);
    // Nothing recorded: an empty month, not a refusal.
    EXPECT_EQ(std::get<SearchAnswer>(events[2]), (SearchAnswer{SearchKind::Month, {}, 0, 0, false}));
    EXPECT_EQ(std::get<SearchAnswer>(events[3]), (SearchAnswer{SearchKind::EventPage, {}, 0, 0, true}));
    EXPECT_EQ(std::get<Notice>(events[4]), (Notice{4, 0, Owner::RemoteSearch}));
    EXPECT_EQ(std::get<Notice>(events[5]).lParam(), 0x60005u);
    // The size request's owner hears of the refusal after its notice.
    EXPECT_EQ(std::get<DownloadSize>(events[6]), (DownloadSize{0, true}));
    EXPECT_EQ(std::get<Notice>(events[7]).lParam(), 0x50000u);
}

TEST(DvrSession, ShortPayloadReadFailureEndsTheSession) {
    Rig rig;
    auto h = protocol::MessageHeader::make(Code::BYE48, 4);
    const auto head = h.encode();
    rig.peer->writeAll(head.data(), head.size());
    const std::uint8_t two[2] = {0, 0};
    rig.peer->writeAll(two, 2);
    rig.peer->close();
    ASSERT_TRUE(rig.sink.waitForNotice(0x20000));
    EXPECT_TRUE(rig.log.entries().empty());  // the reason never arrived
}

TEST(DvrSession, CloseStopsLiveThenKeepAliveThenSaysByeAndLogsOut) {
    SessionOptions o = fastOptions();
    o.keep_alive_interval = 100ms;
    Rig rig(o);
    rig.login();
    ASSERT_TRUE(rig.peer->readUntil(Code::LIVE_REQ));
    rig.peer->send(Code::LIVE_CHANNEL_INFO, word(0xFFFF));
    ASSERT_TRUE(rig.sink.waitForCount<LiveChannels>(1));
    ASSERT_TRUE(rig.peer->readUntil(Code::KEEP_ALIVE));

    const auto start = std::chrono::steady_clock::now();
    rig.session.close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(rig.session.keepAliveRunning());

    std::vector<std::uint16_t> after;
    while (auto m = rig.peer->read(300ms)) after.push_back(m->header.code());
    // Whatever keep-alives were in flight, LIVE_STOP comes before BYE48 and
    // nothing follows BYE48.
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back(), static_cast<std::uint16_t>(Code::BYE48));
    const auto stop = std::find(after.begin(), after.end(), static_cast<std::uint16_t>(Code::LIVE_STOP));
    EXPECT_NE(stop, after.end());
    EXPECT_EQ(rig.log.actions(), (std::vector<std::uint32_t>{1, 2}));
}

TEST(DvrSession, CloseWithoutLoginAnswerSendsByeButLogsNoLogout) {
    Rig rig;
    rig.session.close();
    const auto bye = rig.peer->readUntil(Code::BYE48);
    ASSERT_TRUE(bye);
    EXPECT_EQ(bye->header.payloadLen(), 0);
    EXPECT_TRUE(rig.log.entries().empty());
}

TEST(DvrSession, CloseDoesNotWaitOutTheKeepAliveInterval) {
    SessionOptions o = fastOptions();
    Rig rig(o);  // the real 10-second interval: the thread is waiting when we close
    rig.login();
    ASSERT_TRUE(rig.peer->readUntil(Code::KEEP_ALIVE));
    ASSERT_TRUE(rig.session.keepAliveRunning());
    const auto start = std::chrono::steady_clock::now();
    rig.session.close();
    // Far below the 10-second interval: the wait was cut short, not run out.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(rig.session.keepAliveRunning());
}

TEST(DvrSession, LiveNackClearsHelloSoCloseWritesNoLogout) {
    Rig rig;
    rig.login();
    ASSERT_TRUE(rig.sink.waitForCount<LoginAccepted>(1));
    rig.peer->send(Code::LIVE_NACK, word(1));
    ASSERT_TRUE(rig.sink.waitForNotice(0x50000));
    EXPECT_FALSE(rig.session.helloReceived());
    rig.session.close();
    EXPECT_EQ(rig.log.actions(), (std::vector<std::uint32_t>{1}));
}

}  // namespace
}  // namespace kalix::session
