// Remote playback and searches in the session, without a socket: the
// recorder's messages are fed in as bytes, what the session sends is
// observed in order.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "protocol/byte_order.h"
#include "protocol/crc32.h"
#include "session/dvr_session.h"
#include "session_test_support.h"

namespace kalix::session {
namespace {

using namespace testing;
using protocol::Code;
using protocol::Fragment;
using protocol::MessageHeader;
using Clock = std::chrono::steady_clock;

struct Sent {
    std::uint16_t code = 0;
    std::vector<std::uint8_t> payload;
    Clock::time_point at;
};

// A playback unit: VideoFrameHeader with the EncVideoHeader inside it,
// then `data` bytes.
std::vector<std::uint8_t> playUnit(int channel, std::uint32_t seconds, std::uint32_t micro, std::size_t data = 40,
                                   const char* title = nullptr) {
    std::vector<std::uint8_t> u(192 + data, 0x5A);
    std::fill_n(u.begin(), 192, 0);
    protocol::putBe32(u.data() + 16, 0x00000001);
    protocol::putBe32(u.data() + 24, seconds);
    protocol::putBe32(u.data() + 28, static_cast<std::uint32_t>(data));
    if (title != nullptr) {
        std::copy(title, title + std::strlen(title), u.begin() + 96);
        protocol::putBe32(u.data() + 92, protocol::crc32(std::span(u).subspan(96, 32)));
    }
    std::uint8_t* e = u.data() + 128;
    protocol::putLe16(e, static_cast<std::uint16_t>(data));
    e[4] = 576 / 16;
    e[5] = 704 / 16;
    protocol::putLe32(e + 20, seconds);
    protocol::putLe32(e + 24, micro);
    e[36] = static_cast<std::uint8_t>(channel);
    return u;
}

std::vector<std::uint8_t> message(Code code, const std::vector<std::uint8_t>& payload,
                                  Fragment fragment = Fragment::Last, std::uint8_t speed = 11, int channel = 0) {
    auto h = MessageHeader::make(code, static_cast<std::uint16_t>(payload.size()), fragment);
    h.setPlaySpeed(speed);
    h.setFrameChannel(static_cast<std::uint8_t>(channel));
    return messageBytes(h, payload);
}

// A logged-in session of 4 channels fed by hand, with quick control pauses.
class PlaybackRig {
public:
    PlaybackRig() {
        options_.address = "127.0.0.1";
        options_.user = "admin";
        options_.live_stop_pause = 0ms;
        options_.keep_alive_interval = 1h;
        options_.control_pause = 1ms;
        options_.control_settle_play = 1ms;
        options_.control_settle_other = 1ms;
        options_.play_fail_pause = 0ms;
        options_.live_video.playback_frame_queued = [this](const media::FrameItem& item) {
            std::lock_guard lock(mutex_);
            queued_.push_back(item.info.timeMs());
            titles_.push_back(media::titleText(item.info.title));
            queued_at_.push_back(Clock::now());
        };
        session_ = std::make_unique<DvrSession>(options_, sink_);
        session_->observeSends([this](const MessageHeader& h, std::span<const std::uint8_t> p) {
            if (h.code() == static_cast<std::uint16_t>(Code::KEEP_ALIVE)) return;
            std::lock_guard lock(mutex_);
            sent_.push_back(Sent{h.code(), {p.begin(), p.end()}, Clock::now()});
        });
        feed(message(Code::HELLO48_ACK, helloAnswer(11, 4)));
    }

    DvrSession& session() { return *session_; }
    RecordingSink& sink() { return sink_; }
    void feed(const std::vector<std::uint8_t>& bytes) { session_->feed(bytes); }
    void frame(int channel, std::uint32_t seconds, std::uint32_t micro, std::uint8_t speed = 11) {
        feed(message(Code::PLAY_DATA, playUnit(channel, seconds, micro), Fragment::Last, speed, channel));
    }
    void startAndAck(std::uint32_t start = 1'700'000'000) {
        session_->playStart(PlayStart{0xF, 0, start});
        feed(message(Code::PLAY_ON_ACK, {}));
    }

