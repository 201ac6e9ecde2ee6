#include "sim/remote_playback.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "client_decoder.h"
#include "media/video/md5.h"
#include "protocol/crc32.h"
#include "recordings_client.h"
#include "sim/channel_picture.h"

namespace kalix::sim {
namespace {

using namespace simtest;
using namespace std::chrono_literals;
using protocol::Code;
using Clock = std::chrono::steady_clock;

constexpr unsigned kFps = 5;
constexpr RecorderSeconds kT = kTestDay + 3600;  // 01:00
constexpr std::uint64_t kMicros = 1'000'000;

// Channel 0: [kT, kT+4) and [kT+100, kT+102); channel 1: [kT+1, kT+3).
// Five frames a second, a key frame every second; events of kind 1 at
// kT+1 and kT+101, of kind 7 at kT+2.
SimConfig playbackConfig(std::uint8_t start_speed = 0) {
    std::string error;
    auto schedule = RecordingSchedule::make({{0, 1, kT, kT + 4}, {0, 1, kT + 100, kT + 102}, {1, 2, kT + 1, kT + 3}},
                                            {{1, 0x0001, kT + 1, kT + 2, {}},
                                             {1, 0x0001, kT + 101, kT + 102, {}},
                                             {7, 0x0002, kT + 2, kT + 3, {}}},
                                            error);
    EXPECT_TRUE(schedule) << error;
    SimConfig config;
    config.channel_num = 4;
    config.video.frames_per_second.fill(kFps);
    config.video.key_interval = kFps;
    config.recordings.schedule = std::make_shared<const RecordingSchedule>(std::move(*schedule));
    config.recordings.start_speed = start_speed;
    return config;
}

// Logs in and starts a playback; checks the answers.
void start(RecordingsClient& client, std::uint32_t mask, RecorderSeconds time, std::uint32_t expected_channels) {
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.startPlayback(mask, time));
    const auto ack = client.next();
    ASSERT_TRUE(ack);
    ASSERT_TRUE(ack->is(Code::PLAY_ON_ACK)) << ack->code();
    const auto info = client.next();
    ASSERT_TRUE(info);
    ASSERT_TRUE(info->is(Code::PLAY_CHANNEL_INFO));
    EXPECT_EQ(protocol::be32(info->payload.data()), expected_channels);
}

std::vector<std::uint64_t> timesOf(const std::vector<Received>& units, std::uint8_t channel) {
    std::vector<std::uint64_t> out;
    for (const Received& u : units)
        if (u.channel() == channel) out.push_back(u.frameMicros());
    return out;
}

TEST(RemotePlaybackTest, CreditsAreNeverExceededAndEachUnitIsAWholeFrameHeader) {
    auto sim = startSim(playbackConfig());
    RecordingsClient client(sim->port());
    start(client, 0xFFFF, kT, 0x0003);
    EXPECT_FALSE(client.next(300ms)) << "a unit before any credit";

    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 7));
    auto got = client.until(Code::PLAY_DATA_FINISH);
    ASSERT_EQ(got.size(), 8u);
    ASSERT_EQ(videoOf(got).size(), 7u);
    EXPECT_FALSE(client.next(300ms));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 3));
    const auto more = client.until(Code::PLAY_DATA_FINISH);
    EXPECT_EQ(videoOf(more).size(), 3u);
    got.insert(got.end(), more.begin(), more.end());

    std::uint64_t previous = 0;
    for (const Received& u : videoOf(got)) {
        EXPECT_GE(u.frameMicros(), previous);
        previous = u.frameMicros();
        EXPECT_EQ(protocol::be32(u.payload.data() + 16), 0x20061123u);
        EXPECT_EQ(u.frameSeconds(), u.frameMicros() / kMicros);
        EXPECT_EQ(protocol::be32(u.payload.data() + 28), u.payload.size() - kPlaybackVideoHeaderSize);
        EXPECT_EQ(u.header.playSpeed(), 10);
        EXPECT_EQ(u.header.frameChannel(), u.channel());
        const bool crc_ok =
            protocol::crc32(std::span(u.payload).subspan(96, 32)) == protocol::be32(u.payload.data() + 92);
        EXPECT_EQ(crc_ok, u.channel() == 0) << "Cam 1 has a valid title, Cam 2 not";
        const std::string title(reinterpret_cast<const char*>(u.payload.data() + 96), 5);
        EXPECT_EQ(title, u.channel() == 0 ? "Cam 1" : "Cam 2");
    }
    EXPECT_TRUE(videoOf(got).front().key());
}

