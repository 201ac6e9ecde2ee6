#include "sim/live_video.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>

#include "client_decoder.h"
#include "media/frame_formats.h"
#include "media/video/md5.h"
#include "protocol/byte_order.h"
#include "raw_client.h"
#include "sim/recorder_sim.h"

namespace kalix::sim {
namespace {

using namespace simtest;
using protocol::Code;

// A live unit as the client reads it: the frame header through its own
// parser, the slice from 324.
struct ParsedUnit {
    media::EncVideoHeader enc;
    std::span<const std::uint8_t> slice;
    SliceKind kind() const { return enc.kind == media::FrameKind::Key ? SliceKind::Key : SliceKind::Predicted; }
};

ParsedUnit parseUnit(const std::vector<std::uint8_t>& unit) {
    EXPECT_GE(unit.size(), media::kLiveDataOffset);
    if (unit.size() < media::kLiveDataOffset) return {};
    EXPECT_EQ(protocol::be32(unit.data() + media::kTypeWordOffset), media::kTypeVideo);
    const auto enc = media::parseEncVideoHeader(std::span(unit).subspan(media::kLiveEncHeaderOffset));
    EXPECT_TRUE(enc.ok());
    if (!enc.ok()) return {};
    EXPECT_EQ(enc->coded_len, unit.size() - media::kLiveDataOffset);
    return {*enc, std::span(unit).subspan(media::kLiveDataOffset)};
}

// A clip loops from its first IDR picture, at its own size whatever the
// channel's; a restart goes back to that picture.
TEST(LiveVideoTest, ClipChannelLoopsTheClip) {
    std::string error;
    auto clip = loadClip(std::string(KALIX_TEST_DATA_DIR) + "/h264/clip704x576.264", error);
    ASSERT_TRUE(clip) << error;
    const auto shared = std::make_shared<const std::vector<ClipPicture>>(std::move(*clip));
    ChannelVideo video(6, {352, 288}, 10, shared);
    for (std::size_t i = 0; i < 65; ++i) {
        const auto unit = video.nextUnit({100, static_cast<std::uint32_t>(i)});
        const auto parsed = parseUnit(unit);
        const ClipPicture& expected = (*shared)[i % 30];
        EXPECT_EQ(parsed.enc.width(), 704);
        EXPECT_EQ(parsed.enc.height(), 576);
        EXPECT_EQ(parsed.enc.channel, 6);
        EXPECT_EQ(parsed.kind(), expected.key ? SliceKind::Key : SliceKind::Predicted) << i;
        EXPECT_TRUE(std::ranges::equal(parsed.slice, expected.bytes)) << i;
    }
    video.restart();
    EXPECT_EQ(parseUnit(video.nextUnit({})).kind(), SliceKind::Key);
}

TEST(LiveVideoTest, UnitHeaderCarriesLengthKindSizeTimeAndChannel) {
    // A 720×576 key frame is longer than 16 bits: the length's high bits
    // share byte 2 with the frame kind.
    ChannelVideo video(11, {720, 576}, 2);
    const auto key = parseUnit(video.nextUnit({1'700'000'000, 654'321}));
    EXPECT_GT(key.enc.coded_len, 0xFFFFu);
    EXPECT_EQ(key.enc.kind, media::FrameKind::Key);
    EXPECT_EQ(key.enc.width(), 720);
    EXPECT_EQ(key.enc.height(), 576);
    EXPECT_EQ(key.enc.channel, 11);
    EXPECT_EQ(key.enc.seconds, 1'700'000'000u);
    EXPECT_EQ(key.enc.microseconds, 654'321u);

    const auto predicted = parseUnit(video.nextUnit({1'700'000'000, 700'000}));
    EXPECT_EQ(predicted.enc.kind, media::FrameKind::Predicted);
    EXPECT_LT(predicted.enc.coded_len, 0xFFFFu);
    EXPECT_EQ(parseUnit(video.nextUnit({})).enc.kind, media::FrameKind::Key) << "key-frame interval 2";

    video.restart();
    EXPECT_EQ(video.nextIndex(), 0u);
    EXPECT_EQ(parseUnit(video.nextUnit({})).enc.kind, media::FrameKind::Key) << "a run starts with a key frame";
}

// Collects what a streamer sends, per channel, in order.
class UnitSink {
public:
    bool send(std::span<const std::uint8_t> unit) {
        {
            std::lock_guard lock(mutex_);
            const auto channel = unit.size() > media::kLiveEncHeaderOffset + 36
                                     ? unit[media::kLiveEncHeaderOffset + 36] & 0x0F
                                     : 99;
            units_[channel].emplace_back(unit.begin(), unit.end());
            ++total_;
        }
        cv_.notify_all();
        return true;
    }

    bool waitForTotal(std::size_t n) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, kWait, [&] { return total_ >= n; });
    }

    std::size_t total() const {
        std::lock_guard lock(mutex_);
        return total_;
    }

    std::map<int, std::vector<std::vector<std::uint8_t>>> units() const {
        std::lock_guard lock(mutex_);
        return units_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<int, std::vector<std::vector<std::uint8_t>>> units_;
    std::size_t total_ = 0;
};

// Runs of two channels of different sizes decode, unit by unit, to the
// camera pictures of frames 0, 1, 2 …; a stop is final the moment restart
// returns, and a new run starts over at frame 0.
TEST(LiveVideoTest, StreamerRunsDecodeToTheCameraPicturesAndStopAtOnce) {
    VideoSettings settings;
    settings.enabled = true;
    settings.frames_per_second.fill(30);
    settings.sizes[2] = {704, 576};
    settings.key_interval = 5;
    UnitSink sink;
    LiveVideoStreamer streamer(settings, [&](std::span<const std::uint8_t> unit, std::uint32_t) { return sink.send(unit); });

    int announced = 0;
    streamer.restart(0b101, [&] { ++announced; });
    ASSERT_TRUE(sink.waitForTotal(16));
    streamer.restart(0, [&] { ++announced; });
    const std::size_t at_stop = sink.total();
    EXPECT_EQ(announced, 2);
    EXPECT_EQ(streamer.unitsSent(), at_stop);

    const auto units = sink.units();
    ASSERT_EQ(units.size(), 2u);
    for (const auto& [channel, list] : units) {
        ASSERT_TRUE(channel == 0 || channel == 2);
        const PictureSize size = settings.sizes[static_cast<std::size_t>(channel)];
        const ChannelPicture camera(channel, size.width, size.height);
        ClientDecoder decoder;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const auto unit = parseUnit(list[i]);
            EXPECT_EQ(unit.kind(), i % 5 == 0 ? SliceKind::Key : SliceKind::Predicted);
            EXPECT_EQ(unit.enc.width(), size.width);
            ASSERT_EQ(decoder.decode(unit.slice, unit.kind(), size.width, size.height),
                      media::md5Hex(camera.picture(static_cast<std::uint32_t>(i)).bytes()))
                << "channel " << channel << " frame " << i;
        }
    }

    // Stopped: nothing follows, even after a few frame periods.
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(sink.total(), at_stop);

    streamer.restart(0b10, [] {});
    ASSERT_TRUE(sink.waitForTotal(at_stop + 1));
    const auto again = sink.units();
    ASSERT_FALSE(again.at(1).empty());
    EXPECT_EQ(parseUnit(again.at(1).front()).kind(), SliceKind::Key);
}

// A LIVE_DATA unit as the client gathers it from fragments.
struct Gathered {
    std::vector<std::uint8_t> unit;
    std::vector<std::size_t> fragments;
    std::uint32_t word3 = 0;
};

// Reads fragments until a whole LIVE_DATA unit is in. Nothing when another
// message comes, or the connection fails or stays silent.
std::optional<Gathered> readUnit(RawClient& client) {
    Gathered g;
    for (;;) {
        auto m = client.read();
        if (!m || m->header.code() != static_cast<std::uint16_t>(Code::LIVE_DATA)) return std::nullopt;
        g.fragments.push_back(m->payload.size());
        g.unit.insert(g.unit.end(), m->payload.begin(), m->payload.end());
        g.word3 = m->header.word3;
        if (m->header.lastFragment()) return g;
    }
}

TEST(LiveVideoTest, SimulatorStreamsRequestedChannelsFragmentedAndStopsOnLiveStop) {
    const std::string traffic = tempPath("video.jsonl");
    SimConfig config;
    config.channel_num = 4;
    config.video.enabled = true;
    config.video.frames_per_second.fill(30);
    config.video.sizes[0] = {720, 576};
    config.video.key_interval = 4;
    config.live_mask = 0x0002000F;  // channel 1 in video loss
    config.traffic_path = traffic;
    auto sim = startSim(config);
    RawClient client(sim->port());
    ASSERT_TRUE(client.connected());
    ASSERT_TRUE(client.login());
    ASSERT_TRUE(client.sendLiveReq(0xFFFF));
    const auto info = client.read();
    ASSERT_TRUE(info);
    ASSERT_EQ(info->header.code(), static_cast<std::uint16_t>(Code::LIVE_CHANNEL_INFO));
    EXPECT_EQ(protocol::be32(info->payload.data()), 0x0002000Fu);

    std::map<int, std::vector<Gathered>> by_channel;
    while (by_channel[0].size() < 6) {
        auto g = readUnit(client);
        ASSERT_TRUE(g);
        const auto unit = parseUnit(g->unit);
        EXPECT_EQ(g->word3, unit.enc.seconds) << "the message header carries the frame time";
        for (std::size_t i = 0; i < g->fragments.size(); ++i)
            EXPECT_EQ(g->fragments[i], i + 1 < g->fragments.size() ? protocol::kMaxPayload : g->fragments[i]);
        by_channel[unit.enc.channel].push_back(std::move(*g));
    }
    EXPECT_FALSE(by_channel.contains(1)) << "a channel in video loss sends nothing";
    EXPECT_TRUE(by_channel.contains(2));
    EXPECT_TRUE(by_channel.contains(3));
    EXPECT_GE(by_channel[0].front().fragments.size(), 10u) << "a 720x576 key frame takes ten fragments";
    ClientDecoder decoder;
    const ChannelPicture camera(0, 720, 576);
    for (std::size_t i = 0; i < by_channel[0].size(); ++i) {
        const auto unit = parseUnit(by_channel[0][i].unit);
        ASSERT_EQ(decoder.decode(unit.slice, unit.kind(), 720, 576),
                  media::md5Hex(camera.picture(static_cast<std::uint32_t>(i)).bytes()))
            << "frame " << i;
    }

    // LIVE_STOP: units already on their way may precede the answer (whole,
    // never cut by it), none follows it.
    ASSERT_TRUE(client.send(Code::LIVE_STOP));
    for (;;) {
        const auto m = client.read();
        ASSERT_TRUE(m);
        if (m->header.code() == static_cast<std::uint16_t>(Code::LIVE_DATA)) continue;
        EXPECT_EQ(m->header.code(), static_cast<std::uint16_t>(Code::LIVE_STOP_ACK));
        break;
    }
    pollfd fd{client.conn().fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&fd, 1, 200), 0) << "nothing after the stop";

    // A new request with another mask: only that channel, from a key frame.
    ASSERT_TRUE(client.sendLiveReq(0x0008));
    const auto info2 = client.read();
    ASSERT_TRUE(info2);
    EXPECT_EQ(protocol::be32(info2->payload.data()), 0x00000008u);
    for (int i = 0; i < 3; ++i) {
        const auto g = readUnit(client);
        ASSERT_TRUE(g);
        const auto unit = parseUnit(g->unit);
        EXPECT_EQ(unit.enc.channel, 3);
        if (i == 0) {
            EXPECT_EQ(unit.kind(), SliceKind::Key);
        }
    }
    sim->stop();

    // The traffic log keeps a line for the stop, none per unit.
    std::ifstream in(traffic);
    std::string line, all;
    while (std::getline(in, line)) all += line + "\n";
    EXPECT_EQ(all.find("LIVE_DATA"), std::string::npos);
    EXPECT_NE(all.find("live video stopped"), std::string::npos);
    std::remove(traffic.c_str());
}

}  // namespace
}  // namespace kalix::sim