    std::vector<Sent> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // The codes sent from the `from`th message on.
    std::vector<std::uint16_t> codes(std::size_t from = 0) const {
        std::vector<std::uint16_t> out;
        const auto all = sent();
        for (std::size_t i = from; i < all.size(); ++i) out.push_back(all[i].code);
        return out;
    }
    std::size_t sentCount() const { return sent().size(); }
    std::vector<std::uint64_t> queued() const {
        std::lock_guard lock(mutex_);
        return queued_;
    }
    std::vector<std::string> titles() const {
        std::lock_guard lock(mutex_);
        return titles_;
    }
    std::vector<Clock::time_point> queuedAt() const {
        std::lock_guard lock(mutex_);
        return queued_at_;
    }

private:
    SessionOptions options_;
    RecordingSink sink_;
    mutable std::mutex mutex_;
    std::vector<Sent> sent_;
    std::vector<std::uint64_t> queued_;
    std::vector<std::string> titles_;
    std::vector<Clock::time_point> queued_at_;
    std::unique_ptr<DvrSession> session_;  // last: its close still reports into the above
};

constexpr auto c = [](Code code) { return static_cast<std::uint16_t>(code); };

std::uint32_t be(const std::vector<std::uint8_t>& p, std::size_t at) { return protocol::be32(p.data() + at); }

TEST(RemotePlayback, StartRequestsCarryMaskFilterTimeAndEventToken) {
    PlaybackRig rig;
    const std::size_t before = rig.sentCount();
    rig.session().playStart(PlayStart{0x5, 0x3F, 0xFFFFFFF0u});
    EXPECT_TRUE(rig.session().playbackPending());
    const std::array<std::uint8_t, 8> token{0, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    rig.session().playAtEvent(EventPlayStart{0x3, 2, token, 1'709'632'800});
    const auto sent = rig.sent();
    ASSERT_EQ(sent.size(), before + 2);
    const auto& on = sent[before];
    EXPECT_EQ(on.code, c(Code::PLAY_ON_REQ));
    ASSERT_EQ(on.payload.size(), 24u);
    EXPECT_EQ(be(on.payload, 0), 0x5u);
    EXPECT_EQ(on.payload[4], 0x3F);
    EXPECT_TRUE(std::all_of(on.payload.begin() + 5, on.payload.begin() + 16, [](auto b) { return b == 0; }));
    EXPECT_EQ(be(on.payload, 16), 0xFFFFFFF0u);  // times past 2038 stay unsigned
    EXPECT_EQ(be(on.payload, 20), 0u);
    const auto& ev = sent[before + 1];
    EXPECT_EQ(ev.code, c(Code::EVENT_PLAY_REQ));
    EXPECT_EQ(be(ev.payload, 0), 0x3u);
    EXPECT_EQ(ev.payload[4], 1 << 2);
    EXPECT_TRUE(std::equal(token.begin(), token.end(), ev.payload.begin() + 8));
    EXPECT_EQ(be(ev.payload, 16), 1'709'632'800u);
    EXPECT_EQ(be(ev.payload, 20), 0x7FE8177Fu);
}

TEST(RemotePlayback, AckStopsLiveGrants93ThenEvery48FramesButNotWhilePaused) {
    PlaybackRig rig;
    rig.feed(message(Code::LIVE_CHANNEL_INFO, word(0xF)));
    ASSERT_TRUE(rig.session().liveOn());
    const std::size_t before = rig.sentCount();
    rig.startAndAck();
    EXPECT_TRUE(rig.session().playbackOn());
    EXPECT_FALSE(rig.session().playbackPending());
    EXPECT_FALSE(rig.session().liveOn());
    const auto after_ack = rig.codes(before);
    ASSERT_EQ(after_ack.size(), 3u);
    EXPECT_EQ(after_ack[0], c(Code::PLAY_ON_REQ));
    EXPECT_EQ(after_ack[1], c(Code::LIVE_STOP));
    EXPECT_EQ(after_ack[2], c(Code::PLAY_STEP_DATA));
    EXPECT_EQ(be(rig.sent().back().payload, 0), 93u);
    EXPECT_EQ(rig.sink().all<PlaybackChanged>().size(), 1u);

    // Speed 10 (none): no pacing, frames flow at once.
    const std::size_t granted_at = rig.sentCount();
    for (std::uint32_t i = 0; i < 47; ++i) rig.frame(0, 1000 + i, 0, 10);
    EXPECT_EQ(rig.sentCount(), granted_at);
    rig.frame(0, 1047, 0, 10);
    ASSERT_EQ(rig.sentCount(), granted_at + 1);
    EXPECT_EQ(rig.sent().back().code, c(Code::PLAY_STEP_DATA));
    EXPECT_EQ(be(rig.sent().back().payload, 0), 48u);
    EXPECT_EQ(rig.session().playSpeed(), 0);
    EXPECT_EQ(rig.queued().size(), 48u);

    rig.session().playControl(PlayMode::Pause);
    const std::size_t paused_at = rig.sentCount();
    for (std::uint32_t i = 0; i < 100; ++i) rig.frame(0, 2000 + i, 0, 10);
    EXPECT_EQ(rig.sentCount(), paused_at);       // no credits while paused
    EXPECT_EQ(rig.queued().size(), 48u);         // and nothing shown
}

TEST(RemotePlayback, ReverseAfterPauseResumesOneSecondLaterAndDropsNewerFrames) {
    PlaybackRig rig;
    rig.startAndAck();
    rig.frame(0, 5000, 0, 10);
    rig.frame(0, 5001, 512 * 1024, 10);  // 5001.512 s: the last frame shown
    rig.session().playControl(PlayMode::Pause);
    const std::size_t at = rig.sentCount();
    rig.session().playControl(PlayMode::Reverse);
    const auto sent = rig.sent();
    ASSERT_EQ(sent.size(), at + 2);
    EXPECT_EQ(sent[at].code, c(Code::PLAY_BACKWARD));
    ASSERT_EQ(sent[at].payload.size(), 24u);
    EXPECT_EQ(be(sent[at].payload, 0), 0xFu);
    EXPECT_EQ(be(sent[at].payload, 16), 5002u);  // position + 1 s
    EXPECT_EQ(sent[at + 1].code, c(Code::PLAY_STEP_DATA));
    EXPECT_EQ(be(sent[at + 1].payload, 0), 93u);
    EXPECT_EQ(rig.session().playback().resumeState(), ResumeState::Seeking);

    // Seeking backwards: newer than the pause position is dropped, the first
    // at or before it ends the seek (and is dropped), then frames flow.
    rig.frame(0, 5002, 0, 9);
    rig.frame(0, 5001, 600 * 1024, 9);
    EXPECT_EQ(rig.queued().size(), 2u);
    rig.frame(0, 5001, 0, 9);
    EXPECT_EQ(rig.session().playback().resumeState(), ResumeState::Streaming);
    EXPECT_EQ(rig.queued().size(), 2u);
    rig.frame(0, 5000, 0, 9);
    ASSERT_EQ(rig.queued().size(), 3u);
    EXPECT_EQ(rig.queued().back(), 5'000'000u);
    EXPECT_EQ(rig.session().playSpeed(), -1);
}

TEST(RemotePlayback, ControlSequencesFromStreamingAndPaused) {
    PlaybackRig rig;
    rig.startAndAck();
    rig.frame(0, 100, 0, 10);
    std::size_t at = rig.sentCount();
    rig.session().playControl(PlayMode::StepForward);
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_PAUSE), c(Code::PLAY_NEXT_STEP),
                                                          c(Code::PLAY_CH_CHANGE), c(Code::PLAY_STEP_DATA)}));
    EXPECT_EQ(be(rig.sent()[at + 2].payload, 0), 0xFu);  // the shown channels
    EXPECT_EQ(be(rig.sent()[at + 3].payload, 0), 1u);

    at = rig.sentCount();
    rig.session().playControl(PlayMode::StepBackward);
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_PAUSE), c(Code::PLAY_PREV_STEP),
                                                          c(Code::PLAY_CH_CHANGE), c(Code::PLAY_STEP_DATA)}));
    at = rig.sentCount();
    rig.session().playControl(PlayMode::Forward);
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_FORWARD), c(Code::PLAY_STEP_DATA)}));
    EXPECT_TRUE(rig.sent()[at].payload.empty());

    rig.session().playControl(PlayMode::Pause);
    at = rig.sentCount();
    rig.session().playControl(PlayMode::StepBackward);
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_BACKWARD), c(Code::PLAY_STEP_DATA)}));
    EXPECT_EQ(be(rig.sent()[at].payload, 16), 101u);
    EXPECT_EQ(be(rig.sent()[at + 1].payload, 0), 4u);  // channel_num

    rig.session().playControl(PlayMode::Pause);
    at = rig.sentCount();
    rig.session().playControl(PlayMode::Forward);
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_PAUSE), c(Code::PLAY_FORWARD),
                                                          c(Code::PLAY_STEP_DATA)}));
    EXPECT_EQ(be(rig.sent()[at + 1].payload, 16), 100u);
}