TEST(RemotePlaybackTest, FramesFollowTheScheduleSkipGapsDecodeExactlyAndEndWithDone) {
    auto sim = startSim(playbackConfig());
    RecordingsClient client(sim->port());
    // From the middle of a second: each channel starts at its key frame.
    start(client, 0x0003, kT + 1, 0x0003);
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 93));
    const auto all = client.until(Code::PLAY_ON_DONE);
    ASSERT_TRUE(all.back().is(Code::PLAY_ON_DONE));
    const auto units = videoOf(all);

    std::vector<std::uint64_t> want0, want1;
    for (unsigned k = 5; k < 20; ++k) want0.push_back(std::uint64_t{kT} * kMicros + k * kMicros / kFps);
    for (unsigned k = 0; k < 10; ++k) want0.push_back(std::uint64_t{kT + 100} * kMicros + k * kMicros / kFps);
    for (unsigned k = 0; k < 10; ++k) want1.push_back(std::uint64_t{kT + 1} * kMicros + k * kMicros / kFps);
    EXPECT_EQ(timesOf(units, 0), want0);
    EXPECT_EQ(timesOf(units, 1), want1);

    // Channel 1's pictures are live view's frames 0-9 of its camera.
    ClientDecoder decoder;
    const ChannelPicture camera(1, 352, 288);
    std::uint32_t k = 0;
    for (const Received& u : units) {
        if (u.channel() != 1) continue;
        const auto coded = std::span(u.payload).subspan(kPlaybackVideoHeaderSize);
        EXPECT_EQ(decoder.decode(coded, u.key() ? SliceKind::Key : SliceKind::Predicted, 352, 288),
                  media::md5Hex(camera.picture(k).bytes()))
            << k;
        ++k;
    }
}

TEST(RemotePlaybackTest, ReverseSendsKeyFramesNewestFirstAtTheReverseSpeedIndex) {
    auto sim = startSim(playbackConfig(6));
    RecordingsClient client(sim->port());
    start(client, 0x0003, kT, 0x0003);
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 2));
    const auto forward = videoOf(client.until(Code::PLAY_DATA_FINISH));
    ASSERT_EQ(forward.size(), 2u);
    EXPECT_EQ(forward[0].header.playSpeed(), 16);

    ASSERT_TRUE(client.send(Code::PLAY_BACKWARD, RecordingsClient::startPayload(0x0003, kT + 3)));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 93));
    const auto all = client.until(Code::PLAY_ON_DONE);
    ASSERT_TRUE(all.back().is(Code::PLAY_ON_DONE));
    const auto units = videoOf(all);
    std::vector<std::pair<std::uint64_t, std::uint8_t>> got;
    for (const Received& u : units) {
        EXPECT_TRUE(u.key());
        EXPECT_FALSE(u.decodeOnly());
        EXPECT_EQ(u.header.playSpeed(), 4);
        got.emplace_back(u.frameMicros() / kMicros, u.channel());
    }
    const std::vector<std::pair<std::uint64_t, std::uint8_t>> want{
        {kT + 3, 0}, {kT + 2, 0}, {kT + 2, 1}, {kT + 1, 0}, {kT + 1, 1}, {kT, 0}};
    // Equal times may come in either channel order.
    auto sorted = got;
    std::stable_sort(sorted.begin(), sorted.end(), [](auto a, auto b) { return a.first > b.first; });
    EXPECT_EQ(sorted, got);
    std::sort(sorted.begin(), sorted.end());
    auto expected = want;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sorted, expected);
}

