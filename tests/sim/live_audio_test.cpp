#include "sim/live_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>

#include "media/frame_formats.h"
#include "media/audio/g726.h"
#include "protocol/byte_order.h"
#include "raw_client.h"
#include "sim/recorder_sim.h"

namespace kalix::sim {
namespace {

using namespace simtest;
using protocol::Code;
using Clock = std::chrono::steady_clock;

constexpr auto code(Code c) { return static_cast<std::uint16_t>(c); }

// An audio unit as the client reads it.
struct AudioUnit {
    std::uint32_t mask = 0;
    std::vector<AudioBlockBytes> blocks;
};

std::optional<AudioUnit> parseAudio(std::span<const std::uint8_t> unit) {
    const auto header = media::parseAudioFrameHeader(unit);
    if (!header || header->type_word != media::kTypeAudio) return std::nullopt;
    AudioUnit parsed{header->channel_mask, {}};
    const auto count = static_cast<std::size_t>(std::popcount(header->channel_mask));
    if (unit.size() != media::kAudioFrameHeaderSize + count * media::kAudioBlockSize) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        AudioBlockBytes block{};
        std::copy_n(unit.begin() + static_cast<std::ptrdiff_t>(media::kAudioFrameHeaderSize + i * media::kAudioBlockSize),
                    block.size(), block.begin());
        parsed.blocks.push_back(block);
    }
    return parsed;
}

TEST(LiveAudioTest, UnitLayoutIsWhatTheClientParses) {
    std::vector<AudioBlockBytes> blocks(3);
    for (std::size_t i = 0; i < blocks.size(); ++i) blocks[i].fill(static_cast<std::uint8_t>(0xA0 + i));
    const auto unit = buildLiveAudioUnit(0x8005, blocks);
    ASSERT_EQ(unit.size(), 64u + 3 * 48);
    EXPECT_EQ(protocol::be32(unit.data() + 16), 0x2518F049u);
    const auto header = media::parseAudioFrameHeader(unit);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->type_word, media::kTypeAudio);
    EXPECT_EQ(header->channel_mask, 0x8005u);
    EXPECT_EQ(header->payload_len, 3u * 48);

    // The client's choice of a channel's block finds that channel's block.
    const auto choice = media::audioBlockIndex(header->channel_mask, 15);
    ASSERT_TRUE(choice);
    EXPECT_EQ(unit[64 + choice->index * 48], 0xA2);

    // A block count that is not the mask's, or no channel: no unit.
    EXPECT_TRUE(buildLiveAudioUnit(0x000F, blocks).empty());
    EXPECT_TRUE(buildLiveAudioUnit(0x0003, blocks).empty());
    EXPECT_TRUE(buildLiveAudioUnit(0, {}).empty());
}

// Decoded with a fresh decoder, a channel's blocks give back its tone: the
// same on both sides, close to the coded PCM, at the channel's frequency.
TEST(LiveAudioTest, ChannelToneDecodesToItsTone) {
    for (const std::uint8_t channel : std::array<std::uint8_t, 3>{0, 7, 15}) {
        ChannelTone tone(channel);
        EXPECT_EQ(tone.values(0), tone.values(125)) << "a whole number of periods in one second";
        media::G726Decoder decoder;
        double signal = 0, error = 0;
        int crossings = 0;
        std::int16_t previous_left = 0;
        for (std::uint64_t b = 0; b < 125; ++b) {
            const AudioBlockBytes block = tone.nextBlock();
            AudioBlockValues decoded{};
            ASSERT_TRUE(decoder.decode(block, decoded).ok());
            const AudioBlockValues source = tone.values(b);
            for (std::size_t i = 0; i < decoded.size(); i += 2) {
                EXPECT_EQ(source[i], source[i + 1]);
                if (b < 4) continue;  // the coder adapts first
                const auto s = static_cast<double>(source[i]);
                signal += s * s;
                error += std::pow(s - decoded[i], 2) + std::pow(s - decoded[i + 1], 2);
                if ((previous_left < 0) != (decoded[i] < 0)) ++crossings;
                previous_left = decoded[i];
            }
        }
        EXPECT_EQ(tone.nextIndex(), 125u);
        EXPECT_GT(10 * std::log10(2 * signal / error), 12.0) << "channel " << int{channel};
        // Two zero crossings per period over 121/125 of a second.
        const double expected = 2.0 * ChannelTone::frequency(channel) * 121 / 125;
        EXPECT_NEAR(crossings, expected, expected * 0.05) << "channel " << int{channel};
    }

    ChannelTone a(3), b(4);
    const AudioBlockBytes first = a.nextBlock();
    EXPECT_NE(first, b.nextBlock()) << "channels differ";
    a.nextBlock();
    a.restart();
    EXPECT_EQ(a.nextIndex(), 0u);
    EXPECT_EQ(a.nextBlock(), first) << "a restart starts over with a fresh encoder";
}