TEST(RemotePlayback, StepForwardFromPauseTopsUpUntilTheTargetAndThenStepsAgain) {
    PlaybackRig rig;
    rig.startAndAck();
    rig.frame(0, 300, 800 * 1024, 10);
    rig.session().playControl(PlayMode::Pause);
    std::size_t at = rig.sentCount();
    rig.session().playControl(PlayMode::StepForward);
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_FORWARD), c(Code::PLAY_STEP_DATA)}));
    at = rig.sentCount();
    rig.frame(0, 300, 0, 11);  // before the target: dropped, credit topped up
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_STEP_DATA)}));
    EXPECT_EQ(be(rig.sent().back().payload, 0), 4u);
    at = rig.sentCount();
    rig.frame(0, 300, 900 * 1024, 11);  // past the target: the step is made from here
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_PAUSE), c(Code::PLAY_NEXT_STEP),
                                                          c(Code::PLAY_CH_CHANGE), c(Code::PLAY_STEP_DATA)}));
    EXPECT_EQ(rig.queued().size(), 1u);
    rig.frame(0, 301, 0, 11);
    EXPECT_EQ(rig.queued().size(), 2u);
}

TEST(RemotePlayback, PacingRebasesLateFramesAndAPauseStopsTheWaitAtOnce) {
    PlaybackRig rig;
    rig.startAndAck();
    const auto t0 = Clock::now();
    rig.frame(0, 1000, 0);         // the first frame: shown after the 100 ms lead
    rig.frame(0, 1000, 50 * 1024);  // due 50 ms later
    auto at = rig.queuedAt();
    ASSERT_EQ(at.size(), 2u);
    EXPECT_GE(at[0] - t0, 95ms);
    EXPECT_LT(at[0] - t0, 140ms);
    EXPECT_GE(at[1] - at[0], 45ms);
    EXPECT_LT(at[1] - at[0], 80ms);

    // 1.5 s late: re-based and shown at once rather than after a long wait.
    std::this_thread::sleep_for(1600ms);
    const auto late = Clock::now();
    rig.frame(0, 1000, 100 * 1024);
    rig.frame(0, 1000, 140 * 1024);  // 40 ms after the re-based frame
    at = rig.queuedAt();
    ASSERT_EQ(at.size(), 4u);
    EXPECT_LT(at[2] - late, 20ms);
    EXPECT_GE(at[3] - at[2], 35ms);

    // A frame 2 s ahead waits; a pause ends the wait at once and the frame
    // is not shown.
    std::thread presser([&rig] {
        std::this_thread::sleep_for(200ms);
        rig.session().playControl(PlayMode::Pause);
    });
    const auto before = Clock::now();
    rig.frame(0, 1003, 0);
    const auto waited = Clock::now() - before;
    presser.join();
    EXPECT_LT(waited, 1000ms);
    EXPECT_EQ(rig.queuedAt().size(), 4u);
}