TEST(RemotePlaybackTest, PauseStopsAndStepsSendOneFramePerShownChannel) {
    auto sim = startSim(playbackConfig());
    RecordingsClient client(sim->port());
    start(client, 0x0003, kT, 0x0003);
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 10));
    const auto first = videoOf(client.until(Code::PLAY_DATA_FINISH));
    ASSERT_EQ(first.size(), 10u);
    const std::uint64_t last0 = timesOf(first, 0).back();

    ASSERT_TRUE(client.send(Code::PLAY_PAUSE));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 48));
    EXPECT_FALSE(client.next(300ms)) << "a unit while paused";

    // The client's step: pause, next step, the shown channels, one credit.
    ASSERT_TRUE(client.send(Code::PLAY_NEXT_STEP));
    ASSERT_TRUE(client.sendWord(Code::PLAY_CH_CHANGE, 0x0001));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 1));
    const auto step = videoOf(client.until(Code::PLAY_DATA_FINISH));
    ASSERT_EQ(step.size(), 1u);
    EXPECT_EQ(step[0].channel(), 0);
    EXPECT_EQ(step[0].frameMicros(), last0 + kMicros / kFps);
    EXPECT_FALSE(client.next(300ms));

    // Two steps back: the frame before, its key frame and those between
    // decoded unseen.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(client.send(Code::PLAY_PREV_STEP));
        ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 1));
        const auto back = videoOf(client.until(Code::PLAY_DATA_FINISH));
        ASSERT_FALSE(back.empty());
        const std::uint64_t target = step[0].frameMicros() - static_cast<std::uint64_t>(i + 1) * kMicros / kFps;
        EXPECT_EQ(back.back().frameMicros(), target);
        EXPECT_FALSE(back.back().decodeOnly());
        EXPECT_TRUE(back.front().key());
        for (std::size_t j = 0; j + 1 < back.size(); ++j) EXPECT_TRUE(back[j].decodeOnly());
    }

    // Forward again without a resume position: on from the last frame sent.
    ASSERT_TRUE(client.send(Code::PLAY_FORWARD));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 2));
    const auto resumed = videoOf(client.until(Code::PLAY_DATA_FINISH));
    ASSERT_EQ(resumed.size(), 2u);
    EXPECT_EQ(resumed[0].frameMicros(), step[0].frameMicros() - kMicros / kFps);
    EXPECT_EQ(resumed[0].channel(), 0) << "only channel 0 is shown";
}

TEST(RemotePlaybackTest, EventPlaybackAndJumpsMoveBetweenEventsWithTheirTokens) {
    auto sim = startSim(playbackConfig());
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendEventReq(1, 0));
    const auto page = client.answer();
    ASSERT_EQ(page.size(), 1u);
    ASSERT_EQ(page[0].payload.size(), kEventPageHeaderSize + 2 * kEventRecordSize);
    const std::uint8_t* first = page[0].payload.data() + kEventPageHeaderSize;
    const std::uint8_t* second = first + kEventRecordSize;

    std::array<std::uint8_t, 24> request{};
    protocol::putBe32(request.data(), 0x000F);
    request[4] = 1 << 1;
    std::copy_n(first + 8, 8, request.begin() + 8);
    protocol::putBe32(request.data() + 16, 0);  // the token decides, not this time
    protocol::putBe32(request.data() + 20, 0x7FE8177F);
    ASSERT_TRUE(client.send(Code::EVENT_PLAY_REQ, request));
    ASSERT_TRUE(client.next()->is(Code::PLAY_ON_ACK));
    ASSERT_TRUE(client.next()->is(Code::PLAY_CHANNEL_INFO));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 1));
    const auto at_event = videoOf(client.until(Code::PLAY_DATA_FINISH));
    ASSERT_EQ(at_event.size(), 1u);
    EXPECT_EQ(at_event[0].frameMicros(), std::uint64_t{kT + 1} * kMicros);
    EXPECT_EQ(at_event[0].channel(), 0);

    // The client pauses, then jumps with the token and its position.
    ASSERT_TRUE(client.send(Code::PLAY_PAUSE));
    std::array<std::uint8_t, 16> jump{};
    std::copy_n(first + 8, 8, jump.begin());
    protocol::putBe32(jump.data() + 8, kT + 1);
    jump[12] = 1;
    ASSERT_TRUE(client.send(Code::EVENT_JUMP_FORWARD, jump));
    const auto change = client.next();
    ASSERT_TRUE(change);
    ASSERT_TRUE(change->is(Code::PLAY_ABSTIME_CHANGE));
    EXPECT_TRUE(std::equal(change->payload.begin(), change->payload.end(), second + 8));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 1));
    const auto after = videoOf(client.until(Code::PLAY_DATA_FINISH));
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].frameMicros(), std::uint64_t{kT + 101} * kMicros);

    // Backward from there with kind 7 (video loss on channel 1).
    std::copy_n(change->payload.begin(), 8, jump.begin());
    protocol::putBe32(jump.data() + 8, kT + 101);
    jump[12] = 7;
    ASSERT_TRUE(client.send(Code::EVENT_JUMP_BACKWARD, jump));
    const auto back = client.next();
    ASSERT_TRUE(back);
    ASSERT_TRUE(back->is(Code::PLAY_ABSTIME_CHANGE));
    EXPECT_EQ(protocol::be32(back->payload.data() + 4), kT + 2);  // the token carries the time
}

