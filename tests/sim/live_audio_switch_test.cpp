#include "sim/live_audio_switch.h"

#include <gtest/gtest.h>

#include <poll.h>

#include "protocol/byte_order.h"
#include "protocol/transport.h"
#include "audio_unit.h"
#include "media/frame_formats.h"
#include "raw_client.h"

namespace kalix::sim {
namespace {

using namespace std::chrono_literals;
using namespace simtest;
using protocol::Code;
using Clock = std::chrono::steady_clock;

constexpr auto code(Code c) { return static_cast<std::uint16_t>(c); }

bool quietFor(RawClient& client, std::chrono::milliseconds limit) {
    pollfd fd{client.conn().fd(), POLLIN, 0};
    return ::poll(&fd, 1, static_cast<int>(limit.count())) == 0;
}

bool sendAudioSwitch(RawClient& client, bool on) {
    auto header = protocol::MessageHeader::make(Code::AUDIO_ONOFF_REQ, 0);
    header.setAudioOn(on);
    return protocol::SendPacket(client.conn(), header, {});
}

SimConfig audioConfig() {
    SimConfig config;
    config.channel_num = 4;
    config.audio.enabled = true;
    return config;
}

// Audio flows only between the client's switch on and off, during live view,
// for the live channels that have audio, at one unit per 8 ms; every header
// from the switch on to the switch off carries audio_on.
TEST(LiveAudioSwitchTest, SimulatorSendsAudioWhileSwitchedOnDuringLiveView) {
    SimConfig config = audioConfig();
    config.audio.mask = 0x800D;  // channel 15 is beyond the recorder's 4
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendLiveReq(0x0007));
    const auto info = client.read();
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->header.audioOn());
    EXPECT_TRUE(quietFor(client, 100ms)) << "no audio before the switch";

    ASSERT_TRUE(sendAudioSwitch(client, true));
    ChannelTone zero(0), two(2);
    const auto begin = Clock::now();
    for (int i = 0; i < 126; ++i) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        ASSERT_EQ(m->header.code(), code(Code::LIVE_DATA));
        EXPECT_TRUE(m->header.audioOn());
        EXPECT_TRUE(m->header.lastFragment());
        const auto unit = parseAudio(m->payload);
        ASSERT_TRUE(unit);
        ASSERT_EQ(unit->mask, 0x0005u) << "live channels 0-2 with audio 0, 2, 3, 15";
        ASSERT_EQ(unit->blocks[0], zero.nextBlock()) << i;
        ASSERT_EQ(unit->blocks[1], two.nextBlock()) << i;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    EXPECT_GT(seconds, 0.9);
    EXPECT_LT(seconds, 1.6);

    // A reply while audio is on carries the switch; LIVE_STOP ends the
    // audio before its acknowledgement.
    ASSERT_TRUE(client.send(Code::LIVE_STOP));
    for (;;) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        EXPECT_TRUE(m->header.audioOn());
        if (m->header.code() == code(Code::LIVE_DATA)) continue;
        EXPECT_EQ(m->header.code(), code(Code::LIVE_STOP_ACK));
        break;
    }
    EXPECT_TRUE(quietFor(client, 100ms)) << "no audio without live view";

    // Live again with audio still on: a new run from the first block.
    ASSERT_TRUE(client.sendLiveReq(0x0008));
    const auto info2 = client.read();
    ASSERT_TRUE(info2);
    EXPECT_TRUE(info2->header.audioOn());
    ChannelTone three(3);
    for (int i = 0; i < 3; ++i) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        const auto unit = parseAudio(m->payload);
        ASSERT_TRUE(unit);
        EXPECT_EQ(unit->mask, 0x0008u);
        EXPECT_EQ(unit->blocks[0], three.nextBlock());
    }

    // Off: units on their way may come, all still marked; then the next
    // reply has the switch cleared and nothing follows.
    ASSERT_TRUE(sendAudioSwitch(client, false));
    ASSERT_TRUE(client.send(Code::A_LISTEN_STOP_REQ));
    for (;;) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        if (m->header.code() == code(Code::LIVE_DATA)) {
            EXPECT_TRUE(m->header.audioOn());
            continue;
        }
        EXPECT_EQ(m->header.code(), code(Code::A_LISTEN_STOP_ACK));
        EXPECT_FALSE(m->header.audioOn());
        break;
    }
    EXPECT_TRUE(quietFor(client, 100ms)) << "no audio after the switch off";
}

// With --audio off the switch is ignored; with it on, audio and video share
// the connection without cutting into each other's fragments.
TEST(LiveAudioSwitchTest, AudioAndVideoUnitsStayWholeAndTheSwitchNeedsAudio) {
    {
        SimConfig config;
        auto sim = startSim(config);
        RawClient client(sim->port());
        ASSERT_TRUE(client.login());
        ASSERT_TRUE(client.sendLiveReq(0x0001));
        ASSERT_TRUE(client.read());
        ASSERT_TRUE(sendAudioSwitch(client, true));
        ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
        const auto ack = client.read();
        ASSERT_TRUE(ack);
        EXPECT_EQ(ack->header.code(), code(Code::A_LISTEN_ACK));
        EXPECT_FALSE(ack->header.audioOn()) << "a recorder without audio leaves it off";
        EXPECT_TRUE(quietFor(client, 100ms));
    }

    SimConfig config = audioConfig();
    config.video.enabled = true;
    config.video.sizes[0] = {720, 576};  // key frames of ten fragments
    config.video.key_interval = 1;
    config.video.frames_per_second.fill(30);
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(sendAudioSwitch(client, true));
    ASSERT_TRUE(client.sendLiveReq(0x0001));
    const auto info = client.read();
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->header.audioOn());

    std::size_t audio = 0, video = 0, fragments = 0;
    std::vector<std::uint8_t> unit;
    while (video < 10) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        ASSERT_EQ(m->header.code(), code(Code::LIVE_DATA));
        EXPECT_TRUE(m->header.audioOn());
        unit.insert(unit.end(), m->payload.begin(), m->payload.end());
        ++fragments;
        if (!m->header.lastFragment()) continue;
        if (protocol::be32(unit.data() + media::kTypeWordOffset) == media::kTypeAudio) {
            ASSERT_TRUE(parseAudio(unit));
            EXPECT_EQ(fragments, 1u);
            ++audio;
        } else {
            const auto enc = media::parseEncVideoHeader(std::span(unit).subspan(media::kLiveEncHeaderOffset));
            ASSERT_TRUE(enc);
            ASSERT_EQ(enc->coded_len, unit.size() - media::kLiveDataOffset) << "a video unit cut by audio";
            EXPECT_GE(fragments, 10u);
            ++video;
        }
        unit.clear();
        fragments = 0;
    }
    EXPECT_GT(audio, 20u);
}

}  // namespace
}  // namespace kalix::sim