TEST(RemotePlayback, TitlesByCrcShortUnitsAndUnknownChannelsAreHandled) {
    PlaybackRig rig;
    rig.startAndAck();
    rig.feed(message(Code::PLAY_DATA, playUnit(1, 10, 0, 40, "Lobby"), Fragment::Last, 10, 1));
    auto bad = playUnit(2, 11, 0, 40, "Gate");
    bad[97] ^= 1;  // the CRC no longer matches
    rig.feed(message(Code::PLAY_DATA, bad, Fragment::Last, 10, 2));
    rig.feed(message(Code::PLAY_DATA, std::vector<std::uint8_t>(100, 0xEE), Fragment::Last, 10));  // < 192 bytes
    auto claims_more = playUnit(3, 12, 0, 40);
    protocol::putBe32(claims_more.data() + 28, 60000);  // claims more than it brings
    rig.feed(message(Code::PLAY_DATA, claims_more, Fragment::Last, 10, 3));
    EXPECT_EQ(rig.titles(), (std::vector<std::string>{"Lobby", "CH3", "CH4"}));
    EXPECT_TRUE(rig.session().playbackOn());
}

TEST(RemotePlayback, FailReturnsToLiveAndNackOnlyTellsAndClearsTheRequest) {
    PlaybackRig rig;
    rig.feed(message(Code::LIVE_CHANNEL_INFO, word(0xF)));
    rig.session().playStart(PlayStart{0xF, 0, 1});
    rig.feed(message(Code::PLAY_ON_NACK, word(1)));
    EXPECT_FALSE(rig.session().playbackPending());
    EXPECT_FALSE(rig.session().playbackOn());

    rig.startAndAck();
    const std::size_t at = rig.sentCount();
    rig.feed(message(Code::PLAY_ON_FAIL, word(1)));
    EXPECT_FALSE(rig.session().playbackOn());
    const auto codes = rig.codes(at);
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[0], c(Code::RPLAY_STOP));
    EXPECT_EQ(codes[1], c(Code::LIVE_REQ));
    const auto changes = rig.sink().all<PlaybackChanged>();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_FALSE(changes.back().on);
}