TEST(RemotePlaybackTest, RefusalsFailuresAndStop) {
    {
        SimConfig config = playbackConfig();
        config.refusals = {{static_cast<std::uint16_t>(Code::PLAY_ON_REQ), 98}};
        auto sim = startSim(config);
        RecordingsClient client(sim->port());
        ASSERT_TRUE(client.login());
        ASSERT_TRUE(client.startPlayback(0x0001, kT));
        const auto nack = client.next();
        ASSERT_TRUE(nack && nack->is(Code::PLAY_ON_NACK));
        EXPECT_EQ(protocol::be32(nack->payload.data()), 98u);
    }
    SimConfig config = playbackConfig();
    config.recordings.fail_after = std::pair{std::uint64_t{3}, 53};
    auto sim = startSim(config);
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());
    // Nothing after the last recording, nor on channels without any.
    for (const auto& [mask, time] : {std::pair{0x0003u, kT + 102}, std::pair{0x000Cu, kT}}) {
        ASSERT_TRUE(client.startPlayback(mask, time));
        const auto nack = client.next();
        ASSERT_TRUE(nack && nack->is(Code::PLAY_ON_NACK));
        EXPECT_EQ(protocol::be32(nack->payload.data()), 83u);
    }
    ASSERT_TRUE(client.startPlayback(0x0001, kT));
    ASSERT_TRUE(client.next()->is(Code::PLAY_ON_ACK));
    ASSERT_TRUE(client.next()->is(Code::PLAY_CHANNEL_INFO));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 93));
    const auto failed = client.until(Code::PLAY_ON_FAIL);
    ASSERT_TRUE(failed.back().is(Code::PLAY_ON_FAIL));
    EXPECT_EQ(videoOf(failed).size(), 3u);
    EXPECT_EQ(protocol::be32(failed.back().payload.data()), 53u);

    // A new start after the failure, then the stop: nothing follows its answer.
    ASSERT_TRUE(client.startPlayback(0x0001, kT));
    ASSERT_TRUE(client.next()->is(Code::PLAY_ON_ACK));
    ASSERT_TRUE(client.next()->is(Code::PLAY_CHANNEL_INFO));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 2));
    ASSERT_TRUE(client.send(Code::RPLAY_STOP));
    const auto stopped = client.until(Code::PLAY_OFF_ACK);
    ASSERT_TRUE(stopped.back().is(Code::PLAY_OFF_ACK));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 93));
    EXPECT_FALSE(client.next(300ms));
}