// Collects the units of a streamer with their arrival times.
class AudioSink {
public:
    bool send(std::span<const std::uint8_t> unit) {
        {
            std::lock_guard lock(mutex_);
            units_.emplace_back(unit.begin(), unit.end());
        }
        cv_.notify_all();
        return true;
    }
    bool waitFor(std::size_t n) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, kWait, [&] { return units_.size() >= n; });
    }
    std::vector<std::vector<std::uint8_t>> units() const {
        std::lock_guard lock(mutex_);
        return units_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::vector<std::uint8_t>> units_;
};

// ~125 units a second; the same mask goes on, another one starts over, and
// nothing follows a stop.
TEST(LiveAudioTest, StreamerPacesRunsAndStops) {
    AudioSink sink;
    LiveAudioStreamer streamer([&](std::span<const std::uint8_t> unit, std::uint32_t) { return sink.send(unit); });
    const auto begin = Clock::now();
    streamer.setMask(0x0011);
    ASSERT_TRUE(sink.waitFor(126));
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    EXPECT_GT(seconds, 0.9) << "not faster than one unit per 8 ms";
    EXPECT_LT(seconds, 1.6) << "not much slower either";

    streamer.setMask(0x0011);  // no new run
    ASSERT_TRUE(sink.waitFor(130));
    streamer.setMask(0x0010);
    ASSERT_TRUE(sink.waitFor(sink.units().size() + 3));
    streamer.setMask(0);
    const std::size_t at_stop = sink.units().size();
    EXPECT_EQ(streamer.unitsSent(), at_stop);
    std::this_thread::sleep_for(50ms);
    const auto units = sink.units();
    EXPECT_EQ(units.size(), at_stop) << "nothing after a stop";

    const auto switched = std::ranges::find_if(units, [](const auto& u) { return u.size() == 64 + 48; });
    const auto at_switch = static_cast<std::size_t>(switched - units.begin());
    EXPECT_GE(at_switch, 130u);
    ChannelTone zero(0), four(4), four_again(4);
    for (std::size_t i = 0; i < at_switch; ++i) {
        const auto unit = parseAudio(units[i]);
        ASSERT_TRUE(unit) << i;
        ASSERT_EQ(unit->mask, 0x0011u);
        ASSERT_EQ(unit->blocks[0], zero.nextBlock()) << i;
        ASSERT_EQ(unit->blocks[1], four.nextBlock()) << i;
    }
    for (std::size_t i = at_switch; i < at_stop; ++i) {
        const auto unit = parseAudio(units[i]);
        ASSERT_TRUE(unit) << i;
        ASSERT_EQ(unit->mask, 0x0010u);
        ASSERT_EQ(unit->blocks[0], four_again.nextBlock()) << "a new mask starts a new run, unit " << i;
    }
}

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
TEST(LiveAudioTest, SimulatorSendsAudioWhileSwitchedOnDuringLiveView) {
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
TEST(LiveAudioTest, AudioAndVideoUnitsStayWholeAndTheSwitchNeedsAudio) {
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

std::vector<std::uint8_t> encodeTalk(media::G726Encoder& encoder, std::size_t chunk_index) {
    std::vector<std::int16_t> pcm(4096);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const auto t = static_cast<double>(chunk_index * pcm.size() + i);
        pcm[i] = static_cast<std::int16_t>(std::lround(6000 * std::sin(t / 7.0) + 2000 * std::sin(t / 2.3)));
    }
    std::vector<std::uint8_t> bytes(1536);
    EXPECT_TRUE(encoder.encode(pcm, bytes).ok());
    return bytes;
}

std::vector<std::int16_t> decodeAll(std::span<const std::uint8_t> bytes) {
    media::G726Decoder decoder;
    std::vector<std::int16_t> values(media::g726SampleCount(bytes.size()));
    EXPECT_TRUE(decoder.decode(bytes.first(bytes.size() / 3 * 3), values).ok());
    return values;
}

// Talk is kept as received and decoded as one stream per talk, however the
// chunks cut the code groups; data outside a talk is not kept.
TEST(LiveAudioTest, TalkIsAcknowledgedStoredAndDecoded) {
    SimConfig config;
    config.talk_out_path = tempPath("talk.raw");
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());

    media::G726Encoder encoder;
    const auto stray = encodeTalk(encoder, 0);
    ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, stray));

    ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
    const auto ack = client.read();
    ASSERT_TRUE(ack);
    EXPECT_EQ(ack->header.code(), code(Code::A_LISTEN_ACK));

    encoder.reset();
    const auto first = encodeTalk(encoder, 0);
    const auto second = encodeTalk(encoder, 1);
    std::vector<std::uint8_t> talk1 = first;
    talk1.insert(talk1.end(), second.begin(), second.end());
    const std::vector<std::vector<std::uint8_t>> chunks1{
        first, {second.begin(), second.begin() + 1000}, {second.begin() + 1000, second.end()}};
    for (const auto& chunk : chunks1) ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, chunk));
    ASSERT_TRUE(client.send(Code::A_LISTEN_STOP_REQ));
    const auto stop_ack = client.read();
    ASSERT_TRUE(stop_ack);
    EXPECT_EQ(stop_ack->header.code(), code(Code::A_LISTEN_STOP_ACK));

    // A second talk starts a fresh decoder.
    ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
    ASSERT_TRUE(client.read());
    encoder.reset();
    const auto talk2 = encodeTalk(encoder, 5);
    ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, talk2));
    ASSERT_TRUE(sim->waitForTalkChunks(4, kWait));

    auto expected_chunks = chunks1;
    expected_chunks.push_back(talk2);
    EXPECT_EQ(sim->talkChunks(), expected_chunks);
    auto expected_pcm = decodeAll(talk1);
    const auto pcm2 = decodeAll(talk2);
    expected_pcm.insert(expected_pcm.end(), pcm2.begin(), pcm2.end());
    ASSERT_EQ(expected_pcm.size(), 3u * 4096);
    EXPECT_EQ(sim->talkDecoded(), expected_pcm);
    sim->stop();

    std::ifstream raw(config.talk_out_path, std::ios::binary);
    const std::vector<std::uint8_t> raw_bytes{std::istreambuf_iterator<char>(raw), {}};
    std::vector<std::uint8_t> all_raw = talk1;
    all_raw.insert(all_raw.end(), talk2.begin(), talk2.end());
    EXPECT_EQ(raw_bytes, all_raw);
    std::ifstream pcm_file(config.talk_out_path + ".pcm", std::ios::binary);
    const std::vector<std::uint8_t> pcm_bytes{std::istreambuf_iterator<char>(pcm_file), {}};
    ASSERT_EQ(pcm_bytes.size(), expected_pcm.size() * 2);
    for (std::size_t i = 0; i < expected_pcm.size(); ++i) {
        const auto v = static_cast<std::int16_t>(pcm_bytes[2 * i] | pcm_bytes[2 * i + 1] << 8);
        ASSERT_EQ(v, expected_pcm[i]) << i;
    }
    std::remove(config.talk_out_path.c_str());
    std::remove((config.talk_out_path + ".pcm").c_str());
}

TEST(LiveAudioTest, RefusedTalkGetsTheConfiguredReasonAndKeepsNothing) {
    SimConfig config;
    config.talk_nack_reason = 53;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.send(Code::A_LISTEN_REQ));
    const auto nack = client.read();
    ASSERT_TRUE(nack);
    EXPECT_EQ(nack->header.code(), code(Code::A_LISTEN_NACK));
    ASSERT_EQ(nack->payload.size(), 4u);
    EXPECT_EQ(protocol::be32(nack->payload.data()), 53u);

    const std::vector<std::uint8_t> chunk(1536, 0x5A);
    ASSERT_TRUE(client.send(Code::A_LISTEN_DATA, chunk));
    ASSERT_TRUE(sim->waitForCount(Code::A_LISTEN_DATA, 1, kWait));
    EXPECT_TRUE(sim->talkChunks().empty());
    EXPECT_TRUE(sim->talkDecoded().empty());
}

}  // namespace
}  // namespace kalix::sim