TEST(RemotePlayback, DoneAtTheEndPausesAndFinishTopsUpASeek) {
    PlaybackRig rig;
    rig.startAndAck();
    rig.frame(0, 700, 0, 10);
    std::size_t at = rig.sentCount();
    rig.feed(message(Code::PLAY_ON_DONE, {}));
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_PAUSE)}));
    EXPECT_EQ(rig.session().playMode(), PlayMode::Pause);
    EXPECT_EQ(rig.session().playback().resumeState(), ResumeState::Streaming);

    rig.session().playControl(PlayMode::Pause);
    rig.session().playControl(PlayMode::Reverse);  // from the pause: a seek
    ASSERT_EQ(rig.session().playback().resumeState(), ResumeState::Seeking);
    at = rig.sentCount();
    rig.feed(message(Code::PLAY_DATA_FINISH, {}));
    EXPECT_EQ(rig.codes(at), (std::vector<std::uint16_t>{c(Code::PLAY_STEP_DATA)}));
    EXPECT_EQ(be(rig.sent().back().payload, 0), 1u);
}

TEST(RemotePlayback, EventJumpPausesThenSendsTokenPositionAndKind) {
    PlaybackRig rig;
    const std::array<std::uint8_t, 8> token{1, 2, 3, 4, 5, 6, 7, 8};
    rig.session().playAtEvent(EventPlayStart{0xF, 7, token, 500});
    rig.feed(message(Code::PLAY_ON_ACK, {}));
    rig.frame(0, 600, 0, 10);
    rig.feed(message(Code::PLAY_ABSTIME_CHANGE, {9, 9, 9, 9, 9, 9, 9, 9}));
    rig.feed(message(Code::PLAY_ABSTIME_CHANGE, {1, 1, 1}));  // wrong size: ignored
    const std::size_t at = rig.sentCount();
    rig.session().eventJump(JumpDirection::Forward, 7);
    const auto sent = rig.sent();
    ASSERT_EQ(sent.size(), at + 2);
    EXPECT_EQ(sent[at].code, c(Code::PLAY_PAUSE));
    EXPECT_EQ(sent[at + 1].code, c(Code::EVENT_JUMP_FORWARD));
    const std::vector<std::uint8_t> expected{9, 9, 9, 9, 9, 9, 9, 9, 0, 0, 0x02, 0x58, 7, 0, 0, 0};
    EXPECT_EQ(sent[at + 1].payload, expected);
}