TEST(RemotePlaybackTest, HostileControlsAreDroppedWithoutHarm) {
    auto sim = startSim(playbackConfig());
    RecordingsClient client(sim->port());
    ASSERT_TRUE(client.login());
    // Controls of no playback, and payloads of the wrong length.
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 0xFFFF'FFFFu));
    ASSERT_TRUE(client.send(Code::PLAY_FORWARD));
    ASSERT_TRUE(client.send(Code::PLAY_NEXT_STEP));
    ASSERT_TRUE(client.send(Code::EVENT_JUMP_BACKWARD, std::array<std::uint8_t, 16>{}));
    ASSERT_TRUE(client.send(Code::PLAY_ON_REQ, std::array<std::uint8_t, 5>{0xFF, 0xFF, 0xFF, 0xFF, 0}));
    ASSERT_TRUE(client.send(Code::PLAY_FORWARD, std::array<std::uint8_t, 7>{}));
    ASSERT_TRUE(client.send(Code::EVENT_JUMP_FORWARD, std::array<std::uint8_t, 3>{}));
    ASSERT_TRUE(client.send(Code::PLAY_STEP_DATA));
    EXPECT_FALSE(client.next(300ms));

    ASSERT_TRUE(client.startPlayback(0xFFFF'FFFFu, 0));  // every bit, from 1970
    ASSERT_TRUE(client.next()->is(Code::PLAY_ON_ACK));
    const auto info = client.next();
    ASSERT_TRUE(info);
    EXPECT_EQ(protocol::be32(info->payload.data()), 0x0003u);
    // An unknown token jumps nowhere; an enormous grant is only a grant.
    std::array<std::uint8_t, 16> jump{};
    protocol::putBe32(jump.data() + 8, 0xFFFF'FFFFu);
    ASSERT_TRUE(client.send(Code::EVENT_JUMP_FORWARD, jump));
    ASSERT_TRUE(client.sendWord(Code::PLAY_CH_CHANGE, 0));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 0xFFFF'FFFFu));
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 0xFFFF'FFFFu));
    EXPECT_FALSE(client.next(300ms)) << "no channel is shown";
    ASSERT_TRUE(client.sendWord(Code::PLAY_VIEW_CH, 0xFFFF'FFFFu));
    const auto all = client.until(Code::PLAY_ON_DONE);
    EXPECT_TRUE(all.back().is(Code::PLAY_ON_DONE));
}

TEST(RemotePlaybackTest, NormalSpeedKeepsRecordedTimeWithAudioInTheRecorderKindsOrder) {
    SimConfig config = playbackConfig(1);
    config.product_number = 12;  // kind 5: the type words go low byte first
    config.audio.enabled = true;
    auto sim = startSim(config);
    RecordingsClient client(sim->port());
    start(client, 0x0001, kT, 0x0001);
    ASSERT_TRUE(client.sendWord(Code::PLAY_STEP_DATA, 6));
    const auto began = Clock::now();
    const auto all = client.until(Code::PLAY_DATA_FINISH);
    const auto took = Clock::now() - began;
    const auto units = videoOf(all);
    ASSERT_EQ(units.size(), 6u);
    // Six frames at five a second: a second of recorded time between the first and the last.
    EXPECT_GE(took, 900ms);
    EXPECT_LT(took, 3s);
    EXPECT_EQ(units[0].payload[16], 0x23);
    EXPECT_EQ(units[0].payload[19], 0x20);
    EXPECT_EQ(units[0].header.playSpeed(), 11);
    std::size_t audio = 0;
    for (const Received& r : all) {
        if (!r.isAudio()) continue;
        ++audio;
        EXPECT_EQ(protocol::le32(r.payload.data() + 16), 0x2518F049u);
        EXPECT_EQ(protocol::be32(r.payload.data() + 40), 0x0001u);
        EXPECT_EQ(r.payload.size(), 64u + 48u);
        EXPECT_EQ(r.header.playSpeed(), 11);
    }
    // 8 ms a unit over the second: about 125.
    EXPECT_GE(audio, 100u);
    EXPECT_LE(audio, 140u);
}

}  // namespace
}  // namespace kalix::sim