TEST(RemotePlayback, StopSendsStopAndTheCloseEndsPlayback) {
    PlaybackRig rig;
    rig.startAndAck();
    rig.session().playViewChange(0x3);
    EXPECT_EQ(rig.sent().back().code, c(Code::PLAY_VIEW_CH));  // the recorder takes view changes
    EXPECT_EQ(be(rig.sent().back().payload, 0), 0x3u);
    rig.session().playStop();
    EXPECT_EQ(rig.sent().back().code, c(Code::RPLAY_STOP));
    EXPECT_FALSE(rig.session().playbackOn());
    rig.session().playStop();  // twice: nothing more
    EXPECT_EQ(rig.sent().back().code, c(Code::RPLAY_STOP));

    rig.startAndAck();
    rig.session().close();
    const auto codes = rig.codes();
    const auto stop = std::find(codes.rbegin(), codes.rend(), c(Code::RPLAY_STOP));
    const auto bye = std::find(codes.rbegin(), codes.rend(), c(Code::BYE48));
    ASSERT_NE(stop, codes.rend());
    ASSERT_NE(bye, codes.rend());
    EXPECT_GT(stop - codes.rbegin(), bye - codes.rbegin());  // the stop before the goodbye
}

// --- searches ------------------------------------------------------------------

TEST(Search, AnswersAreWholeRecordsCutAtTheReplyLimit) {
    PlaybackRig rig;
    rig.session().searchDay(2024, 2, 29);
    const auto req = rig.sent().back();
    EXPECT_EQ(req.code, c(Code::PLAY_INFO_DAY_REQ));
    EXPECT_EQ(req.payload, (std::vector<std::uint8_t>{0, 0, 0x07, 0xE8, 2, 29, 0, 0}));
    EXPECT_TRUE(rig.session().searchPending());

    // 50 records in two fragments plus 10 stray bytes.
    std::vector<std::uint8_t> day(24 * 50 + 10, 0x11);
    rig.feed(message(Code::PLAY_INFO_DAY_ACK, {day.begin(), day.begin() + 1000}, Fragment::More));
    rig.feed(message(Code::PLAY_INFO_DAY_ACK, {day.begin() + 1000, day.end()}, Fragment::Last));
    auto answers = rig.sink().all<SearchAnswer>();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].kind, SearchKind::Day);
    EXPECT_EQ(answers[0].count(), 50u);
    EXPECT_FALSE(rig.session().searchPending());
    EXPECT_EQ(rig.session().dayCopy().size(), 24u * 50);

    // 40 fragments of 65,535 bytes: more than the reply buffer holds.
    const std::vector<std::uint8_t> piece(65535, 0x22);
    for (int i = 0; i < 39; ++i) rig.feed(message(Code::EVENT_INFO_ACK, piece, Fragment::More));
    rig.feed(message(Code::EVENT_INFO_ACK, piece, Fragment::Last));
    // Still in step: the next message is read as it should be.
    rig.feed(message(Code::EVENT_INFO_ACK_BYPG, {0, 0, 0, 1, 0, 0, 0, 40, 0, 0, 0, 7}));
    answers = rig.sink().all<SearchAnswer>();
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[1].records.size(), 2'400'000u);
    EXPECT_EQ(answers[1].count(), 100'000u);
    EXPECT_EQ(answers[2].kind, SearchKind::EventPage);
    EXPECT_EQ(answers[2].count(), 0u);
    EXPECT_EQ(answers[2].word1, 40u);
    EXPECT_EQ(answers[2].word2, 7u);

    // A page shorter than its three words is an empty page.
    rig.feed(message(Code::EVENT_INFO_ACK_BYPG, {0, 0, 0, 1, 0, 0}));
    answers = rig.sink().all<SearchAnswer>();
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[3].count(), 0u);
    EXPECT_EQ(answers[3].word1, 0u);

    // An empty month answer still completes the request.
    rig.session().searchMonth();
    rig.feed(message(Code::PLAY_INFO_MONTH_ACK, {}));
    EXPECT_FALSE(rig.session().searchPending());
    EXPECT_EQ(rig.sink().all<SearchAnswer>().back(), (SearchAnswer{SearchKind::Month, {}, 0, 0, false}));
}

}  // namespace
}  // namespace kalix::session
